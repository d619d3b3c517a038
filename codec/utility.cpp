#include "codec/utility.h"

#include "platform/file_sync.h"

#include <QFile>

#include <algorithm>
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

void CSFOpen(const QString& fileName, qint32& handle) {
    // Read-write without truncation; ExistingOnly keeps a missing file from being created here.
    auto file = std::make_unique<QFile>(fileName);
    if (!file->open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        handle = kNoFile;
        return;
    }
    handle = newHandle();
    openFiles().emplace(handle, std::move(file));
}

void FCreate(const QString& fileName) {
    // Exclusive creation: the file is made only when none exists. An existing report file that
    // could not be opened for a moment is left as it is, so no recorded calibration is lost.
    QFile file(fileName);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        file.close();
        // The new name itself must survive a power cut, not only the data written later.
        platform::syncDirectoryOf(fileName);
    }
}

void FSeek(qint32 handle, qint64 offset) {
    QFile* file = fileOf(handle);
    // A negative offset names no byte of the file; the position stays where it is.
    if (!file || offset < 0)
        return;
    file->seek(offset);
}

void FPut(qint32 handle, const QByteArray& bytes) {
    if (QFile* file = fileOf(handle))
        file->write(bytes);
}

void FClose(qint32 handle) {
    const auto found = openFiles().find(handle);
    if (found == openFiles().end())
        return;
    // A recorded calibration must survive a power cut right after the Accept.
    platform::syncFileToDisk(*found->second);
    found->second->close();
    openFiles().erase(found);
}

} // namespace Module1
