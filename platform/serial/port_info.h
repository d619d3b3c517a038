// What stands behind a serial port number on this machine: the device file, where a link to it
// leads, what the system knows of the adapter, and why a port may refuse to open.
#pragma once

#include "platform/serial/serial_control.h"

#include <QString>
#ifndef Q_OS_WIN
#include <QSerialPort>
#endif

#include <optional>
#include <vector>

namespace platform {

// One device as the technician needs to know it.
struct PortDevice {
    int portNumber = 0;
    // The device file the port opens: the "COMn" file or link in the program's directory, or
    // the system's n-th serial port; on Windows the port's own name, "COMn".
    QString path;
    // Where `path` leads when it is a symbolic link; empty otherwise.
    QString linkTarget;
    // True when `path` is the system's own port, not a "COMn" entry in the program's
    // directory (told by describePorts).
    bool systemPort = false;
    // Whether the device (a link's target) is there now.
    bool present = false;
    // The adapter's description and serial number, where the system knows them.
    QString description;
    QString serialNumber;
};

// The device file port `portNumber` maps to, as the program's serial control maps it: the
// program's own directory first, then the system's ports.
QString portDevicePath(int portNumber);

// The device at `path`: where a link leads and whether the device is there; the system's list
// of serial ports is not read.
PortDevice describeDevice(const QString& path);

// Ports `first` to `last`, each with its adapter, from one reading of the system's list.
std::vector<PortDevice> describePorts(int first, int last);

// The device in one line: "path -> target" for a link, the path otherwise.
QString deviceText(const PortDevice& device);

#ifdef Q_OS_WIN
// The kind of failure a Windows error code from opening a port stands for: a port that does
// not exist, or one that another program holds (Windows says "access denied" for that too).
PortErrorKind portErrorKindOfWindowsError(unsigned long error);
#else
// The kind of failure an open that the serial port refused with `error` had, on the device at
// `path`.
PortErrorKind portOpenErrorKind(const QString& path, QSerialPort::SerialPortError error);
#endif

// The kind of failure an operating system error number (ENOENT, EACCES, EBUSY ...) stands for.
PortErrorKind portErrorKindOf(int osError);

// The group whose members may use the device at `path`, on systems where serial devices are
// shared out by group (Linux): the group that owns the device, or "dialout" where the owner is
// root or unknown. None elsewhere.
std::optional<QString> serialAccessGroup(const QString& path);

// From now on every open of a port fails with the operating system error `osError` (EACCES,
// EBUSY ...); 0 lets opens work again. Tests only: an administrator opens any device, so a
// refusal cannot be had on demand.
void setPortOpenFailureForTests(int osError);
int portOpenFailureForTests();

} // namespace platform
