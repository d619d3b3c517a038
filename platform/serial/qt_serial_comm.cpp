#include "platform/serial/qt_serial_comm.h"

#include "platform/serial/port_info.h"
#include "platform/serial/port_path.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

namespace platform {

namespace {

// A byte count above this is not believed: it would come from a broken driver.
constexpr qint64 kMaxBelievableCount = 1 << 24;

QSerialPort::Parity serialParity(LineSettings::Parity parity) {
    switch (parity) {
    case LineSettings::Parity::Even:
        return QSerialPort::EvenParity;
    case LineSettings::Parity::Odd:
        return QSerialPort::OddParity;
    case LineSettings::Parity::Mark:
        return QSerialPort::MarkParity;
    case LineSettings::Parity::Space:
        return QSerialPort::SpaceParity;
    case LineSettings::Parity::None:
        break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits serialStopBits(LineSettings::StopBits stopBits) {
    switch (stopBits) {
    case LineSettings::StopBits::OneAndHalf:
        return QSerialPort::OneAndHalfStop;
    case LineSettings::StopBits::Two:
        return QSerialPort::TwoStop;
    case LineSettings::StopBits::One:
        break;
    }
    return QSerialPort::OneStop;
}

} // namespace

QtSerialComm::QtSerialComm(QString programDirectory)
    : m_programDirectory(std::move(programDirectory)) {
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialComm::onError);
    // Whenever the event loop runs (a message box, a wait), arriving characters move into
    // the bounded receive buffer at once, so a chattering line cannot grow memory.
    connect(&m_port, &QSerialPort::readyRead, this, &QtSerialComm::takeArrivedBytes);
}

QtSerialComm::~QtSerialComm() {
    if (m_port.isOpen())
        m_port.close();
}

QString QtSerialComm::devicePath() const {
    return devicePathForPort(m_portNumber, m_programDirectory.isEmpty()
                                               ? QCoreApplication::applicationDirPath()
                                               : m_programDirectory);
}

void QtSerialComm::closeDevice() {
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialComm::openDevice(const QString& path) {
    // A root user opens anything: a refusal a test asks for stands in for the system's own.
    if (refusedForTests(path))
        return false;
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
    openedWell();
    return true;
}

bool QtSerialComm::applyLineSettings() {
    return m_port.setBaudRate(m_settings.baudRate) &&
           m_port.setParity(serialParity(m_settings.parity)) &&
           m_port.setDataBits(static_cast<QSerialPort::DataBits>(m_settings.dataBits)) &&
           m_port.setStopBits(serialStopBits(m_settings.stopBits));
}

// Without a running event loop the port reads nothing by itself; a zero wait pulls in
// whatever the operating system holds. The time-out it reports is not a fault.
void QtSerialComm::pullWaitingBytes() {
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

void QtSerialComm::takeArrivedBytes() {
    if (m_port.isOpen())
        m_received.keep(m_port.readAll());
}

qint64 QtSerialComm::kernelReceiveQueue() const {
#ifdef Q_OS_UNIX
    int waiting = 0;
    if (::ioctl(int(m_port.handle()), FIONREAD, &waiting) == 0 && waiting > 0)
        return waiting;
#endif
    return 0;
}

qint64 QtSerialComm::kernelTransmitQueue() const {
#ifdef Q_OS_UNIX
    int unsent = 0;
    if (::ioctl(int(m_port.handle()), TIOCOUTQ, &unsent) == 0 && unsent > 0)
        return unsent;
#endif
    return 0;
}

bool QtSerialComm::receiveCount(int& count) {
    count = 0;
    if (!m_lost && !m_port.isOpen())
        return false;
    pullWaitingBytes();
    // What the system still holds beyond the pull counts too, up to what the buffer can take.
    count = m_received.waiting(usable() ? kernelReceiveQueue() : 0);
    return true;
}

bool QtSerialComm::discardReceive() {
    m_received.clear();
    if (!usable())
        return m_lost;
    const bool cleared = m_port.clear(QSerialPort::Input);
    m_port.readAll();
    return cleared;
}

bool QtSerialComm::transmitCount(int& count) {
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

bool QtSerialComm::discardTransmit() {
    if (!usable())
        return m_lost;
    return m_port.clear(QSerialPort::Output);
}

bool QtSerialComm::output(const QByteArray& bytes) {
    if (!usable())
        return false;
    if (m_port.write(bytes) != bytes.size())
        return false;
    // Hand the bytes to the line now, not at the next turn of the event loop. A device that
    // goes away under the write has not taken the command.
    m_port.flush();
    return usable();
}

bool QtSerialComm::input(QByteArray& bytes) {
    bytes.clear();
    if (!m_lost && !m_port.isOpen())
        return false;
    pullWaitingBytes();
    bytes = m_received.take(m_readLength);
    return true;
}

// A device that disappears (adapter pulled, line hung up) makes the port report a fault
// over and over. Stop listening on the first one; from then on every operation fails
// quietly and the counts read as 0 (once what had arrived is read), so the program goes on
// and can still be closed.
void QtSerialComm::onError(QSerialPort::SerialPortError error) {
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
