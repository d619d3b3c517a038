#include "platform/file_sync.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

bool syncFileToDisk(QFile& file) {
    if (!file.isOpen())
        return false;
    if (!file.flush())
        return false;
    const int fd = file.handle();
    if (fd < 0)
        return false;
#ifdef Q_OS_WIN
    return _commit(fd) == 0;
#else
    return ::fsync(fd) == 0;
#endif
}

bool syncDirectoryOf(const QString& filePath) {
#ifdef Q_OS_WIN
    Q_UNUSED(filePath);
    return true; // the file system records a new name with the file itself
#else
    const QByteArray directory = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#endif
}

} // namespace platform
