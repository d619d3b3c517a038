#include "platform/files/file_sync.h"

#include "platform/system/error_text.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

std::atomic<int> injectedWriteError{0};
std::atomic<int> injectedSyncError{0};

void setReason(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
}

} // namespace

bool writeToFile(QFile& file, const QByteArray& bytes, QString* reason) {
    if (const int error = injectedWriteError.load()) {
        setReason(reason, platform::errorText(error));
        return false;
    }
    // An unbuffered file hands the bytes to the operating system in this call; a buffered one
    // holds them until the flush of syncFileToDisk, which then reports any failure.
    const qint64 written = file.write(bytes);
    if (written == bytes.size())
        return true;
    setReason(reason, file.errorString());
    return false;
}

bool syncFileToDisk(QFile& file, QString* reason) {
    if (!file.isOpen()) {
        setReason(reason, platform::errorText(EBADF));
        return false;
    }
    if (!file.flush()) {
        setReason(reason, file.errorString());
        return false;
    }
    if (const int error = injectedSyncError.load()) {
        setReason(reason, platform::errorText(error));
        return false;
    }
    const int fd = file.handle();
    if (fd < 0) {
        setReason(reason, platform::errorText(EBADF));
        return false;
    }
#ifdef Q_OS_WIN
    const bool synced = _commit(fd) == 0;
#else
    const bool synced = ::fsync(fd) == 0;
#endif
    if (!synced)
        setReason(reason, platform::errorText(errno));
    return synced;
}

bool syncDirectoryOf(const QString& filePath) {
#ifdef Q_OS_WIN
    Q_UNUSED(filePath);
    return true; // the file system records a new name with the file itself
#else
    const QByteArray directory = QFile::encodeName(QFileInfo(filePath).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#endif
}

void setFileFailureForTests(FileStep step, int osError) {
    (step == FileStep::Write ? injectedWriteError : injectedSyncError).store(osError);
}

} // namespace platform
