// The serial communications control the device link talks through.
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// What kept a port from opening, as far as the operating system tells.
enum class PortErrorKind {
    None,       // the port opened
    Missing,    // no device of that name (an adapter not plugged in, a link to nothing)
    Permission, // the user may not read and write the device
    Busy,       // another program holds the device
    Other,      // anything else, or a control that cannot tell
};

// The operations of the legacy serial control that the program relies on. Every operation
// reports its own failure through its result; nothing is thrown, so callers can ignore a
// failing step and go on with the next one.
class SerialControl {
  public:
    virtual ~SerialControl() = default;

    // Line settings such as "9600,N,8,1" (speed, parity, data bits, stop bits).
    virtual bool setSettings(const QString& settings) = 0;
    virtual bool setReceiveBufferSize(int size) = 0;
    virtual bool setTransmitBufferSize(int size) = 0;
    // Which port the next open uses (1 is the first port).
    virtual bool setPortNumber(int portNumber) = 0;
    // Opens (true) or closes (false) the port.
    virtual bool setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;
    // Characters waiting to be read; false when the count could not be read.
    virtual bool receiveCount(int& count) = 0;
    virtual bool discardReceive() = 0;
    // Characters not yet handed to the line; false when the count could not be read.
    virtual bool transmitCount(int& count) = 0;
    virtual bool discardTransmit() = 0;
    // Queues the bytes for sending; sending starts at once.
    virtual bool output(const QByteArray& bytes) = 0;
    // Removes and returns every waiting character (read length 0).
    virtual bool input(QByteArray& bytes) = 0;
    virtual bool setReadLength(int length) = 0;
    // The operating system's reason for the last failure (empty when there was none).
    virtual QString lastError() const = 0;

    // True once the device has gone away under the open port (a USB adapter pulled, the line
    // hung up), until it is opened again.
    virtual bool deviceLost() const { return false; }
    // One attempt to open the lost device again, with the same port number and line
    // settings; true when the port is usable again.
    virtual bool reopenLostDevice() { return false; }

    // The device file the current port number maps to; empty when the control cannot tell.
    virtual QString devicePath() const { return QString(); }
    // Why the last attempt to open the port failed; None after one that worked.
    virtual PortErrorKind lastOpenErrorKind() const { return PortErrorKind::Other; }
};

} // namespace platform
