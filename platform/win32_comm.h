// The serial control on Win32's communications API, for Windows.
#pragma once

#include "platform/serial_control_base.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

namespace platform {

class Win32Comm final : public SerialControlBase {
  public:
    // Port n is the system's COMn; `programDirectory` is kept for the other system's sake,
    // where a "COMn" link in a directory may stand for a port.
    explicit Win32Comm(QString programDirectory = QString());
    ~Win32Comm() override;
    Win32Comm(const Win32Comm&) = delete;
    Win32Comm& operator=(const Win32Comm&) = delete;

    bool receiveCount(int& count) override;
    bool discardReceive() override;
    bool transmitCount(int& count) override;
    bool discardTransmit() override;
    bool output(const QByteArray& bytes) override;
    bool input(QByteArray& bytes) override;

    // "COMn" for the current port number.
    QString devicePath() const override;

  private:
    bool isDeviceOpen() const override { return m_handle != nullptr; }
    bool openDevice(const QString& path) override;
    void closeDevice() override;
    bool applyLineSettings() override;
    void pullWaitingBytes();
    // Reads what arrived and notices a device that went away, whenever the event loop runs.
    void watchLine();
    // Marks the device lost after a failed call, with the system's reason.
    void loseDevice(const char* call, unsigned long error);

    // The open port's handle (a Win32 HANDLE); null while closed.
    void* m_handle = nullptr;
    QString m_programDirectory;
    // While the port is open, the line is watched as often as this: the Windows counterpart of
    // a serial port's "data arrived" and "device gone" notices.
    QTimer m_watch;
};

} // namespace platform
