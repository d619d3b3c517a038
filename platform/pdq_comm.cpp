#include "platform/pdq_comm.h"

#include "platform/port_info.h"
#include "platform/port_path.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

Q_LOGGING_CATEGORY(lcPort, "tq.port", QtWarningMsg)
// Receive-buffer overflows belong to the trace of the line to the controller.
Q_LOGGING_CATEGORY(lcLinkOverflow, "tq.link", QtInfoMsg)

namespace platform {

namespace {

// A byte count above this is not believed: it would come from a broken driver.
constexpr qint64 kMaxBelievableCount = 1 << 24;

bool parseSettings(const QString& text, qint32& baud, QSerialPort::Parity& parity,
                   QSerialPort::DataBits& dataBits, QSerialPort::StopBits& stopBits) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int speed = parts[0].trimmed().toInt(&ok);
    if (!ok || speed <= 0)
        return false;
    const QString p = parts[1].trimmed().toUpper();
    QSerialPort::Parity par;
    if (p == QLatin1String("N"))
        par = QSerialPort::NoParity;
    else if (p == QLatin1String("E"))
        par = QSerialPort::EvenParity;
    else if (p == QLatin1String("O"))
        par = QSerialPort::OddParity;
    else if (p == QLatin1String("M"))
        par = QSerialPort::MarkParity;
    else if (p == QLatin1String("S"))
        par = QSerialPort::SpaceParity;
    else
        return false;
    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    const QString s = parts[3].trimmed();
    QSerialPort::StopBits stop;
    if (s == QLatin1String("1"))
        stop = QSerialPort::OneStop;
    else if (s == QLatin1String("1.5"))
        stop = QSerialPort::OneAndHalfStop;
    else if (s == QLatin1String("2"))
        stop = QSerialPort::TwoStop;
    else
        return false;
    baud = speed;
    parity = par;
    dataBits = static_cast<QSerialPort::DataBits>(bits);
    stopBits = stop;
    return true;
}

} // namespace

PdqComm::PdqComm(QString programDirectory) : m_programDirectory(std::move(programDirectory)) {
    connect(&m_port, &QSerialPort::errorOccurred, this, &PdqComm::onError);
    // Whenever the event loop runs (a message box, a wait), arriving characters move into
    // the bounded receive buffer at once, so a chattering line cannot grow memory.
    connect(&m_port, &QSerialPort::readyRead, this, &PdqComm::takeArrivedBytes);
}

PdqComm::~PdqComm() {
    if (m_port.isOpen())
        m_port.close();
}

bool PdqComm::setSettings(const QString& settings) {
    LineSettings parsed;
    if (!parseSettings(settings, parsed.baudRate, parsed.parity, parsed.dataBits,
                       parsed.stopBits)) {
        m_lastError = QStringLiteral("invalid line settings \"%1\"").arg(settings);
        return false;
    }
    m_settings = parsed;
    return usable() ? applyLineSettings() : true;
}

// The receive buffer holds at most this many characters; what arrives while it is full is
// thrown away, as a serial control's buffer overflows. The transmit size is kept as a figure:
// output is handed to the line at once.
bool PdqComm::setReceiveBufferSize(int size) {
    if (size <= 0)
        return false;
    m_receiveBufferSize = size;
    return true;
}

bool PdqComm::setTransmitBufferSize(int size) {
    if (size <= 0)
        return false;
    m_transmitBufferSize = size;
    return true;
}

bool PdqComm::setPortNumber(int portNumber) {
    if (portNumber < 1 || portNumber > 255) {
        m_lastError = QStringLiteral("port number %1 does not exist").arg(portNumber);
        return false;
    }
    if (m_port.isOpen()) {
        m_lastError = QStringLiteral("the port is open");
        return false;
    }
    m_portNumber = portNumber;
    return true;
}

QString PdqComm::devicePath() const {
    return devicePathForPort(m_portNumber, m_programDirectory.isEmpty()
                                               ? QCoreApplication::applicationDirPath()
                                               : m_programDirectory);
}

bool PdqComm::setPortOpen(bool open) {
    if (!open) {
        if (m_port.isOpen())
            m_port.close();
        m_lost = false;
        m_received.clear();
        return true;
    }
    if (m_port.isOpen()) {
        m_lastError = QStringLiteral("the port is already open");
        m_openErrorKind = PortErrorKind::Other;
        return false;
    }
    m_lost = false;
    m_received.clear();
    m_openedPath = devicePath();
    return openDevice(m_openedPath);
}

bool PdqComm::reopenLostDevice() {
    if (!m_lost)
        return usable();
    // The very device that was lost (the COMn link, not whatever the port number would map
    // to now): never another port that happens to exist.
    if (!openDevice(m_openedPath))
        return false; // still gone: stays lost, and the next exchange tries once more
    m_lost = false;
    m_received.clear();
    qCInfo(lcPort).noquote() << m_openedPath << "is back";
    return true;
}

bool PdqComm::openDevice(const QString& path) {
    // A refusal a test asks for stands in for the system's own (a root user opens anything).
    if (const int refused = portOpenFailureForTests()) {
        m_lastError = QStringLiteral("%1: %2").arg(path, qt_error_string(refused));
        m_openErrorKind = portErrorKindOf(refused);
        return false;
    }
    m_port.setPortName(path);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lastError = QStringLiteral("%1: %2").arg(path, m_port.errorString());
        m_openErrorKind = portOpenErrorKind(path, m_port.error());
        qCInfo(lcPort) << "open failed:" << m_lastError;
        m_port.clearError();
        return false;
    }
    if (!applyLineSettings()) {
        m_lastError =
            QStringLiteral("%1: line settings refused: %2").arg(path, m_port.errorString());
        m_openErrorKind = PortErrorKind::Other;
        m_port.close();
        return false;
    }
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_lastError.clear();
    m_openErrorKind = PortErrorKind::None;
    return true;
}

bool PdqComm::portOpen() const {
    return m_port.isOpen();
}

bool PdqComm::applyLineSettings() {
    return m_port.setBaudRate(m_settings.baudRate) && m_port.setParity(m_settings.parity) &&
           m_port.setDataBits(m_settings.dataBits) && m_port.setStopBits(m_settings.stopBits);
}

// Without a running event loop the port reads nothing by itself; a zero wait pulls in
// whatever the operating system holds. The time-out it reports is not a fault.
void PdqComm::pullWaitingBytes() {
    if (!usable())
        return;
    for (int round = 0; round < 64 && kernelReceiveQueue() > 0; ++round) {
        if (!m_port.waitForReadyRead(0))
            break;
        if (!usable())
            return;
    }
    if (m_port.error() == QSerialPort::TimeoutError)
        m_port.clearError();
    takeArrivedBytes();
}

void PdqComm::takeArrivedBytes() {
    if (!m_port.isOpen())
        return;
    const QByteArray arrived = m_port.readAll();
    const qsizetype room = qMax<qsizetype>(0, m_receiveBufferSize - m_received.size());
    m_received += arrived.left(room);
    if (arrived.size() > room) {
        const bool firstOverflow = m_overflowed == 0;
        m_overflowed += arrived.size() - room;
        if (firstOverflow)
            qCInfo(lcLinkOverflow) << "receive buffer full at" << m_receiveBufferSize
                                   << "characters; what arrives now is discarded";
    }
}

qint64 PdqComm::kernelReceiveQueue() const {
#ifdef Q_OS_UNIX
    int waiting = 0;
    if (::ioctl(int(m_port.handle()), FIONREAD, &waiting) == 0 && waiting > 0)
        return waiting;
#endif
    return 0;
}

qint64 PdqComm::kernelTransmitQueue() const {
#ifdef Q_OS_UNIX
    int unsent = 0;
    if (::ioctl(int(m_port.handle()), TIOCOUTQ, &unsent) == 0 && unsent > 0)
        return unsent;
#endif
    return 0;
}

bool PdqComm::receiveCount(int& count) {
    count = 0;
    if (!m_lost && !m_port.isOpen())
        return false;
    pullWaitingBytes();
    // What the system still holds beyond the pull counts too, up to what the buffer can take.
    const qint64 waiting = m_received.size() + (usable() ? kernelReceiveQueue() : 0);
    count = int(qBound<qint64>(0, waiting, qint64(m_receiveBufferSize)));
    return true;
}

bool PdqComm::discardReceive() {
    m_received.clear();
    reportOverflow();
    if (!usable())
        return m_lost;
    const bool cleared = m_port.clear(QSerialPort::Input);
    m_port.readAll();
    return cleared;
}

bool PdqComm::transmitCount(int& count) {
    count = 0;
    if (m_lost)
        return true;
    if (!m_port.isOpen())
        return false;
    if (m_port.bytesToWrite() > 0)
        m_port.flush();
    const qint64 unsent = m_port.bytesToWrite() + kernelTransmitQueue();
    count = int(qBound<qint64>(0, unsent, kMaxBelievableCount));
    return true;
}

bool PdqComm::discardTransmit() {
    if (!usable())
        return m_lost;
    return m_port.clear(QSerialPort::Output);
}

bool PdqComm::output(const QByteArray& bytes) {
    if (!usable())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Hand the bytes to the line now, not at the next turn of the event loop. A device that
    // goes away under the write has not taken the command.
    m_port.flush();
    return usable();
}

bool PdqComm::input(QByteArray& bytes) {
    bytes.clear();
    if (!m_lost && !m_port.isOpen())
        return false;
    pullWaitingBytes();
    if (m_readLength > 0 && m_readLength < m_received.size()) {
        bytes = m_received.left(m_readLength);
        m_received.remove(0, m_readLength);
    } else {
        bytes.swap(m_received);
    }
    reportOverflow();
    return true;
}

// How much a full receive buffer threw away, traced once the buffer is read or cleared.
void PdqComm::reportOverflow() {
    if (m_overflowed == 0)
        return;
    qCInfo(lcLinkOverflow) << m_overflowed << "characters discarded: the receive buffer holds"
                           << m_receiveBufferSize;
    m_overflowed = 0;
}

bool PdqComm::setReadLength(int length) {
    if (length < 0)
        return false;
    m_readLength = length;
    return true;
}

QString PdqComm::lastError() const {
    return m_lastError;
}

// A device that disappears (adapter pulled, line hung up) makes the port report a fault
// over and over. Stop listening on the first one; from then on every operation fails
// quietly and the counts read as 0 (once what had arrived is read), so the program goes on
// and can still be closed.
void PdqComm::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::TimeoutError:
        return;
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        if (!m_lost && m_port.isOpen()) {
            m_lost = true;
            m_lastError =
                QStringLiteral("%1: device lost: %2").arg(m_port.portName(), m_port.errorString());
            qCWarning(lcPort).noquote() << m_lastError;
            // Keep what had already arrived; the program still reads it.
            takeArrivedBytes();
            m_port.close();
        }
        return;
    default:
        m_lastError = m_port.errorString();
        return;
    }
}

} // namespace platform
