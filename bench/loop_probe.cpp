#include "bench/loop_probe.h"

#include <QAbstractEventDispatcher>
#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QMetaEnum>
#include <QObject>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#ifdef TQ_BENCH_GLIB_POLL
#include <glib.h>
#endif

namespace bench {

qint64 monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

QString monotonicText(qint64 ns) {
    return QString::number(double(ns) / 1e9, 'f', 3);
}

namespace {

// The machine's steal time in milliseconds: the eighth number of /proc/stat's "cpu" line, in
// clock ticks.
qint64 machineStealMs() {
    static const int stat = open("/proc/stat", O_RDONLY | O_CLOEXEC);
    static const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (stat < 0 || ticksPerSecond <= 0)
        return 0;
    char text[256];
    const ssize_t length = pread(stat, text, sizeof text - 1, 0);
    if (length <= 0)
        return 0;
    text[length] = '\0';
    long long user, nice, system, idle, iowait, irq, softirq, steal;
    if (std::sscanf(text, "cpu %lld %lld %lld %lld %lld %lld %lld %lld", &user, &nice, &system,
                    &idle, &iowait, &irq, &softirq, &steal) != 8)
        return 0;
    return steal * 1000 / ticksPerSecond;
}

} // namespace

ThreadAccount threadAccount() {
    ThreadAccount account;
    // Kept open: reading it again from the start costs one system call per tick.
    static const int schedstat = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    if (schedstat >= 0) {
        char text[128];
        const ssize_t length = pread(schedstat, text, sizeof text - 1, 0);
        if (length > 0) {
            text[length] = '\0';
            long long cpu = 0, wait = 0;
            if (std::sscanf(text, "%lld %lld", &cpu, &wait) == 2) {
                account.cpuNs = cpu;
                account.waitNs = wait;
            }
        }
    }
    rusage usage{};
    if (getrusage(RUSAGE_THREAD, &usage) == 0) {
        account.involuntarySwitches = usage.ru_nivcsw;
        account.voluntarySwitches = usage.ru_nvcsw;
        account.majorFaults = usage.ru_majflt;
        account.minorFaults = usage.ru_minflt;
    }
    account.machineStealMs = machineStealMs();
    return account;
}

ThreadAccount operator-(const ThreadAccount& later, const ThreadAccount& earlier) {
    return {later.cpuNs - earlier.cpuNs,
            later.waitNs - earlier.waitNs,
            later.involuntarySwitches - earlier.involuntarySwitches,
            later.voluntarySwitches - earlier.voluntarySwitches,
            later.majorFaults - earlier.majorFaults,
            later.minorFaults - earlier.minorFaults,
            later.machineStealMs - earlier.machineStealMs};
}

QString describe(const ThreadAccount& account) {
    return QStringLiteral("on a CPU %1 ms, waiting for a CPU %2 ms, %3 involuntary switches, "
                          "%4 major faults, %5 minor faults, machine's steal %6 ms")
        .arg(double(account.cpuNs) / 1e6, 0, 'f', 1)
        .arg(double(account.waitNs) / 1e6, 0, 'f', 1)
        .arg(account.involuntarySwitches)
        .arg(account.majorFaults)
        .arg(account.minorFaults)
        .arg(account.machineStealMs);
}

long statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).simplified().split(' ').value(0).toLong();
    return 0;
}

QString EventName::text() const {
    if (!receiverClass)
        return QString();
    const char* typeName = QMetaEnum::fromType<QEvent::Type>().valueToKey(type);
    QString text = typeName ? QString::fromLatin1(typeName) : QString::number(int(type));
    text += QStringLiteral(" to ") + QString::fromLatin1(receiverClass->className());
    if (!receiverName.isEmpty())
        text += QStringLiteral(" '") + receiverName + QLatin1Char('\'');
    if (parentClass)
        text += QStringLiteral(" of ") + QString::fromLatin1(parentClass->className());
    return text;
}

QString HeldEvent::what() const {
    if (!stretch)
        return event.text();
    QString text = event.receiverClass ? QStringLiteral("longest event in it %1 ms: %2")
                                             .arg(double(eventNs) / 1e6, 0, 'f', 1)
                                             .arg(event.text())
                                       : QStringLiteral("no event ended in it");
    if (!endedIn.receiverClass)
        return text + QStringLiteral("; ended outside any event");
    text += QStringLiteral("; ended in ") + endedIn.text();
    if (endedWithin.receiverClass)
        text += QStringLiteral(" within ") + endedWithin.text();
    return text;
}

namespace event_timing {
namespace {

// An event being dispatched: when it began, the probe's tick count then, and what it is.
struct Frame {
    qint64 startNs;
    long ticksAtStart;
    EventName name;
};

std::vector<Frame> frames;
long ticks = 0;
HeldEvent longestSinceTick;
HeldEvent longestSinceStart;

// The stretches outside the poll() of GLib's main context.
qint64 lastPollExitNs = 0;
qint64 pollNsTick = 0;
HeldEvent stretchTick;
HeldEvent stretchStart;
// The event that ran longest within the current stretch (only its part in the stretch).
EventName stretchLongest;
qint64 stretchLongestNs = 0;

#ifdef TQ_BENCH_GLIB_POLL
GPollFunc originalPoll = nullptr;

gint timedPoll(GPollFD* fds, guint count, gint timeout) {
    const qint64 enter = monotonicNs();
    if (lastPollExitNs) {
        const qint64 held = enter - lastPollExitNs;
        if (held > stretchTick.ns || held > stretchStart.ns) {
            HeldEvent stretch{held, enter, stretchLongest, true, stretchLongestNs, {}, {}};
            if (!frames.empty()) {
                stretch.endedIn = frames.back().name;
                if (frames.size() > 1)
                    stretch.endedWithin = frames.front().name;
            }
            if (held > stretchTick.ns)
                stretchTick = stretch;
            if (held > stretchStart.ns)
                stretchStart = stretch;
        }
    }
    const gint result = originalPoll(fds, count, timeout);
    lastPollExitNs = monotonicNs();
    pollNsTick += lastPollExitNs - enter;
    stretchLongest = {};
    stretchLongestNs = 0;
    return result;
}
#endif

} // namespace

bool timePoll() {
#ifndef TQ_BENCH_GLIB_POLL
    return false;
#else
    if (originalPoll)
        return true;
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || !dispatcher->inherits("QEventDispatcherGlib"))
        return false;
    // Qt's GLib dispatcher runs the main thread on GLib's default main context.
    GMainContext* context = g_main_context_default();
    originalPoll = g_main_context_get_poll_func(context);
    if (!originalPoll)
        return false;
    g_main_context_set_poll_func(context, timedPoll);
    return true;
#endif
}

void begin(QObject* receiver, QEvent* event) {
    const QObject* parent = receiver ? receiver->parent() : nullptr;
    frames.push_back({monotonicNs(), ticks,
                      EventName{receiver ? receiver->metaObject() : &QObject::staticMetaObject,
                                parent ? parent->metaObject() : nullptr,
                                receiver ? receiver->objectName() : QString(),
                                event ? event->type() : QEvent::None}});
}

void end() {
    if (frames.empty())
        return;
    const qint64 now = monotonicNs();
    Frame frame = std::move(frames.back());
    frames.pop_back();
    if (lastPollExitNs) {
        const qint64 inStretch = now - std::max(frame.startNs, lastPollExitNs);
        if (inStretch > stretchLongestNs) {
            stretchLongestNs = inStretch;
            stretchLongest = frame.name;
        }
    }
    if (frame.ticksAtStart != ticks)
        return; // the probe ticked inside: a nested event loop ran, the loop was not held
    const qint64 ns = now - frame.startNs;
    if (ns <= longestSinceTick.ns && ns <= longestSinceStart.ns)
        return;
    const HeldEvent held{ns, now, frame.name, false, 0, {}, {}};
    if (ns > longestSinceTick.ns)
        longestSinceTick = held;
    if (ns > longestSinceStart.ns)
        longestSinceStart = held;
}

HeldEvent sinceTick() {
    return longestSinceTick;
}
HeldEvent sinceStart() {
    return longestSinceStart;
}
HeldEvent stretchSinceTick() {
    return stretchTick;
}
HeldEvent stretchSinceStart() {
    return stretchStart;
}
qint64 pollNsSinceTick() {
    return pollNsTick;
}
void resetSinceTick() {
    longestSinceTick = {};
    stretchTick = {};
    pollNsTick = 0;
}
void resetSinceStart() {
    longestSinceStart = {};
    stretchStart = {};
}
void noteTick() {
    ++ticks;
}

} // namespace event_timing

LoopProbe::LoopProbe(QString label) : m_label(std::move(label)) {
    // Named, so that its own ticks are told from other timers' in the event timing.
    m_timer.setObjectName(QStringLiteral("probe"));
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kProbeIntervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
}

void LoopProbe::start() {
    m_pollTimed = event_timing::timePoll();
    reset();
    m_timer.start();
}

void LoopProbe::reset() {
    m_worstMs = 0;
    m_worstAtNs = 0;
    m_worstPollNs = 0;
    m_worstStretch = {};
    m_ticks = 0;
    m_lastNs = monotonicNs();
    m_accountAtStart = threadAccount();
    m_accountAtTick = m_accountAtStart;
    event_timing::resetSinceTick();
    event_timing::resetSinceStart();
}

void LoopProbe::tick() {
    const qint64 now = monotonicNs();
    const double lateness = double(now - m_lastNs) / 1e6 - kProbeIntervalMs;
    if (lateness > m_worstMs) {
        m_worstMs = lateness;
        m_worstAtNs = now;
        m_worstPollNs = event_timing::pollNsSinceTick();
        m_worstStretch = event_timing::stretchSinceTick();
    }
    if (m_lateLogMs > 0) {
        // The account is read on every tick only when late ticks are logged: it costs two
        // system calls a tick.
        const ThreadAccount account = threadAccount();
        if (lateness > m_lateLogMs) {
            const HeldEvent held = event_timing::sinceTick();
            const HeldEvent stretch = event_timing::stretchSinceTick();
            const QString poll =
                m_pollTimed
                    ? QStringLiteral("in poll() %1 ms, longest stretch outside it %2 ms (%3)")
                          .arg(double(event_timing::pollNsSinceTick()) / 1e6, 0, 'f', 1)
                          .arg(double(stretch.ns) / 1e6, 0, 'f', 1)
                          .arg(stretch.what())
                    : QStringLiteral("poll() not timed");
            std::fprintf(stderr,
                         "late %s at %s s: %.1f ms late; %s; %s; longest held event %.1f ms%s%s\n",
                         qPrintable(m_label), qPrintable(monotonicText(now)), lateness,
                         qPrintable(describe(account - m_accountAtTick)), qPrintable(poll),
                         double(held.ns) / 1e6, held.event.receiverClass ? ": " : "",
                         qPrintable(held.what()));
        }
        m_accountAtTick = account;
    }
    event_timing::noteTick();
    event_timing::resetSinceTick();
    m_lastNs = now;
    ++m_ticks;
}

} // namespace bench
