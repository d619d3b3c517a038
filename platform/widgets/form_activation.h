// Telling when one of the program's forms becomes its active window.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;
class QWindow;

namespace platform {

// Reports a form's activation as the program understands it: when the form is first
// shown, and each time the operator comes back to it from another form of this program
// (the about box, say). Closing a message box, or switching to another application and
// back, is not an activation. Tracked from the focus window changes of the program's own
// forms: each form registers itself; windows that are not registered (message boxes,
// menus) are passed over.
class FormActivation : public QObject {
    Q_OBJECT
  public:
    static FormActivation& instance();

    // Registers a form; its activations are emitted as `activated(form)`.
    void track(QWidget* form);

  signals:
    void activated(QWidget* form);

  private:
    FormActivation();
    void onFocusWindowChanged(QWindow* window);

    QPointer<QWidget> m_lastForm;
};

} // namespace platform
