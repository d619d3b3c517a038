#include "platform/system/waits.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

namespace platform {

void EventLoopWaits::yield() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void EventLoopWaits::sleep(int milliseconds) {
    if (milliseconds <= 0)
        return;
    if (!QCoreApplication::instance()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    // Never shorter than asked: a timer may fire a millisecond early by the elapsed-time clock
    // (Windows' timers and its performance counter round differently), so the rest is slept.
    QElapsedTimer slept;
    slept.start();
    for (qint64 left = milliseconds; left > 0; left = milliseconds - slept.elapsed()) {
        QEventLoop loop;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        QObject::connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
        wake.start(std::chrono::milliseconds(left));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

qint64 EventLoopWaits::nowMs() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

namespace {
EventLoopWaits& programWaits() {
    static EventLoopWaits instance;
    return instance;
}
Waits* current = nullptr;
} // namespace

Waits& waits() {
    return current ? *current : programWaits();
}

void setWaits(Waits* replacement) {
    current = replacement;
}

} // namespace platform
