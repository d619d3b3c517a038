// The real serial control of this system: Win32's communications API on Windows, Qt's serial
// port elsewhere. Both keep the same rules (bounded receive buffer, what arrived before a loss
// still handed over, a lost device reopened on the same port, the kinds of open failure).
#pragma once

#include <QtGlobal>

#ifdef Q_OS_WIN
#include "platform/serial/win32_comm.h"
#else
#include "platform/serial/qt_serial_comm.h"
#endif

namespace platform {

// The real control that `PDQ().Comm1()` holds unless a test puts another in its place.
#ifdef Q_OS_WIN
using PdqComm = Win32Comm;
#else
using PdqComm = QtSerialComm;
#endif

} // namespace platform
