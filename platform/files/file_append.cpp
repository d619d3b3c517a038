#include "platform/files/file_append.h"

#include "platform/files/file_open.h"
#include "platform/files/file_sync.h"
#include "platform/system/error_text.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>

#ifdef Q_OS_WIN
#include "platform/system/windows_error.h"

#include <QDir>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
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
    setReason(reason, platform::errorText(written < 0 ? errno : ENOSPC));
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
    // Append-only access: every write lands at the end of the file, whatever another program
    // wrote meanwhile. Others may read and append at the same time.
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    // The read-only mark keeps everybody out; Wine lets an administrator through.
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        setReason(reason, windowsErrorText(ERROR_ACCESS_DENIED));
        return false;
    }
    HANDLE handle = ::CreateFileW(native.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        setReason(reason, windowsErrorText(::GetLastError()));
        return false;
    }
    LARGE_INTEGER size{};
    if (::GetFileType(handle) != FILE_TYPE_DISK || !::GetFileSizeEx(handle, &size)) {
        ::CloseHandle(handle);
        setReason(reason, windowsErrorText(ERROR_INVALID_FUNCTION));
        return false;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    QFile file;
    if (fd < 0) {
        ::CloseHandle(handle);
        setReason(reason, platform::errorText(errno));
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::_close(fd);
        setReason(reason, file.errorString());
        return false;
    }
    // Written through to the disk before the line counts as added.
    return (size.QuadPart > 0 || writeToFile(file, firstLine, reason)) &&
           writeToFile(file, line, reason) && syncFileToDisk(file, reason);
#else
    // Non-blocking, so that a FIFO of that name cannot hold the program up (a regular file's
    // writes ignore it); the kind of file is checked on what was opened.
    const QByteArray native = QFile::encodeName(path);
    const int fd =
        ::open(native.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setReason(reason, platform::errorText(errno));
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
        setReason(reason, platform::errorText(error));
        return false;
    }
    bool added =
        (status.st_size > 0 || writeOnce(fd, firstLine, reason)) && writeOnce(fd, line, reason);
    // Written through to the disk before the line counts as added.
    if (added && ::fsync(fd) != 0) {
        setReason(reason, platform::errorText(errno));
        added = false;
    }
    if (::close(fd) != 0 && added) {
        setReason(reason, platform::errorText(errno));
        added = false;
    }
    return added;
#endif
}

} // namespace platform
