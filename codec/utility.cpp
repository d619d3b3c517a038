#include "codec/utility.h"

#include "platform/error_text.h"
#include "platform/file_open.h"
#include "platform/file_sync.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <memory>

namespace Module1 {

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

QString Num2Bin(qint64 value) {
    // A value outside 0 to 65535 gives the 16 bits a 16-bit register would hold: the value
    // modulo 65536, two's complement for a negative value (65536 -> all "0", -1 -> all "1").
    const auto word = static_cast<quint16>(static_cast<quint64>(value));
    QString bits(16, QLatin1Char('0'));
    for (int i = 0; i < 16; ++i) {
        if (word & (1u << (15 - i)))
            bits[i] = QLatin1Char('1');
    }
    return bits;
}

int Bin2Num(const QString& bits) {
    // Any length is read. Every character other than "1" counts as a 0 bit, and an empty text
    // gives 0. A text longer than 32 characters keeps only its last 32 bits, as a 32-bit
    // register shifted left would.
    quint32 value = 0;
    for (const QChar c : bits)
        value = (value << 1) | (c == QLatin1Char('1') ? 1u : 0u);
    return static_cast<int>(value);
}

void ReplaceChar(QByteArray& text, char oldChar, char newChar) {
    std::replace(text.begin(), text.end(), oldChar, newChar);
}

bool CSFOpen(const QString& fileName, qint32& handle) {
    auto file = std::make_unique<QFile>();
    QString reason;
    // Unbuffered: every FPut reaches the operating system at once, whole, and a failure is
    // known at the FPut that caused it.
    if (!platform::openRegularFile(*file, fileName, &reason)) {
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
    switch (platform::createFileWhole(fileName, contents, &reason)) {
    case platform::CreateResult::Created:
        return true;
    case platform::CreateResult::Exists:
        return failed(platform::errorText(EEXIST));
    case platform::CreateResult::Failed:
        break;
    }
    return failed(reason);
}

bool FSeek(qint32 handle, qint64 offset) {
    QFile* file = fileOf(handle);
    if (!file)
        return failed(platform::errorText(EBADF));
    // A negative offset names no byte of the file; the position stays where it is.
    if (offset < 0)
        return failed(platform::errorText(EINVAL));
    return file->seek(offset) || failed(file->errorString());
}

bool FPut(qint32 handle, const QByteArray& bytes) {
    QFile* file = fileOf(handle);
    if (!file)
        return failed(platform::errorText(EBADF));
    QString reason;
    return platform::writeToFile(*file, bytes, &reason) || failed(reason);
}

bool FGet(qint32 handle, qint64 length, QByteArray& bytes) {
    bytes.clear();
    QFile* file = fileOf(handle);
    if (!file)
        return failed(platform::errorText(EBADF));
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
        return failed(platform::errorText(EBADF));
    // A recorded calibration must survive a power cut right after the Accept.
    QString reason;
    const bool synced = platform::syncFileToDisk(*found->second, &reason);
    found->second->close();
    openFiles().erase(found);
    return synced || failed(reason);
}

QString FError() {
    return lastError();
}

} // namespace Module1
