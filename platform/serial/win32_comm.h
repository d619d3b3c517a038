// The serial control on Win32's communications API, for Windows.
#pragma once

#include "platform/serial/serial_control_base.h"

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <QWinEventNotifier>

#include <memory>

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
    struct LineWatch;

    bool isDeviceOpen() const override { return m_handle != nullptr; }
    bool openDevice(const QString& path) override;
    void closeDevice() override;
    bool applyLineSettings() override;
    void pullWaitingBytes();
    // Asks the system to tell, through the line watch's event, when characters arrive or the
    // line reports an error; a device that is gone then answers the request itself.
    void watchLine();
    // The system told: takes what arrived, notices a device that went away and asks again.
    void lineEvent();
    // For a system that does not tell (see watchLine): the line is looked at from now on.
    void lookInsteadOfWatching();
    // Ends a pending request and waits until the system has let go of it.
    void stopWatching();
    // Marks the device lost after a failed call, with the system's reason.
    void loseDevice(const char* call, unsigned long error);

    // The open port's handle (a Win32 HANDLE); null while closed.
    void* m_handle = nullptr;
    QString m_programDirectory;
    // The pending request and what the system writes into it.
    std::unique_ptr<LineWatch> m_watch;
    // Set when a read or write ends (a Win32 event handle).
    void* m_transferDone;
    QWinEventNotifier m_lineEvent;
    // Requests in a row that the system ended without telling anything.
    int m_untoldAnswers = 0;
    // Where the system does not tell (see watchLine), the line is looked at this often instead.
    QTimer m_look;
};

} // namespace platform
