#include "platform/serial/win32_comm.h"

#include "platform/serial/port_info.h"
#include "platform/serial/port_path.h"
#include "platform/system/windows_error.h"

#include <windows.h>

namespace platform {

namespace {

// A byte count above this is not believed: it would come from a broken driver.
constexpr qint64 kMaxBelievableCount = 1 << 24;
// At most this many reads per pull, as on the other system.
constexpr int kMaxReadsPerPull = 64;
// A write that the line cannot take within two seconds counts as failed, so a stuck line
// cannot hold the program. The driver ends such a write itself (see the port's time-outs);
// one that it does not end is cancelled this much later.
constexpr DWORD kWriteLimitMs = 2000;
constexpr DWORD kWriteGraceMs = 500;
// A read asks only for what the driver holds, so it ends at once; one that does not is
// cancelled after this long.
constexpr DWORD kReadLimitMs = 1000;
// What the line watch asks the system to tell: a character arrived, a line error (framing,
// overrun, parity), a break. A device that goes away ends the request with an error.
constexpr DWORD kWatchedEvents = EV_RXCHAR | EV_ERR | EV_BREAK;
// Closing waits at most this long for the system to let go of the line watch's request.
constexpr DWORD kLetGoMs = 2000;
// After this many requests in a row that the system ended without telling anything, it is
// taken not to tell; the line is then looked at every kLookMs instead (see watchLine).
constexpr int kUntoldAnswersToGiveUp = 3;
constexpr int kLookMs = 250;

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

// How a read or write ended: the bytes moved, and the system's error (0 when none).
struct Transfer {
    DWORD count = 0;
    DWORD error = 0;
};

// One read or write on the port, which is opened for overlapped use so that the line watch's
// request can stay pending beside it. Waited for at most `limitMs`, then cancelled; either
// way it is over, and its buffer free again, when this returns.
template <typename Start> Transfer transfer(HANDLE port, HANDLE done, DWORD limitMs, Start start) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done;
    if (!start(&overlapped)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING)
            return {0, error};
        if (::WaitForSingleObject(done, limitMs) != WAIT_OBJECT_0)
            ::CancelIoEx(port, &overlapped);
    }
    Transfer result;
    if (!::GetOverlappedResult(port, &overlapped, &result.count, TRUE))
        result.error = ::GetLastError();
    return result;
}

// A write the line did not take in time: the command is not sent, but the device is there.
bool isTimeOut(DWORD error) {
    return error == ERROR_OPERATION_ABORTED || error == ERROR_TIMEOUT ||
           error == ERROR_SEM_TIMEOUT || error == WAIT_TIMEOUT;
}

HANDLE newManualResetEvent() {
    return ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

} // namespace

// The line watch's request (WaitCommEvent): the system writes into it while it is pending, so
// it lives apart from the control and is never freed while the system may still hold it.
struct Win32Comm::LineWatch {
    LineWatch() : signal(newManualResetEvent()) {}
    ~LineWatch() { ::CloseHandle(signal); }
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    OVERLAPPED overlapped{};
    // What happened, as the system tells it.
    DWORD events = 0;
    // Set when the request ends; watched by the control's notifier.
    HANDLE signal;
    bool pending = false;
};

Win32Comm::Win32Comm(QString programDirectory)
    : m_programDirectory(std::move(programDirectory)), m_watch(std::make_unique<LineWatch>()),
      m_transferDone(newManualResetEvent()) {
    // Whenever the event loop runs (a wait, a message box), arriving characters move into the
    // bounded receive buffer and a device that went away is noticed at once, as on other
    // systems, where the serial port tells of both by itself. Here the system tells through
    // the line watch's event.
    m_lineEvent.setHandle(m_watch->signal);
    QObject::connect(&m_lineEvent, &QWinEventNotifier::activated, [this] { lineEvent(); });
    m_look.setInterval(kLookMs);
    QObject::connect(&m_look, &QTimer::timeout, [this] { pullWaitingBytes(); });
}

Win32Comm::~Win32Comm() {
    closeDevice();
    ::CloseHandle(m_transferDone);
}

void Win32Comm::closeDevice() {
    stopWatching();
    m_lineEvent.setEnabled(false);
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
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
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
    timeouts.WriteTotalTimeoutConstant = kWriteLimitMs;
    if (!::SetCommTimeouts(handle, &timeouts) || !applyLineSettings() ||
        !::SetCommMask(handle, kWatchedEvents)) {
        const DWORD error = ::GetLastError();
        m_lastError =
            QStringLiteral("%1: line settings refused: %2").arg(path, windowsErrorText(error));
        m_openErrorKind = PortErrorKind::Other;
        closeDevice();
        return false;
    }
    ::PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    openedWell();
    m_untoldAnswers = 0;
    m_lineEvent.setEnabled(true);
    watchLine();
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

// The system tells of the line through a pending WaitCommEvent. Windows ends it when a
// character arrives, on a line error, or with an error when the device goes away, and the
// next request is made at once.
// Wine (8.0 here) does not: it serves each request with a thread of its own that watches the
// line's status, modem lines included, and where there are no modem lines to read (a
// pseudo-terminal, as the simulated controller's) the request ends within milliseconds as
// cancelled, telling nothing, whatever the line does. Asking again would only start the next
// such thread. So once
// kUntoldAnswersToGiveUp requests in a row have ended so, or a request is refused, no more are
// made until the port is opened again: the line is looked at every kLookMs instead, the way the
// program's own reads look at it. A device that went away is then noticed within that time,
// and what arrives waits in the driver until then or until the program reads.
void Win32Comm::watchLine() {
    if (!usable() || m_watch->pending || m_look.isActive())
        return;
    LineWatch& watch = *m_watch;
    ::ResetEvent(watch.signal);
    watch.overlapped = OVERLAPPED{};
    watch.overlapped.hEvent = watch.signal;
    watch.events = 0;
    if (::WaitCommEvent(handleOf(m_handle), &watch.events, &watch.overlapped)) {
        // Told at once: taken up from the event loop, as any other answer.
        watch.pending = true;
        ::SetEvent(watch.signal);
        return;
    }
    if (::GetLastError() == ERROR_IO_PENDING) {
        watch.pending = true;
        return;
    }
    lookInsteadOfWatching();
}

void Win32Comm::lineEvent() {
    LineWatch& watch = *m_watch;
    if (!watch.pending || !usable()) {
        ::ResetEvent(watch.signal);
        return;
    }
    DWORD ignored = 0;
    const bool ended =
        ::GetOverlappedResult(handleOf(m_handle), &watch.overlapped, &ignored, FALSE);
    if (!ended && ::GetLastError() == ERROR_IO_INCOMPLETE)
        return; // still pending
    watch.pending = false;
    ::ResetEvent(watch.signal);
    const bool told = ended && watch.events != 0;
    m_untoldAnswers = told ? 0 : m_untoldAnswers + 1;
    // Whatever the answer, the line is looked at: what arrived goes into the receive buffer,
    // the errors are cleared, and a device that went away refuses the query.
    pullWaitingBytes();
    if (!usable())
        return;
    if (m_untoldAnswers >= kUntoldAnswersToGiveUp)
        lookInsteadOfWatching();
    else
        watchLine();
}

void Win32Comm::lookInsteadOfWatching() {
    qCInfo(lcPort).noquote() << m_openedPath << "- the system does not tell of the line; it is"
                             << "looked at every" << kLookMs << "ms";
    pullWaitingBytes();
    if (usable())
        m_look.start();
}

void Win32Comm::stopWatching() {
    m_look.stop();
    if (!m_watch->pending || m_handle == nullptr)
        return;
    const HANDLE handle = handleOf(m_handle);
    // Windows (and Wine) end a pending request when the mask changes; CancelIoEx ends it
    // wherever it is an ordinary pending operation.
    ::SetCommMask(handle, 0);
    ::CancelIoEx(handle, &m_watch->overlapped);
    if (::WaitForSingleObject(m_watch->signal, kLetGoMs) == WAIT_OBJECT_0) {
        DWORD ignored = 0;
        ::GetOverlappedResult(handle, &m_watch->overlapped, &ignored, FALSE);
        m_watch->pending = false;
        ::ResetEvent(m_watch->signal);
        return;
    }
    // Not let go of: the system may still write into the request, so it is left to it, never
    // freed, and the next open gets a request of its own.
    qCWarning(lcPort).noquote() << m_openedPath << "kept the line watch's request after" << kLetGoMs
                                << "ms; it is left to the system";
    (void)m_watch.release();
    m_watch = std::make_unique<LineWatch>();
    m_lineEvent.setHandle(m_watch->signal);
}

// Moves what the driver holds into the receive buffer. Only what the driver says it holds is
// read, so a read ends at once: Wine keeps an overlapped read that finds nothing pending until
// something comes, where Windows returns it empty. A device that went away (an adapter
// pulled, the line hung up) refuses the query, or fails the read.
void Win32Comm::pullWaitingBytes() {
    char chunk[4096];
    for (int round = 0; round < kMaxReadsPerPull && usable(); ++round) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(handleOf(m_handle), &errors, &status)) {
            loseDevice("ClearCommError", ::GetLastError());
            return;
        }
        if (status.cbInQue == 0)
            return;
        const DWORD wanted = DWORD(qMin<qint64>(status.cbInQue, qint64(sizeof(chunk))));
        const HANDLE port = handleOf(m_handle);
        const Transfer read =
            transfer(port, m_transferDone, kReadLimitMs, [&](OVERLAPPED* overlapped) {
                return ::ReadFile(port, chunk, wanted, nullptr, overlapped);
            });
        m_received.keep(chunk, qsizetype(read.count));
        if (read.error == ERROR_OPERATION_ABORTED)
            return; // a read that did not end in time: what it got is kept
        if (read.error != 0) {
            loseDevice("ReadFile", read.error);
            return;
        }
        if (read.count == 0)
            return;
    }
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
// whole, has not taken the command; a write the line did not take in time leaves the device
// as it is.
bool Win32Comm::output(const QByteArray& bytes) {
    if (!usable())
        return false;
    const HANDLE port = handleOf(m_handle);
    const Transfer write =
        transfer(port, m_transferDone, kWriteLimitMs + kWriteGraceMs, [&](OVERLAPPED* overlapped) {
            return ::WriteFile(port, bytes.constData(), DWORD(bytes.size()), nullptr, overlapped);
        });
    if (write.error != 0) {
        if (!isTimeOut(write.error))
            loseDevice("WriteFile", write.error);
        return false;
    }
    return write.count == DWORD(bytes.size());
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
