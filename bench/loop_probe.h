// How long the event loop is ever held: a 10 ms timer whose ticks should come 10 ms apart,
// the time of its worst tick on the machine-wide monotonic clock (so the programs of one run
// can be set side by side), and for a tick that came late what the kernel and the event
// dispatch say about the gap: time on a CPU, time waiting for one, involuntary switches,
// page faults, time the hypervisor took the machine's CPUs away, how much of the gap the loop
// slept in poll() and how much it was held outside it, and the longest single event.
#pragma once

#include "platform/system/process_usage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QTimer>

#include <optional>

namespace bench {

constexpr int kProbeIntervalMs = 10;

// The system's monotonic clock in nanoseconds (CLOCK_MONOTONIC on Linux): the same clock in
// every process on the machine.
qint64 monotonicNs();
// A monotonic time as seconds with three decimals.
QString monotonicText(qint64 ns);

// The system's account of the calling thread and of the machine (see platform::ThreadUsage);
// absent where the system keeps none (Windows).
using ThreadAccount = platform::ThreadUsage;
// The account from `earlier` to `later`; absent when either is.
std::optional<ThreadAccount> accountBetween(const std::optional<ThreadAccount>& earlier,
                                            const std::optional<ThreadAccount>& later);
// "on a CPU 1.2 ms, waiting for a CPU 0.3 ms, 2 involuntary switches, 0 major faults, 5 minor
// faults, machine's steal 0 ms"; "not measured on this system" for no account.
QString describe(const std::optional<ThreadAccount>& account);

// An event as it was dispatched: its type and receiver. Kept as they are, without making any
// text, so that timing the events allocates nothing while the loop runs.
struct EventName {
    const QMetaObject* receiverClass = nullptr;
    const QMetaObject* parentClass = nullptr;
    QString receiverName;
    QEvent::Type type = QEvent::None;
    // "Timer to QTimer 'Timer1' of workbench::frmCalibrateSensor"; empty for no event.
    QString text() const;
};

// A time the loop was held: one event that ran from start to end without the probe ticking
// inside it, or a stretch outside poll(). For a stretch, `event` is the event that ran longest
// in it (`eventNs` of it), and `endedIn` and `endedWithin` the innermost and outermost events
// still being dispatched when it ended.
struct HeldEvent {
    qint64 ns = 0;
    qint64 endNs = 0;
    EventName event;
    bool stretch = false;
    qint64 eventNs = 0;
    EventName endedIn;
    EventName endedWithin;
    // The event, or for a stretch: "longest event in it 1.2 ms: ...; ended in ... within ...".
    QString what() const;
};

// Times every event the application dispatches (see TimedApplication). An event during which
// the probe ticked ran a nested event loop and did not hold the loop itself; it is left out.
// Where the event dispatcher is GLib's (Qt's own on Linux), its poll() is timed as well: the
// time outside poll() is the time the loop was held, by an event or by anything else, and each
// stretch of it is named by the events being dispatched when it ended.
namespace event_timing {
void begin(QObject* receiver, QEvent* event);
void end();
// Times the poll() of this thread's GLib main context; false when there is none to time.
bool timePoll();
// The longest held event since the last probe tick, and since the record was started; the
// longest stretch outside poll() likewise; the time in poll() since the last tick.
HeldEvent sinceTick();
HeldEvent sinceStart();
HeldEvent stretchSinceTick();
HeldEvent stretchSinceStart();
qint64 pollNsSinceTick();
void resetSinceTick();
void resetSinceStart();
void noteTick();
} // namespace event_timing

// The application class with every event dispatch timed.
template <class Application> class TimedApplication : public Application {
  public:
    using Application::Application;
    bool notify(QObject* receiver, QEvent* event) override {
        event_timing::begin(receiver, event);
        const bool result = Application::notify(receiver, event);
        event_timing::end();
        return result;
    }
};

// The 10 ms probe timer. With a late-log threshold, every tick later than it is written to
// standard error as one line: the label, the monotonic time, the lateness, the kernel's account
// of the gap and the longest event in it.
class LoopProbe {
  public:
    explicit LoopProbe(QString label);
    // Logs ticks later than `thresholdMs`; 0 logs none.
    void setLateLog(double thresholdMs) { m_lateLogMs = thresholdMs; }
    void start();
    // Starts a new record without stopping the timer.
    void reset();
    double worstMs() const { return m_worstMs; }
    qint64 worstAtNs() const { return m_worstAtNs; }
    // How the gap before the worst tick was spent: asleep in poll() (the loop waiting to be
    // woken), and the longest stretch outside it (the loop held). Zero where poll() is not
    // timed.
    qint64 worstPollNs() const { return m_worstPollNs; }
    HeldEvent worstStretch() const { return m_worstStretch; }
    long ticks() const { return m_ticks; }
    // The system's account of this thread since start() or reset(); absent where it keeps none.
    std::optional<ThreadAccount> account() const {
        return accountBetween(m_accountAtStart, platform::threadUsage());
    }
    // Whether the event loop's poll() is timed (see event_timing).
    bool pollTimed() const { return m_pollTimed; }

  private:
    void tick();

    QString m_label;
    QTimer m_timer;
    double m_lateLogMs = 0;
    bool m_pollTimed = false;
    qint64 m_lastNs = 0;
    double m_worstMs = 0;
    qint64 m_worstAtNs = 0;
    qint64 m_worstPollNs = 0;
    HeldEvent m_worstStretch;
    long m_ticks = 0;
    std::optional<ThreadAccount> m_accountAtStart;
    std::optional<ThreadAccount> m_accountAtTick;
};

} // namespace bench
