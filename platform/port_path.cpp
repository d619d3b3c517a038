#include "platform/port_path.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

QString devicePathForPort(int portNumber, const QString& programDirectory) {
    const QString localName = QStringLiteral("COM%1").arg(portNumber);
    const QFileInfo local(QDir(programDirectory).filePath(localName));
    if (!programDirectory.isEmpty() && (local.exists() || local.isSymLink()))
        return local.filePath();
#ifdef Q_OS_WIN
    return localName;
#else
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
#endif
}

} // namespace platform
