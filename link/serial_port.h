// Opening and closing the serial port to the controller.
#pragma once

#include <QString>

namespace devicelink {

// Configures the port at "9600,N,8,1" with 4096-character buffers and opens port
// `portNumber`. Returns whether the port opened; on failure the operating system's reason
// is in OpenPortError().
bool OpenPort(int portNumber);
QString OpenPortError();

// Waits (at most two seconds) until the transmit buffer is empty, then closes the port.
void ClosePort();

// Drains and closes the port, then ends the program.
void ShutDown();

} // namespace devicelink
