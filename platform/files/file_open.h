// Opening an existing data file for update, and making a new one whole.
#pragma once

class QByteArray;
class QFile;
class QString;

namespace platform {

// Opens the regular file at `path` (a symbolic link to one will do) for reading and writing
// at any position, unbuffered and without truncating it. A FIFO, device or directory of that
// name is not opened, and opening one never waits for another program. A file whose every
// write permission is taken away counts as read-only for every user, administrators
// included, as the read-only mark does on Windows. Returns false, with the reason in
// `reason`, when the file was not opened.
bool openRegularFile(QFile& file, const QString& path, QString* reason = nullptr);

// True when a regular file (or a symbolic link to one) stands at `path`, whether or not it
// could be opened.
bool isRegularFile(const QString& path);

// What became of a request to make a file.
enum class CreateResult {
    Created, // the file is in place with the whole contents and written to the disk
    Exists,  // something of that name was there already and was left as it is
    Failed,  // nothing was made; see the reason
};

// Makes the file at `path` holding exactly `contents`, so that it appears whole or not at
// all: the contents go to a temporary file in the same directory, which is written to the
// disk and then given the name only if nothing of that name exists by then. An existing file
// is never replaced, and no temporary file is left behind. The directory is written to the
// disk too, so that the new name survives a power cut.
CreateResult createFileWhole(const QString& path, const QByteArray& contents,
                             QString* reason = nullptr);

} // namespace platform
