#include "platform/widgets/form_activation.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace platform {

namespace {
const char* const kTrackedProperty = "tqTrackedForm";
}

FormActivation& FormActivation::instance() {
    static FormActivation* tracker = new FormActivation();
    return *tracker;
}

FormActivation::FormActivation() {
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            &FormActivation::onFocusWindowChanged);
}

void FormActivation::track(QWidget* form) {
    form->setProperty(kTrackedProperty, true);
}

void FormActivation::onFocusWindowChanged(QWindow* window) {
    // No focus window: the operator switched to another application. Nothing changes.
    if (window == nullptr)
        return;
    QWidget* form = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->windowHandle() == window) {
            form = top;
            break;
        }
    }
    if (form == nullptr || !form->property(kTrackedProperty).toBool())
        return; // a message box, a menu or another window that is not a form
    if (form == m_lastForm)
        return; // back from a message box or another application
    m_lastForm = form;
    emit activated(form);
}

} // namespace platform
