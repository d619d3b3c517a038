#include "platform/serial/port_info.h"

#include "platform/serial/port_path.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <atomic>
#include <cerrno>

namespace platform {

namespace {

std::atomic<int> injectedOpenFailure{0};

} // namespace

QString portDevicePath(int portNumber) {
    return devicePathForPort(portNumber, QCoreApplication::applicationDirPath());
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
