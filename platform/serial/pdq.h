// The hidden host of the program's one serial control.
#pragma once

#include "platform/serial/serial_control.h"

#include <memory>

namespace platform {

// Never shown; exists only to hold the serial control `Comm1`. Created on first use and kept
// until the program ends.
// Legacy name: `PDQ`, the old program's hidden form that carried the serial control.
class PdqHost {
  public:
    // Legacy name: `Comm1`, the program's one serial control, held by `PDQ`.
    SerialControl& Comm1();
    // Puts another control in place of the real one (a scripted port in tests). Passing
    // nullptr goes back to a fresh real serial port.
    void replaceComm1(std::unique_ptr<SerialControl> control);

  private:
    std::unique_ptr<SerialControl> m_comm1;
};

// The one hidden host (legacy name `PDQ`), made on first use.
PdqHost& PDQ();

} // namespace platform
