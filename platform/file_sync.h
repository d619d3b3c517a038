// Forcing written file data onto the disk.
#pragma once

class QFile;

namespace platform {

// Flushes the file's buffers and asks the operating system to write its data to the disk,
// so that what was written survives a power cut. Returns false when either step failed.
bool syncFileToDisk(QFile& file);

} // namespace platform
