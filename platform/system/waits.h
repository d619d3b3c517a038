// The program's waits: letting the window process its events, and timed sleeps.
#pragma once

#include <QtGlobal>

namespace platform {

// Every wait of the program goes through one of these, so tests can put a fake clock in
// place of real time.
class Waits {
  public:
    virtual ~Waits() = default;
    // Lets the user interface process its pending events once.
    virtual void yield() = 0;
    // Sleeps for the given milliseconds.
    virtual void sleep(int milliseconds) = 0;
    // Milliseconds on a monotonic clock.
    virtual qint64 nowMs() = 0;
};

// The program's waits: the sleep keeps the window painting and timers running but holds
// the operator's input back until the next yield, so the window never looks frozen while
// the line timing stays exact.
class EventLoopWaits final : public Waits {
  public:
    void yield() override;
    void sleep(int milliseconds) override;
    qint64 nowMs() override;
};

Waits& waits();
// Puts other waits in place (tests); nullptr goes back to the program's own.
void setWaits(Waits* replacement);

} // namespace platform
