#include "sim/reply_scheduler.h"

#include <limits>
#include <utility>

namespace sim {

ReplyScheduler::ReplyScheduler(const Clock& clock, Timing timing, qsizetype queueLimit)
    : clock_(clock), timing_(timing), queue_(queueLimit) {}

bool ReplyScheduler::queue(QByteArray bytes, bool delayed) {
    const qint64 due = clock_.nowNs() + (delayed ? timing_.delayMs * 1000000 : 0);
    return queue_.push(due, std::move(bytes));
}

std::optional<qint64> ReplyScheduler::nextDueNs() const {
    if (queue_.empty())
        return std::nullopt;
    return queue_.front().dueNs;
}

std::optional<ReplyScheduler::Piece> ReplyScheduler::duePiece() {
    if (queue_.empty())
        return std::nullopt;
    ReplyQueue::Reply& reply = queue_.front();
    if (reply.dueNs > clock_.nowNs())
        return std::nullopt;
    Piece piece;
    piece.reply = reply.bytes;
    piece.starts = !reply.logged;
    reply.logged = true;
    const qsizetype remaining = reply.bytes.size() - reply.sent;
    piece.bytes = QByteArrayView(reply.bytes)
                      .sliced(reply.sent, timing_.pace && remaining > 0 ? 1 : remaining);
    return piece;
}

ReplyScheduler::Written ReplyScheduler::wrote(qsizetype taken) {
    Written result;
    if (queue_.empty())
        return result;
    ReplyQueue::Reply& reply = queue_.front();
    if (taken > 0)
        reply.sent += taken;
    if (reply.sent >= reply.bytes.size()) {
        result.replyDone = true;
        queue_.pop();
    } else if (timing_.pace && taken > 0) {
        reply.dueNs += kCharacterNs; // keeps the average rate when the program wakes late
    } else {
        result.lost = reply.bytes.size() - reply.sent;
        queue_.pop();
    }
    return result;
}

int ReplyScheduler::pollTimeoutMs() const {
    if (queue_.empty())
        return hangupPending_ ? kHangupCheckMs : -1;
    const qint64 waitNs = queue_.front().dueNs - clock_.nowNs();
    if (waitNs <= 0)
        return 0;
    const qint64 waitMs = (waitNs + 999999) / 1000000;
    return static_cast<int>(qMin<qint64>(waitMs, std::numeric_limits<int>::max()));
}

bool ReplyScheduler::readyToHangUp(std::optional<int> unreadOnToolSide) {
    if (!hangupPending_ || !queue_.empty())
        return false;
    const qint64 now = clock_.nowNs();
    if (hangupSinceNs_ < 0)
        hangupSinceNs_ = now;
    const qint64 waitedMs = (now - hangupSinceNs_) / 1000000;
    if (waitedMs < kHangupSettleMs)
        return false;
    return !unreadOnToolSide || *unreadOnToolSide == 0 || waitedMs >= kHangupWaitMs;
}

} // namespace sim
