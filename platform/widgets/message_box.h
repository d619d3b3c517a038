// Message boxes to the operator.
#pragma once

#include <QString>

#include <functional>

namespace platform {

// Legacy names: `MsgBox` is the old program's message box call, `vb...` its names for the box
// styles and the buttons, with the same numbers.
// Box styles: which buttons the box offers. No icons are ever shown.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbYesNo = 4,
    vbRetryCancel = 5,
};

// The button the operator pressed.
enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbRetry = 4,
    vbYes = 6,
    vbNo = 7,
};

// The title of every box that is not given one of its own.
inline const QString kApplicationTitle = QStringLiteral("TQ-8400VedadaRav");

// Shows a modal box and returns the button pressed. Closing the box without a button counts
// as Cancel for an OK/Cancel or Retry/Cancel box, No for a Yes/No box and OK for an OK-only
// box.
int MsgBox(const QString& text, int style = vbOKOnly, const QString& title = kApplicationTitle);

// Something that answers boxes instead of the operator (tests): it gets the style, title
// and text and returns the button. An empty handler goes back to real boxes.
using MessageBoxHandler = std::function<int(int style, const QString& title, const QString& text)>;
void setMessageBoxHandler(MessageBoxHandler handler);
MessageBoxHandler messageBoxHandler();

} // namespace platform
