#include "platform/serial/port_path.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString devicePathForPort(int portNumber, [[maybe_unused]] const QString& programDirectory) {
    const QString localName = QStringLiteral("COM%1").arg(portNumber);
#ifdef Q_OS_WIN
    // Windows names its ports itself, and no file may be called COMn: port n is COMn.
    return localName;
#else
    const QFileInfo local(QDir(programDirectory).filePath(localName));
    if (!programDirectory.isEmpty() && (local.exists() || local.isSymLink()))
        return local.filePath();
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

} // namespace platform
