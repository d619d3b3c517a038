#include "platform/file_append.h"

#include "platform/file_open.h"
#include "platform/file_sync.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

void setReason(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
}

#ifndef Q_OS_WIN
// One write request; a write that took only part of the bytes (a full disk) is a failure.
bool writeOnce(int fd, const QByteArray& bytes, QString* reason) {
    const ssize_t written = ::write(fd, bytes.constData(), size_t(bytes.size()));
    if (written == ssize_t(bytes.size()))
        return true;
    setReason(reason, qt_error_string(written < 0 ? errno : ENOSPC));
    return false;
}
#endif

} // namespace

bool appendLineToFile(const QString& path, const QByteArray& line, const QByteArray& firstLine,
                      QString* reason) {
    // A new file appears with its first line already in it, and an existing one is never
    // replaced, even when another program makes it at the same moment.
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink() &&
        createFileWhole(path, firstLine, reason) == CreateResult::Failed)
        return false;

#ifdef Q_OS_WIN
    QFile file(path);
    if (!QFileInfo(path).isFile() ||
        !file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        setReason(reason, file.errorString());
        return false;
    }
    if (file.size() == 0 && !writeToFile(file, firstLine, reason))
        return false;
    return writeToFile(file, line, reason) && syncFileToDisk(file, reason);
#else
    // Non-blocking, so that a FIFO of that name cannot hold the program up (a regular file's
    // writes ignore it); the kind of file is checked on what was opened.
    const QByteArray native = QFile::encodeName(path);
    const int fd =
        ::open(native.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setReason(reason, qt_error_string(errno));
        return false;
    }
    struct stat status {};
    int error = 0;
    if (::fstat(fd, &status) != 0)
        error = errno;
    else if (S_ISDIR(status.st_mode))
        error = EISDIR;
    else if (!S_ISREG(status.st_mode))
        error = ENODEV;
    if (error != 0) {
        ::close(fd);
        setReason(reason, qt_error_string(error));
        return false;
    }
    bool added =
        (status.st_size > 0 || writeOnce(fd, firstLine, reason)) && writeOnce(fd, line, reason);
    // Written through to the disk before the line counts as added.
    if (added && ::fsync(fd) != 0) {
        setReason(reason, qt_error_string(errno));
        added = false;
    }
    if (::close(fd) != 0 && added) {
        setReason(reason, qt_error_string(errno));
        added = false;
    }
    return added;
#endif
}

} // namespace platform
