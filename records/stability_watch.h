// Whether the channel's live reading has settled: fed the readings one by one with the time
// each came, it says when the latest readings agree within one display step, and when the
// wait for that has lasted too long. The times come from the caller, so a test can play any
// timing without waiting.
#pragma once

#include <QtGlobal>

#include <deque>
#include <vector>

namespace records {

class StabilityWatch {
  public:
    enum class Status {
        Waiting,  // not yet enough agreeing readings
        Stable,   // the latest readings agree: readings() is the point's reading
        TimedOut, // no agreement within the timeout since the wait began: the point is unstable
    };

    // A reading is the mean of this many consecutive live readings that agree.
    static constexpr int kReadingCount = 3;
    // How long a wait for them lasts before the point may be recorded as unstable.
    static constexpr qint64 kTimeoutMs = 30000;

    // `displayStep`: the live reading's resolution; readings agree when the highest and the
    // lowest of them differ by at most one step.
    explicit StabilityWatch(double displayStep) : displayStep_(displayStep) {}

    // Begins a wait at `nowMs`: the readings taken so far are forgotten.
    void restart(qint64 nowMs);
    // A live reading taken at `nowMs`; the status it leaves.
    Status add(double reading, qint64 nowMs);
    // The status at `nowMs`, e.g. from a timer while no reading comes: Stable as long as the
    // latest readings agree, even after the timeout.
    Status status(qint64 nowMs) const;

    // The latest readings (at most the count the watch needs), oldest first: when Stable, the
    // agreeing readings the point's reading is the mean of; when TimedOut, the ones seen last.
    std::vector<double> readings() const { return {latest_.begin(), latest_.end()}; }

  private:
    bool agree() const;

    double displayStep_;
    qint64 startMs_ = 0;
    std::deque<double> latest_;
};

} // namespace records
