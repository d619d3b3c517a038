// Where serial port number n is found on this machine.
#pragma once

#include <QString>

namespace platform {

// Port n maps to a device: a file or link named "COMn" in the program's own directory wins
// (so a technician can point port 3 at a USB adapter with `ln -s /dev/ttyUSB0 COM3`, and the
// simulated controller attaches the same way); otherwise the n-th serial port of the
// system, /dev/ttyS<n-1> on Linux and COMn on Windows.
QString devicePathForPort(int portNumber, const QString& programDirectory);

} // namespace platform
