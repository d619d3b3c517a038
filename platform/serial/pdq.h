// The hidden host of the program's one serial control.
#pragma once

#include "platform/serial/serial_control.h"

#include <memory>

namespace platform {

// Never shown; exists only to hold the serial control `Comm1`. Created on first use and kept
// until the program ends.
class PdqHost {
  public:
    SerialControl& Comm1();
    // Puts another control in place of the real one (a scripted port in tests). Passing
    // nullptr goes back to a fresh real serial port.
    void replaceComm1(std::unique_ptr<SerialControl> control);

  private:
    std::unique_ptr<SerialControl> m_comm1;
};

PdqHost& PDQ();

} // namespace platform
