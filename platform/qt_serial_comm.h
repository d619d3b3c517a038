// The serial control on Qt's serial port, for the systems Qt's serial module serves (Linux).
#pragma once

#include "platform/line_settings.h"
#include "platform/receive_buffer.h"
#include "platform/serial_control.h"

#include <QObject>
#include <QSerialPort>

namespace platform {

class QtSerialComm final : public QObject, public SerialControl {
    Q_OBJECT
  public:
    // Ports are looked up next to the program, or in `programDirectory` when one is given.
    explicit QtSerialComm(QString programDirectory = QString());
    ~QtSerialComm() override;

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

    // The device file the current port number maps to.
    QString devicePath() const override;
    PortErrorKind lastOpenErrorKind() const override { return m_openErrorKind; }

  private:
    bool applyLineSettings();
    bool openDevice(const QString& path);
    void pullWaitingBytes();
    void takeArrivedBytes();
    qint64 kernelReceiveQueue() const;
    qint64 kernelTransmitQueue() const;
    void onError(QSerialPort::SerialPortError error);
    bool usable() const { return m_port.isOpen() && !m_lost; }

    QSerialPort m_port;
    LineSettings m_settings;
    QString m_programDirectory;
    // The device file the port was last opened on.
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
