// What the system tells of serial ports where Qt's serial module serves them (Linux): device
// files, the links that lead to them, and the adapters in Qt's list of serial ports.
#include "platform/serial/port_info.h"

#include "platform/serial/port_path.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSerialPortInfo>

#include <cerrno>

#include <unistd.h>

namespace platform {

namespace {

// The adapter in the system's list that is the device at `path`: a link is matched by the
// device it finally leads to.
const QSerialPortInfo* adapterOf(const PortDevice& device, const QList<QSerialPortInfo>& ports) {
    const QString canonical = QFileInfo(device.path).canonicalFilePath();
    for (const QSerialPortInfo& info : ports) {
        if ((!canonical.isEmpty() && info.systemLocation() == canonical) ||
            info.systemLocation() == device.path)
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
        const QByteArray native = QFile::encodeName(path);
        if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES)
            return PortErrorKind::Permission;
        return PortErrorKind::Busy;
    }
    default:
        return QFileInfo::exists(path) ? PortErrorKind::Other : PortErrorKind::Missing;
    }
}

} // namespace platform
