// Reading a small settings file whole, and replacing it so that it is never found half written.
#pragma once

#include <QtGlobal>

class QByteArray;
class QString;

namespace platform {

// What became of a request to read a file.
enum class ReadWholeResult {
    Read,    // `bytes` holds the whole file
    Missing, // nothing of that name exists
    Failed,  // see the reason
};

// Reads the regular file at `path` (a symbolic link to one will do) whole into `bytes`. A
// directory, FIFO or device of that name is refused without waiting on it, and so is a file
// longer than `maxBytes`.
ReadWholeResult readWholeFile(const QString& path, qint64 maxBytes, QByteArray& bytes,
                              QString* reason = nullptr);

// Puts `contents` in place of the file at `path`, or makes the file, so that the name holds
// either the old contents or all of the new ones, also when the program is stopped or the disk
// fills meanwhile: the contents go to a temporary file in the same directory, which is written
// to the disk and then takes the name. A symbolic link keeps pointing at its file, which is the
// one replaced; the file keeps its permissions. A file marked read-only (no write permission for
// anybody) is left alone, as is anything of that name that is not a regular file. Returns
// false, with the reason in `reason`, when the old contents are still in place.
bool replaceFileWhole(const QString& path, const QByteArray& contents, QString* reason = nullptr);

} // namespace platform
