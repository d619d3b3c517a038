#include "platform/files/file_open.h"

#include "platform/files/file_sync.h"
#include "platform/system/error_text.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <cerrno>

#ifdef Q_OS_WIN
#include "platform/system/windows_error.h"

#include <QDir>

#include <windows.h>
#else
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace {

void setReason(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
}

// A name in the same directory that no other file has, so that the finished file can be
// given its own name without moving it to another file system.
QString temporaryNameFor(const QString& path) {
    static std::atomic<unsigned> counter{0};
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
           QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
           QString::number(++counter) + QStringLiteral(".new");
}

// Gives the finished temporary file the name `path` only if nothing of that name exists;
// the temporary name is gone afterwards either way. Sets `exists` when the name was taken.
bool publishWithoutReplacing(const QString& temporary, const QString& path, bool& exists,
                             QString* reason) {
    exists = false;
#ifdef Q_OS_WIN
    // Windows refuses to move a file onto an existing name.
    QFile finished(temporary);
    if (finished.rename(path))
        return true;
    exists = QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    setReason(reason, finished.errorString());
    QFile::remove(temporary);
    return false;
#else
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(path);
    // A second name for the finished file: link() fails when the name is taken, whatever
    // stands there, so an existing file is never replaced, not even one made a moment ago.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    int error = errno;
#ifdef Q_OS_LINUX
    // File systems without hard links (FAT, some network shares): a rename that also refuses
    // to replace.
    if (error != EEXIST) {
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
            0)
            return true;
        error = errno;
    }
#endif
    ::unlink(from.constData());
    exists = error == EEXIST;
    setReason(reason, platform::errorText(error));
    return false;
#endif
}

} // namespace

bool openRegularFile(QFile& file, const QString& path, QString* reason) {
#ifdef Q_OS_WIN
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        setReason(reason, windowsErrorText(::GetLastError()));
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !QFileInfo(path).isFile()) {
        // In the same words as on other systems.
        setReason(reason,
                  errorText((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : ENODEV));
        return false;
    }
    // The read-only mark keeps everybody out, administrators included. Wine lets an
    // administrator write such a file, so the mark is checked here rather than left to the
    // system.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        setReason(reason, windowsErrorText(ERROR_ACCESS_DENIED));
        return false;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered)) {
        setReason(reason, file.errorString());
        return false;
    }
    return true;
#else
    // Non-blocking, so that a FIFO of that name cannot hold the program up, and no terminal
    // becomes the program's controlling terminal. The kind of file is then checked on what
    // was actually opened, not on a name that may change meanwhile.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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
    // Administrators may write to any file; a file marked read-only is left alone anyway.
    else if ((status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        error = EACCES;
    if (error == 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1)
            error = errno;
    }
    if (error != 0) {
        ::close(fd);
        setReason(reason, platform::errorText(error));
        return false;
    }
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        setReason(reason, file.errorString());
        ::close(fd);
        return false;
    }
    return true;
#endif
}

bool isRegularFile(const QString& path) {
    return QFileInfo(path).isFile();
}

CreateResult createFileWhole(const QString& path, const QByteArray& contents, QString* reason) {
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return CreateResult::Exists;

    // A few tries, in case a temporary name is taken by a file another program left behind.
    QString temporary;
    QFile file;
    for (int attempt = 0; attempt < 8 && !file.isOpen(); ++attempt) {
        temporary = temporaryNameFor(path);
        file.setFileName(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) &&
            !QFileInfo::exists(temporary)) {
            setReason(reason, file.errorString());
            return CreateResult::Failed;
        }
    }
    if (!file.isOpen()) {
        setReason(reason, platform::errorText(EEXIST));
        return CreateResult::Failed;
    }

    // Only a file whose whole contents are on the disk gets the name.
    if (!writeToFile(file, contents, reason) || !syncFileToDisk(file, reason)) {
        file.close();
        QFile::remove(temporary);
        return CreateResult::Failed;
    }
    file.close();

    bool exists = false;
    if (!publishWithoutReplacing(temporary, path, exists, reason))
        return exists ? CreateResult::Exists : CreateResult::Failed;
    // The new name itself must survive a power cut, not only the data. Should the directory
    // not be written through, the file is still whole and in place; the next power cut is all
    // that could take it, so it counts as made.
    syncDirectoryOf(path);
    return CreateResult::Created;
}

} // namespace platform
