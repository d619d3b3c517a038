// Replies waiting for their time to be sent, held within a fixed number.
#pragma once

#include <QByteArray>

#include <deque>

namespace sim {

// Replies waiting to be sent, oldest first. A reply is never due before the one queued ahead
// of it, so replies leave in the order their commands came. At most `limit` replies wait; one
// that finds the queue full is dropped and counted, so a tool that sends commands faster than
// the replies can go out (--delay, --pace) cannot make the queue grow without end.
class ReplyQueue {
  public:
    // Far more than one read of input can ask for: 4096 bytes hold at most 409 of the
    // shortest command line, ">(00T ON)" LF.
    static constexpr qsizetype kDefaultLimit = 1024;

    struct Reply {
        qint64 dueNs = 0;    // when sending may start, on the simulator's clock
        QByteArray bytes;    // what goes on the line
        qsizetype sent = 0;  // bytes already written
        bool logged = false; // recorded once sending started
    };

    explicit ReplyQueue(qsizetype limit = kDefaultLimit) : limit_(limit > 0 ? limit : 1) {}

    // Queues `bytes` to be sent at `dueNs`, or when the reply ahead of it is due if that is
    // later. Returns false, and counts the reply as dropped, when the queue is full.
    bool push(qint64 dueNs, QByteArray bytes);

    bool empty() const { return replies_.empty(); }
    qsizetype size() const { return static_cast<qsizetype>(replies_.size()); }
    qsizetype limit() const { return limit_; }
    // The oldest reply; only when the queue is not empty.
    Reply& front() { return replies_.front(); }
    const Reply& front() const { return replies_.front(); }
    void pop() { replies_.pop_front(); }

    // Replies turned away because the queue was full, since the start.
    quint64 dropped() const { return dropped_; }

  private:
    std::deque<Reply> replies_;
    qsizetype limit_;
    quint64 dropped_ = 0;
};

} // namespace sim
