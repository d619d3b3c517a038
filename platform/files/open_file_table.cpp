#include "platform/files/open_file_table.h"

#include "platform/files/file_open.h"
#include "platform/files/file_sync.h"
#include "platform/system/error_text.h"

#include <QFile>

#include <cerrno>
#include <limits>
#include <map>
#include <memory>

namespace platform {

namespace {

// The files opened by CSFOpen, by handle. The report file is opened and closed within one
// Accept on the user-interface thread, so the table needs no locking.
std::map<qint32, std::unique_ptr<QFile>>& openFiles() {
    static std::map<qint32, std::unique_ptr<QFile>> files;
    return files;
}

// Handles count up from 1 and skip any still in use; -1 is never handed out.
qint32 newHandle() {
    static qint32 next = 1;
    for (;;) {
        const qint32 handle = next;
        next = next == std::numeric_limits<qint32>::max() ? 1 : next + 1;
        if (openFiles().count(handle) == 0)
            return handle;
    }
}

QString& lastError() {
    static QString reason;
    return reason;
}

// Notes the reason of a routine that failed; always false, for `return failed(...)`.
bool failed(const QString& reason) {
    lastError() = reason;
    return false;
}

QFile* fileOf(qint32 handle) {
    const auto found = openFiles().find(handle);
    return found == openFiles().end() ? nullptr : found->second.get();
}

} // namespace

bool CSFOpen(const QString& fileName, qint32& handle) {
    auto file = std::make_unique<QFile>();
    QString reason;
    // Unbuffered: every FPut reaches the operating system at once, whole, and a failure is
    // known at the FPut that caused it.
    if (!openRegularFile(*file, fileName, &reason)) {
        handle = kNoFile;
        return failed(reason);
    }
    handle = newHandle();
    openFiles().emplace(handle, std::move(file));
    return true;
}

bool FCreate(const QString& fileName, const QByteArray& contents) {
    // Made only when nothing of that name exists: an existing report file that could not be
    // opened for a moment is left as it is, so no recorded calibration is lost.
    QString reason;
    switch (createFileWhole(fileName, contents, &reason)) {
    case CreateResult::Created:
        return true;
    case CreateResult::Exists:
        return failed(errorText(EEXIST));
    case CreateResult::Failed:
        break;
    }
    return failed(reason);
}

bool FSeek(qint32 handle, qint64 offset) {
    QFile* file = fileOf(handle);
    if (!file)
        return failed(errorText(EBADF));
    // A negative offset names no byte of the file; the position stays where it is.
    if (offset < 0)
        return failed(errorText(EINVAL));
    return file->seek(offset) || failed(file->errorString());
}

bool FPut(qint32 handle, const QByteArray& bytes) {
    QFile* file = fileOf(handle);
    if (!file)
        return failed(errorText(EBADF));
    QString reason;
    return writeToFile(*file, bytes, &reason) || failed(reason);
}

bool FGet(qint32 handle, qint64 length, QByteArray& bytes) {
    bytes.clear();
    QFile* file = fileOf(handle);
    if (!file)
        return failed(errorText(EBADF));
    bytes = file->read(length);
    if (file->error() != QFileDevice::NoError)
        return failed(file->errorString());
    return true;
}

qint64 FLen(qint32 handle) {
    QFile* file = fileOf(handle);
    return file ? file->size() : -1;
}

bool FClose(qint32 handle) {
    const auto found = openFiles().find(handle);
    if (found == openFiles().end())
        return failed(errorText(EBADF));
    // A recorded calibration must survive a power cut right after the Accept.
    QString reason;
    const bool synced = syncFileToDisk(*found->second, &reason);
    found->second->close();
    openFiles().erase(found);
    return synced || failed(reason);
}

QString FError() {
    return lastError();
}

} // namespace platform
