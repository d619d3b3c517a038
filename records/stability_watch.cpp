#include "records/stability_watch.h"

#include "records/verification.h"

#include <algorithm>
#include <cmath>

namespace records {

void StabilityWatch::restart(qint64 nowMs) {
    startMs_ = nowMs;
    latest_.clear();
}

StabilityWatch::Status StabilityWatch::add(double reading, qint64 nowMs) {
    latest_.push_back(reading);
    if (int(latest_.size()) > kReadingCount)
        latest_.pop_front();
    return status(nowMs);
}

StabilityWatch::Status StabilityWatch::status(qint64 nowMs) const {
    if (agree())
        return Status::Stable;
    return nowMs - startMs_ >= kTimeoutMs ? Status::TimedOut : Status::Waiting;
}

bool StabilityWatch::agree() const {
    if (int(latest_.size()) < kReadingCount)
        return false;
    for (double reading : latest_) {
        if (!std::isfinite(reading))
            return false;
    }
    const auto [lowest, highest] = std::minmax_element(latest_.begin(), latest_.end());
    return *highest - *lowest <= displayStep_ * (1 + kRelativeSlack);
}

} // namespace records
