#include "bench/loop_probe.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMetaEnum>
#include <QObject>

#include <algorithm>
#include <cstdio>
#include <vector>

#ifdef TQ_BENCH_GLIB_POLL
#include <glib.h>
#endif

namespace bench {

qint64 monotonicNs() {
    return QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
}

QString monotonicText(qint64 ns) {
    return QString::number(double(ns) / 1e9, 'f', 3);
}

std::optional<ThreadAccount> accountBetween(const std::optional<ThreadAccount>& earlier,
                                            const std::optional<ThreadAccount>& later) {
    if (!earlier || !later)
        return std::nullopt;
    return *later - *earlier;
}

QString describe(const std::optional<ThreadAccount>& account) {
    if (!account)
        return QStringLiteral("not measured on this system");
    return QStringLiteral("on a CPU %1 ms, waiting for a CPU %2 ms, %3 involuntary switches, "
                          "%4 major faults, %5 minor faults, machine's steal %6 ms")
        .arg(double(account->cpuNs) / 1e6, 0, 'f', 1)
        .arg(double(account->waitNs) / 1e6, 0, 'f', 1)
        .arg(account->involuntarySwitches)
        .arg(account->majorFaults)
        .arg(account->minorFaults)
        .arg(account->machineStealMs);
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
    m_accountAtStart = platform::threadUsage();
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
        const std::optional<ThreadAccount> account = platform::threadUsage();
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
                         qPrintable(describe(accountBetween(m_accountAtTick, account))),
                         qPrintable(poll), double(held.ns) / 1e6,
                         held.event.receiverClass ? ": " : "", qPrintable(held.what()));
        }
        m_accountAtTick = account;
    }
    event_timing::noteTick();
    event_timing::resetSinceTick();
    m_lastNs = now;
    ++m_ticks;
}

} // namespace bench
