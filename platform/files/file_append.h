// Adding lines to the end of a log file that is never rewritten.
#pragma once

class QByteArray;
class QString;

namespace platform {

// Adds `line` at the end of the regular file at `path` in one request to the operating
// system, with the file opened for appending, so that no byte already there is touched and
// lines written by two programs at once never mix; then writes the file through to the disk.
// A missing file is first made holding `firstLine` alone, whole or not at all; a file found
// empty gets `firstLine` in front of the line. A FIFO, device or directory of that name is
// refused, and opening never waits for another program. Returns false, with the operating
// system's reason in `reason`, when the line was not added and written through.
bool appendLineToFile(const QString& path, const QByteArray& line, const QByteArray& firstLine,
                      QString* reason = nullptr);

} // namespace platform
