// The serial control on Qt's serial port, for the systems Qt's serial module serves (Linux).
#pragma once

#include "platform/serial/serial_control_base.h"

#include <QObject>
#include <QSerialPort>

namespace platform {

class QtSerialComm final : public QObject, public SerialControlBase {
    Q_OBJECT
  public:
    // Ports are looked up next to the program, or in `programDirectory` when one is given.
    explicit QtSerialComm(QString programDirectory = QString());
    ~QtSerialComm() override;

    bool receiveCount(int& count) override;
    bool discardReceive() override;
    bool transmitCount(int& count) override;
    bool discardTransmit() override;
    bool output(const QByteArray& bytes) override;
    bool input(QByteArray& bytes) override;

    // The device file the current port number maps to.
    QString devicePath() const override;

  private:
    bool isDeviceOpen() const override { return m_port.isOpen(); }
    bool openDevice(const QString& path) override;
    void closeDevice() override;
    bool applyLineSettings() override;

    void pullWaitingBytes();
    void takeArrivedBytes();
    qint64 kernelReceiveQueue() const;
    qint64 kernelTransmitQueue() const;
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_programDirectory;
};

} // namespace platform
