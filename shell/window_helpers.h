// Placing forms on the desktop and writing status-bar texts.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

namespace platform {
class StatusBar;
}

namespace shell {

// Where a form of `formSize` goes to sit in the middle of `workArea` (the desktop minus
// the task bar): half of each difference, the fraction dropped, plus the area's offset.
QPoint CenteredPosition(const QRect& workArea, const QSize& formSize);

// Moves the form to the middle of the work area of the screen it is on; its size stays.
void CenterForm(QWidget& form);

// Writes `text` into panel `panelIndex` (from 1) of the status bar, unless the panel shows
// the time, the date or a key state by itself.
void SetStatusText(platform::StatusBar& statusBar, qint16 panelIndex, const QString& text);

// Gives a control its name as object name and as accessible description, so that support
// staff, test automation and screen readers can tell which control is which.
template <typename Control> Control* named(Control* control, const QString& name) {
    control->setObjectName(name);
    control->setAccessibleDescription(name);
    return control;
}

} // namespace shell
