#include "platform/files/whole_file.h"

#include "platform/files/file_sync.h"
#include "platform/system/error_text.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <atomic>
#include <cerrno>

#ifdef Q_OS_WIN
#include "platform/system/windows_error.h"

#include <windows.h>
#else
#include <stdio.h>
#endif

namespace platform {

namespace {

void setReason(QString* reason, const QString& text) {
    if (reason)
        *reason = text;
}

// Links are followed to the file they end at; a chain that goes round is taken as it stands
// after a few steps (the operating system then refuses it with its own reason).
QString linkedFile(const QString& path) {
    QString current = path;
    for (int step = 0; step < 16; ++step) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            break;
        current = info.symLinkTarget();
    }
    return current;
}

// The reason a name that exists cannot be read or replaced as a file; empty when it can.
QString notARegularFile(const QFileInfo& info) {
    if (info.isDir())
        return errorText(EISDIR);
    if (!info.isFile())
        return errorText(ENODEV);
    return QString();
}

// A name beside `path` that no other file has, so that the finished file takes the name
// without moving to another file system.
QString temporaryNameFor(const QString& path) {
    static std::atomic<unsigned> counter{0};
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + QLatin1Char('.') +
           QString::number(QCoreApplication::applicationPid()) + QLatin1Char('-') +
           QString::number(++counter) + QStringLiteral(".new");
}

// Gives the finished temporary file the name `path`, in place of whatever file had it.
bool renameOver(const QString& temporary, const QString& path, QString* reason) {
#ifdef Q_OS_WIN
    const std::wstring from = QDir::toNativeSeparators(temporary).toStdWString();
    const std::wstring to = QDir::toNativeSeparators(path).toStdWString();
    if (::MoveFileExW(from.c_str(), to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    setReason(reason, windowsErrorText(::GetLastError()));
    return false;
#else
    const QByteArray from = QFile::encodeName(temporary);
    const QByteArray to = QFile::encodeName(path);
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    setReason(reason, errorText(errno));
    return false;
#endif
}

} // namespace

ReadWholeResult readWholeFile(const QString& path, qint64 maxBytes, QByteArray& bytes,
                              QString* reason) {
    bytes.clear();
    const QFileInfo info(path);
    if (!info.exists())
        return ReadWholeResult::Missing;
    // Checked before opening: a FIFO would hold the program up until something wrote to it.
    if (const QString refusal = notARegularFile(info); !refusal.isEmpty()) {
        setReason(reason, refusal);
        return ReadWholeResult::Failed;
    }
    if (info.size() > maxBytes) {
        setReason(reason, errorText(EFBIG));
        return ReadWholeResult::Failed;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setReason(reason, file.errorString());
        return ReadWholeResult::Failed;
    }
    // One byte more than allowed tells a file that grew meanwhile.
    bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        setReason(reason, file.errorString());
        bytes.clear();
        return ReadWholeResult::Failed;
    }
    if (bytes.size() > maxBytes) {
        setReason(reason, errorText(EFBIG));
        bytes.clear();
        return ReadWholeResult::Failed;
    }
    return ReadWholeResult::Read;
}

bool replaceFileWhole(const QString& path, const QByteArray& contents, QString* reason) {
    const QString target = linkedFile(path);
    const QFileInfo info(target);
    QFileDevice::Permissions permissions;
    const bool existed = info.exists();
    if (existed) {
        if (const QString refusal = notARegularFile(info); !refusal.isEmpty()) {
            setReason(reason, refusal);
            return false;
        }
        // Renaming over a read-only file would work, as the directory allows it; the mark is
        // respected instead, administrators included.
        permissions = info.permissions();
        if ((permissions &
             (QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther)) == 0) {
            setReason(reason, errorText(EACCES));
            return false;
        }
    }

    // A few tries, in case a temporary name is taken by a file another program left behind.
    QString temporary;
    QFile file;
    for (int attempt = 0; attempt < 8 && !file.isOpen(); ++attempt) {
        temporary = temporaryNameFor(target);
        file.setFileName(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered) &&
            !QFileInfo::exists(temporary)) {
            setReason(reason, file.errorString());
            return false;
        }
    }
    if (!file.isOpen()) {
        setReason(reason, errorText(EEXIST));
        return false;
    }

    // Only a file whose whole contents are on the disk takes the name.
    if (!writeToFile(file, contents, reason) || !syncFileToDisk(file, reason)) {
        file.close();
        QFile::remove(temporary);
        return false;
    }
    file.close();
    if (existed)
        QFile::setPermissions(temporary, permissions);
    if (!renameOver(temporary, target, reason)) {
        QFile::remove(temporary);
        return false;
    }
    // Should the directory not be written through, the new contents are still whole and in
    // place; only a power cut before the system writes it by itself could bring back the old.
    syncDirectoryOf(target);
    return true;
}

} // namespace platform
