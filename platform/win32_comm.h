// The serial control on Win32's communications API, for Windows.
#pragma once

#include "platform/line_settings.h"
#include "platform/receive_buffer.h"
#include "platform/serial_control.h"

#include <QByteArray>
#include <QString>

namespace platform {

class Win32Comm final : public SerialControl {
  public:
    // Port n is the system's COMn; `programDirectory` is kept for the other system's sake,
    // where a "COMn" link in a directory may stand for a port.
    explicit Win32Comm(QString programDirectory = QString());
    ~Win32Comm() override;
    Win32Comm(const Win32Comm&) = delete;
    Win32Comm& operator=(const Win32Comm&) = delete;

    bool setSettings(const QString& settings) override;
    bool setReceiveBufferSize(int size) override;
    bool setTransmitBufferSize(int size) override;
    bool setPortNumber(int portNumber) override;
    bool setPortOpen(bool open) override;
    bool portOpen() const override;
    bool receiveCount(int& count) override;
    bool discardReceive() override;
    bool transmitCount(int& count) override;
    bool discardTransmit() override;
    bool output(const QByteArray& bytes) override;
    bool input(QByteArray& bytes) override;
    bool setReadLength(int length) override;
    QString lastError() const override;
    bool deviceLost() const override { return m_lost; }
    bool reopenLostDevice() override;

    // "COMn" for the current port number.
    QString devicePath() const override;
    PortErrorKind lastOpenErrorKind() const override { return m_openErrorKind; }

  private:
    bool openDevice(const QString& path);
    bool applyLineSettings();
    void closeHandle();
    void pullWaitingBytes();
    // Marks the device lost after a failed call, with the system's reason.
    void loseDevice(const char* call, unsigned long error);
    bool usable() const { return m_handle != nullptr && !m_lost; }

    // The open port's handle (a Win32 HANDLE); null while closed.
    void* m_handle = nullptr;
    LineSettings m_settings;
    QString m_programDirectory;
    // The port the control was last opened on: a lost device is reopened there.
    QString m_openedPath;
    int m_portNumber = 1;
    int m_transmitBufferSize = 4096;
    int m_readLength = 0;
    bool m_lost = false;
    // It outlives a lost device, so what had arrived is still handed over by Input.
    ReceiveBuffer m_received;
    QString m_lastError;
    PortErrorKind m_openErrorKind = PortErrorKind::None;
};

} // namespace platform
