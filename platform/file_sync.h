// Forcing written file data onto the disk.
#pragma once

class QFile;
class QString;

namespace platform {

// Flushes the file's buffers and asks the operating system to write its data to the disk,
// so that what was written survives a power cut. Returns false when either step failed.
bool syncFileToDisk(QFile& file);

// Asks the operating system to write the directory that holds `filePath` to the disk, so
// that a file just made there keeps its name after a power cut. Returns false when it could
// not (on systems that keep directories up to date by themselves it does nothing).
bool syncDirectoryOf(const QString& filePath);

} // namespace platform
