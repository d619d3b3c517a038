#include "shell/window_helpers.h"

#include "platform/widgets/status_bar.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace shell {

QPoint CenteredPosition(const QRect& workArea, const QSize& formSize) {
    // Integer division drops the half, as the form's units have no fractions; a form larger
    // than the area gets a negative offset and sticks out equally on both sides.
    const int left = (workArea.width() - formSize.width()) / 2 + workArea.left();
    const int top = (workArea.height() - formSize.height()) / 2 + workArea.top();
    return {left, top};
}

void CenterForm(QWidget& form) {
    QScreen* screen = form.screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    form.move(CenteredPosition(screen->availableGeometry(), form.frameGeometry().size()));
}

void SetStatusText(platform::StatusBar& statusBar, qint16 panelIndex, const QString& text) {
    if (statusBar.panelStyle(panelIndex) != platform::StatusBar::sbrText)
        return;
    statusBar.setPanelText(panelIndex, text);
}

} // namespace shell
