#include "platform/port_info.h"

#include "platform/port_path.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSerialPortInfo>

#include <atomic>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace platform {

namespace {

std::atomic<int> injectedOpenFailure{0};

// The adapter in the system's list that is the device at `path`: a link is matched by the
// device it finally leads to, a Windows port by its name.
const QSerialPortInfo* adapterOf(const PortDevice& device, const QList<QSerialPortInfo>& ports) {
    const QString canonical = QFileInfo(device.path).canonicalFilePath();
    for (const QSerialPortInfo& info : ports) {
        if ((!canonical.isEmpty() && info.systemLocation() == canonical) ||
            info.systemLocation() == device.path || info.portName() == device.path)
            return &info;
    }
    return nullptr;
}

void addAdapter(PortDevice& device, const QList<QSerialPortInfo>& ports) {
    if (const QSerialPortInfo* info = adapterOf(device, ports)) {
        device.present = true;
        device.description = info->description().trimmed();
        device.serialNumber = info->serialNumber().trimmed();
    }
}

} // namespace

QString portDevicePath(int portNumber) {
    return devicePathForPort(portNumber, QCoreApplication::applicationDirPath());
}

PortDevice describeDevice(const QString& path) {
    PortDevice device;
    device.path = path;
    const QFileInfo info(path);
    if (info.isSymLink())
        device.linkTarget = info.symLinkTarget();
    device.present = info.exists();
    return device;
}

std::vector<PortDevice> describePorts(int first, int last) {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::vector<PortDevice> devices;
    for (int port = first; port <= last; ++port) {
        PortDevice device = describeDevice(portDevicePath(port));
        device.portNumber = port;
        // Without a program directory the mapping gives the system's own port.
        device.systemPort = device.path == devicePathForPort(port, QString());
        addAdapter(device, ports);
        devices.push_back(device);
    }
    return devices;
}

QString deviceText(const PortDevice& device) {
    if (device.linkTarget.isEmpty())
        return device.path;
    return device.path + QStringLiteral(" -> ") + device.linkTarget;
}

PortErrorKind portErrorKindOf(int osError) {
    switch (osError) {
    case 0:
        return PortErrorKind::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return PortErrorKind::Missing;
    case EACCES:
    case EPERM:
        return PortErrorKind::Permission;
    case EBUSY:
        return PortErrorKind::Busy;
    default:
        return PortErrorKind::Other;
    }
}

PortErrorKind portOpenErrorKind(const QString& path, QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
        return PortErrorKind::None;
    case QSerialPort::DeviceNotFoundError:
        return PortErrorKind::Missing;
    case QSerialPort::PermissionError: {
        // The serial port reports a device it may not use and one that another program holds
        // (its lock file, or exclusive use) alike; the device's own permissions tell them
        // apart.
        const QFileInfo info(path);
        if (!info.exists())
            return PortErrorKind::Missing;
#ifdef Q_OS_UNIX
        const QByteArray native = QFile::encodeName(path);
        if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return PortErrorKind::Permission;
        return PortErrorKind::Busy;
#else
        // Windows refuses a port another program holds with "access denied".
        return PortErrorKind::Busy;
#endif
    }
    default:
        return QFileInfo::exists(path) ? PortErrorKind::Other : PortErrorKind::Missing;
    }
}

std::optional<QString> serialAccessGroup(const QString& path) {
#ifdef Q_OS_LINUX
    // A group named after root grants nothing a technician could join; Debian and most
    // others give serial devices to "dialout".
    const QString owner = QFileInfo(path).group();
    if (owner.isEmpty() || owner == QLatin1String("root"))
        return QStringLiteral("dialout");
    return owner;
#else
    Q_UNUSED(path);
    return std::nullopt;
#endif
}

void setPortOpenFailureForTests(int osError) {
    injectedOpenFailure.store(osError);
}

int portOpenFailureForTests() {
    return injectedOpenFailure.load();
}

} // namespace platform
