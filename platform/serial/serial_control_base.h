// What the real serial controls of every system keep alike: the settings, the port number, the
// receive buffer, the last error, and the rules for opening, losing and reopening a device.
// Each system's control adds how a device is opened, closed and set up.
#pragma once

#include "platform/serial/line_settings.h"
#include "platform/serial/receive_buffer.h"
#include "platform/serial/serial_control.h"
#include "platform/system/logging.h"

#include <QString>

namespace platform {

class SerialControlBase : public SerialControl {
  public:
    bool setSettings(const QString& settings) override;
    // The receive buffer holds at most this many characters (see ReceiveBuffer). The transmit
    // size is kept as a figure: output is handed to the system at once.
    bool setReceiveBufferSize(int size) override;
    bool setTransmitBufferSize(int size) override;
    bool setPortNumber(int portNumber) override;
    bool setPortOpen(bool open) override;
    bool portOpen() const override { return isDeviceOpen(); }
    bool setReadLength(int length) override;
    QString lastError() const override { return m_lastError; }
    bool deviceLost() const override { return m_lost; }
    bool reopenLostDevice() override;
    PortErrorKind lastOpenErrorKind() const override { return m_openErrorKind; }

  protected:
    virtual bool isDeviceOpen() const = 0;
    // Opens the device at `path` with the line settings; on failure sets the last error and
    // the kind of failure.
    virtual bool openDevice(const QString& path) = 0;
    virtual void closeDevice() = 0;
    // Applies the line settings to the open device.
    virtual bool applyLineSettings() = 0;

    bool usable() const { return isDeviceOpen() && !m_lost; }
    // The refusal a test asks for (setPortOpenFailureForTests), standing in for the system's
    // own: true, with the last error and its kind set, when there is one.
    bool refusedForTests(const QString& path);
    // Sets the outcome of an open that worked.
    void openedWell();

    LineSettings m_settings;
    int m_portNumber = 1;
    int m_transmitBufferSize = 4096;
    int m_readLength = 0;
    // The device the port was last opened on: a lost device is reopened there.
    QString m_openedPath;
    bool m_lost = false;
    // It outlives a lost device, so what had arrived is still handed over by Input.
    ReceiveBuffer m_received;
    QString m_lastError;
    PortErrorKind m_openErrorKind = PortErrorKind::None;
};

} // namespace platform
