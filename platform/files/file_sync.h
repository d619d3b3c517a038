// Writing file data and forcing it onto the disk, with a seam that lets a test make either
// step fail as a full or failing disk would.
#pragma once

class QByteArray;
class QFile;
class QString;

namespace platform {

// Writes all of `bytes` at the file's current position in one request to the operating
// system, so that a program killed meanwhile leaves either none or all of them. Returns false,
// with the operating system's reason in `reason`, when not all of them were written.
bool writeToFile(QFile& file, const QByteArray& bytes, QString* reason = nullptr);

// Flushes the file's buffers and asks the operating system to write its data to the disk,
// so that what was written survives a power cut. Returns false, with the reason in `reason`,
// when either step failed.
bool syncFileToDisk(QFile& file, QString* reason = nullptr);

// Asks the operating system to write the directory that holds `filePath` to the disk, so
// that a file just made there keeps its name after a power cut. Returns false when it could
// not (on systems that keep directories up to date by themselves it does nothing).
bool syncDirectoryOf(const QString& filePath);

// The steps a test can make fail.
enum class FileStep { Write, Sync };

// From now on every `step` fails with the operating system error `osError` (an errno value
// such as ENOSPC or EIO) and leaves the file as it is; 0 lets the step work again. Tests only:
// a full or failing disk cannot be had on demand.
void setFileFailureForTests(FileStep step, int osError);

} // namespace platform
