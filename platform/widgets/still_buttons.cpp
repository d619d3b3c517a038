#include "platform/widgets/still_buttons.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QChildEvent>
#include <QPushButton>

namespace platform {

namespace {

// The style gives each animation of a button to the button, as a child, and starts it there.
// Qt 6.4's Windows style asks nothing but the system whether it may pulse (client area
// animation, on by default), so the pulse is paused the moment it starts: it keeps its first
// frame and is never repainted for its own sake. Other animations (a button fading to its
// hover look) run and end as usual.
class PulseHolder final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded && qobject_cast<QPushButton*>(watched))
            holdIfPulse(static_cast<QChildEvent*>(event)->child());
        return false;
    }

  private:
    // The child is still being made: what it is shows when it starts.
    static void holdIfPulse(QObject* child) {
        auto* animation = qobject_cast<QAbstractAnimation*>(child);
        if (animation == nullptr)
            return;
        QObject::connect(animation, &QAbstractAnimation::stateChanged, animation,
                         [animation](QAbstractAnimation::State now) {
                             if (now != QAbstractAnimation::Running ||
                                 !animation->inherits("QWindowsVistaPulse"))
                                 return;
                             // Its first frame is made before it is held: a pulse held
                             // before its first frame would draw no button at all.
                             animation->setCurrentTime(0);
                             if (animation->state() == QAbstractAnimation::Running)
                                 animation->pause();
                         });
    }
};

} // namespace

void keepDefaultButtonsStill() {
    QCoreApplication* application = QCoreApplication::instance();
    const QString name = QStringLiteral("tqDefaultButtonPulseHolder");
    // Once for the application, however often it is asked for.
    if (application == nullptr ||
        application->findChild<QObject*>(name, Qt::FindDirectChildrenOnly) != nullptr)
        return;
    auto* holder = new PulseHolder(application);
    holder->setObjectName(name);
    application->installEventFilter(holder);
}

} // namespace platform
