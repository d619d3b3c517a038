#include "sim/reply_queue.h"

#include <utility>

namespace sim {

bool ReplyQueue::push(qint64 dueNs, QByteArray bytes) {
    if (size() >= limit_) {
        ++dropped_;
        return false;
    }
    if (!replies_.empty() && replies_.back().dueNs > dueNs)
        dueNs = replies_.back().dueNs;
    replies_.push_back({dueNs, std::move(bytes), 0, false});
    return true;
}

} // namespace sim
