#include "platform/win32_comm.h"

#include "platform/port_info.h"
#include "platform/port_path.h"
#include "platform/windows_error.h"

#include <windows.h>

namespace platform {

namespace {

// A byte count above this is not believed: it would come from a broken driver.
constexpr qint64 kMaxBelievableCount = 1 << 24;
// At most this many reads per pull, as on the other system.
constexpr int kMaxReadsPerPull = 64;

HANDLE handleOf(void* handle) {
    return static_cast<HANDLE>(handle);
}

// The name CreateFile needs for a port: "\\.\COMn" reaches ports above COM9 too.
std::wstring deviceNameFor(const QString& path) {
    return (QStringLiteral("\\\\.\\") + path).toStdWString();
}

BYTE dcbParity(LineSettings::Parity parity) {
    switch (parity) {
    case LineSettings::Parity::Even:
        return EVENPARITY;
    case LineSettings::Parity::Odd:
        return ODDPARITY;
    case LineSettings::Parity::Mark:
        return MARKPARITY;
    case LineSettings::Parity::Space:
        return SPACEPARITY;
    case LineSettings::Parity::None:
        break;
    }
    return NOPARITY;
}

BYTE dcbStopBits(LineSettings::StopBits stopBits) {
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf:
        return ONE5STOPBITS;
    case LineSettings::StopBits::Two:
        return TWOSTOPBITS;
    case LineSettings::StopBits::One:
        break;
    }
    return ONESTOPBIT;
}

} // namespace

// A watch interval short against the shortest wait of an exchange (100 ms a pass).
constexpr int kWatchIntervalMs = 10;

Win32Comm::Win32Comm(QString programDirectory) : m_programDirectory(std::move(programDirectory)) {
    // Whenever the event loop runs (a wait, a message box), arriving characters move into the
    // bounded receive buffer and a device that went away is noticed at once, as on other
    // systems, where the serial port tells of both by itself.
    m_watch.setInterval(kWatchIntervalMs);
    QObject::connect(&m_watch, &QTimer::timeout, [this] { watchLine(); });
}

Win32Comm::~Win32Comm() {
    closeDevice();
}

void Win32Comm::closeDevice() {
    m_watch.stop();
    if (m_handle != nullptr) {
        ::CloseHandle(handleOf(m_handle));
        m_handle = nullptr;
    }
}

QString Win32Comm::devicePath() const {
    return devicePathForPort(m_portNumber, m_programDirectory);
}

bool Win32Comm::openDevice(const QString& path) {
    closeDevice();
    // A refusal a test asks for stands in for the system's own.
    if (refusedForTests(path))
        return false;
    // No sharing: a port belongs to one program at a time, and Windows refuses a second.
    const std::wstring name = deviceNameFor(path);
    HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        m_lastError = QStringLiteral("%1: %2").arg(path, windowsErrorText(error));
        m_openErrorKind = portErrorKindOfWindowsError(error);
        qCInfo(lcPort) << "open failed:" << m_lastError;
        return false;
    }
    // A file or anything else that is not a character device is no port.
    if (::GetFileType(handle) != FILE_TYPE_CHAR) {
        ::CloseHandle(handle);
        m_lastError = QStringLiteral("%1: not a serial port").arg(path);
        m_openErrorKind = PortErrorKind::Other;
        return false;
    }
    m_handle = handle;

    // Reads never wait: they return at once with whatever has arrived. The program does its
    // own waiting, as the legacy control's polling did. A write that the line cannot take
    // within two seconds counts as failed, so a stuck line cannot hold the program.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 2000;
    if (!::SetCommTimeouts(handle, &timeouts) || !applyLineSettings()) {
        const DWORD error = ::GetLastError();
        m_lastError =
            QStringLiteral("%1: line settings refused: %2").arg(path, windowsErrorText(error));
        m_openErrorKind = PortErrorKind::Other;
        closeDevice();
        return false;
    }
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    openedWell();
    m_watch.start();
    return true;
}

// Speed, parity, data and stop bits; no flow control of any kind, and nothing that depends on
// the modem lines (a pseudo-terminal under Wine has none).
bool Win32Comm::applyLineSettings() {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!::GetCommState(handleOf(m_handle), &dcb))
        return false;
    dcb.BaudRate = DWORD(m_settings.baudRate);
    dcb.ByteSize = BYTE(m_settings.dataBits);
    dcb.Parity = dcbParity(m_settings.parity);
    dcb.StopBits = dcbStopBits(m_settings.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = m_settings.parity == LineSettings::Parity::None ? FALSE : TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    return ::SetCommState(handleOf(m_handle), &dcb) != FALSE;
}

void Win32Comm::loseDevice(const char* call, unsigned long error) {
    if (m_lost || m_handle == nullptr)
        return;
    m_lost = true;
    m_lastError = QStringLiteral("%1: device lost: %2 failed: %3")
                      .arg(m_openedPath, QLatin1String(call), windowsErrorText(error));
    qCWarning(lcPort).noquote() << m_lastError;
    // What had arrived is kept; the program still reads it.
    closeDevice();
}

// Moves what the driver holds into the receive buffer. The reads return at once; a read that
// fails means the device went away (an adapter pulled, the line hung up).
void Win32Comm::pullWaitingBytes() {
    char chunk[4096];
    for (int round = 0; round < kMaxReadsPerPull && usable(); ++round) {
        DWORD got = 0;
        if (!::ReadFile(handleOf(m_handle), chunk, DWORD(sizeof(chunk)), &got, nullptr)) {
            loseDevice("ReadFile", ::GetLastError());
            return;
        }
        if (got == 0)
            return;
        m_received.keep(chunk, qsizetype(got));
    }
}

void Win32Comm::watchLine() {
    pullWaitingBytes();
    if (!usable())
        return;
    // A device that went away answers reads with nothing, but refuses this query.
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handleOf(m_handle), &errors, &status))
        loseDevice("ClearCommError", ::GetLastError());
}

bool Win32Comm::receiveCount(int& count) {
    count = 0;
    if (!m_lost && m_handle == nullptr)
        return false;
    pullWaitingBytes();
    // What the driver still holds beyond the pull counts too, up to what the buffer can take.
    qint64 stillHeld = 0;
    if (usable()) {
        DWORD errors = 0;
        COMSTAT status{};
        if (::ClearCommError(handleOf(m_handle), &errors, &status))
            stillHeld = qMin<qint64>(status.cbInQue, kMaxBelievableCount);
        else
            loseDevice("ClearCommError", ::GetLastError());
    }
    count = m_received.waiting(stillHeld);
    return true;
}

bool Win32Comm::discardReceive() {
    m_received.clear();
    if (!usable())
        return m_lost;
    if (!::PurgeComm(handleOf(m_handle), PURGE_RXCLEAR | PURGE_RXABORT))
        return false;
    // Whatever the purge left in flight goes too.
    pullWaitingBytes();
    m_received.clear();
    return true;
}

bool Win32Comm::transmitCount(int& count) {
    count = 0;
    if (m_lost)
        return true;
    if (m_handle == nullptr)
        return false;
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(handleOf(m_handle), &errors, &status)) {
        loseDevice("ClearCommError", ::GetLastError());
        return true;
    }
    count = int(qBound<qint64>(0, qint64(status.cbOutQue), kMaxBelievableCount));
    return true;
}

bool Win32Comm::discardTransmit() {
    if (!usable())
        return m_lost;
    return ::PurgeComm(handleOf(m_handle), PURGE_TXCLEAR | PURGE_TXABORT) != FALSE;
}

// The bytes go to the driver now. A device that is gone, or a write the line does not take
// whole, has not taken the command.
bool Win32Comm::output(const QByteArray& bytes) {
    if (!usable())
        return false;
    DWORD written = 0;
    if (!::WriteFile(handleOf(m_handle), bytes.constData(), DWORD(bytes.size()), &written,
                     nullptr)) {
        loseDevice("WriteFile", ::GetLastError());
        return false;
    }
    return written == DWORD(bytes.size());
}

bool Win32Comm::input(QByteArray& bytes) {
    bytes.clear();
    if (!m_lost && m_handle == nullptr)
        return false;
    pullWaitingBytes();
    bytes = m_received.take(m_readLength);
    return true;
}

} // namespace platform
