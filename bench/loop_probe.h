// How long the event loop is ever held: a 10 ms timer whose ticks should come 10 ms apart,
// the time of its worst tick on the machine-wide monotonic clock (so the programs of one run
// can be set side by side), and for a tick that came late what the kernel and the event
// dispatch say about the gap: time on a CPU, time waiting for one, involuntary switches,
// page faults, time the hypervisor took the machine's CPUs away, how much of the gap the loop
// slept in poll() and how much it was held outside it, and the longest single event.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QString>
#include <QTimer>

namespace bench {

constexpr int kProbeIntervalMs = 10;

// CLOCK_MONOTONIC in nanoseconds: the same clock in every process on the machine.
qint64 monotonicNs();
// A monotonic time as seconds with three decimals.
QString monotonicText(qint64 ns);

// The kernel's account of the calling thread: time on a CPU and time runnable but waiting for
// one (/proc/thread-self/schedstat), context switches and page faults (getrusage); and of the
// machine: the time the hypervisor ran something else on its virtual CPUs ("steal", all CPUs
// together, /proc/stat, in steps of a clock tick, 10 ms).
struct ThreadAccount {
    qint64 cpuNs = 0;
    qint64 waitNs = 0;
    long involuntarySwitches = 0;
    long voluntarySwitches = 0;
    long majorFaults = 0;
    long minorFaults = 0;
    qint64 machineStealMs = 0;
};
ThreadAccount threadAccount();
ThreadAccount operator-(const ThreadAccount& later, const ThreadAccount& earlier);
// "on a CPU 1.2 ms, waiting for a CPU 0.3 ms, 2 involuntary switches, 0 major faults, 5 minor
// faults, machine's steal 0 ms"
QString describe(const ThreadAccount& account);

// A field of /proc/self/status in KiB ("VmHWM" is the peak resident memory, "VmRSS" the
// resident memory now); 0 when it cannot be read.
long statusKiB(const char* field);

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
    // The kernel's account of this thread since start() or reset().
    ThreadAccount account() const { return threadAccount() - m_accountAtStart; }
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
    ThreadAccount m_accountAtStart;
    ThreadAccount m_accountAtTick;
};

} // namespace bench
