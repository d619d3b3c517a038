// When the simulated controller's replies go out: the delay before a reply, the pace of its
// bytes on a 9600 bit/s line, and when the line may be hung up. No input or output happens
// here; the program writes what this says is due, and the clock is handed in, so the timing
// can be checked on a clock the test moves.
#pragma once

#include "sim/reply_queue.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>

#include <optional>

namespace sim {

// A monotonic clock in nanoseconds.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual qint64 nowNs() const = 0;
};

// The program's clock: nanoseconds since it was made.
class SteadyClock final : public Clock {
  public:
    SteadyClock() { timer_.start(); }
    qint64 nowNs() const override { return timer_.nsecsElapsed(); }

  private:
    QElapsedTimer timer_;
};

class ReplyScheduler {
  public:
    // One character at 9600 bit/s with 8N1 framing: ten bits.
    static constexpr qint64 kCharacterNs = 10LL * 1000000000LL / 9600;
    // Hanging up throws away what the tool has not read yet, so the last reply is given time
    // to be read first: the line goes once the tool's side holds no unread bytes, after a
    // short settling time for bytes still on their way into it, or at the latest after the
    // longest wait. Until then the program looks again every check interval.
    static constexpr qint64 kHangupSettleMs = 50;
    static constexpr qint64 kHangupWaitMs = 3000;
    static constexpr int kHangupCheckMs = 10;

    struct Timing {
        qint64 delayMs = 0; // before each delayed reply may start
        bool pace = false;  // one byte per character time instead of the whole reply at once
    };

    // A piece of the oldest reply that is due now.
    struct Piece {
        QByteArrayView bytes; // to be written now; empty for an empty reply
        QByteArray reply;     // the whole reply, for the record
        bool starts = false;  // the first piece of its reply: the moment to record it
    };

    // What became of a write.
    struct Written {
        bool replyDone = false; // the reply has gone whole
        qsizetype lost = 0;     // bytes of the reply thrown away: the line took no more
    };

    ReplyScheduler(const Clock& clock, Timing timing,
                   qsizetype queueLimit = ReplyQueue::kDefaultLimit);

    // Queues a reply, after the delay when `delayed`, and never before the replies queued
    // ahead of it. False, and counted as dropped, when the queue is full.
    bool queue(QByteArray bytes, bool delayed);

    // The piece of the oldest reply that may be written now, if any. The caller writes it and
    // says with wrote() how many of its bytes the line took.
    std::optional<Piece> duePiece();
    // `taken` bytes of the last piece went onto the line. A paced reply goes on one character
    // time later; a reply of which the line took less than offered is cut short, as bytes
    // are lost on a real line nobody reads.
    Written wrote(qsizetype taken);

    // How long the program may wait for input before something is due: -1 for as long as it
    // likes, else milliseconds rounded up.
    int pollTimeoutMs() const;

    // Hang-up: from now on the line goes once every queued reply has gone and the tool has
    // read it (see readyToHangUp).
    void hangUpWhenSent() { hangupPending_ = true; }
    bool hangupPending() const { return hangupPending_; }
    // Whether the line may go now, given how many bytes the tool's side holds unread (none
    // when that cannot be told). The settling time counts from the first call once the
    // queue is empty.
    bool readyToHangUp(std::optional<int> unreadOnToolSide);

    bool empty() const { return queue_.empty(); }
    qsizetype waiting() const { return queue_.size(); }
    quint64 dropped() const { return queue_.dropped(); }
    // When the oldest reply may start or go on, if there is one.
    std::optional<qint64> nextDueNs() const;

  private:
    const Clock& clock_;
    Timing timing_;
    ReplyQueue queue_;
    bool hangupPending_ = false;
    qint64 hangupSinceNs_ = -1;
};

} // namespace sim
