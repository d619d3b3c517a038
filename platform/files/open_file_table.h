// The table of files open by number: the routines (open, create, seek, put, get, length,
// close) that work on numbered handles, as the workbench has always written its report file.
// One table of open files for the whole program, used on the user-interface thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace platform {

// Handle value that stands for "no file".
inline constexpr qint32 kNoFile = -1;

// The routines below keep the old program's names: `CSFOpen` opens an existing file for update
// and hands out its number, `FCreate` makes a file, `FSeek`/`FPut`/`FGet`/`FLen`/`FClose` work
// on a number `CSFOpen` handed out. They return false when they failed; FError then gives the
// operating system's reason.

// Opens an existing regular file (a symbolic link to one will do) for reading and writing at
// any position, without truncating it, and stores its handle in `handle`; stores -1 and
// returns false when the file cannot be opened: also when it does not exist, is read-only, or
// is a FIFO, device or directory. Opening never waits for another program.
bool CSFOpen(const QString& fileName, qint32& handle);

// Makes the file with exactly `contents` when nothing of that name exists, and leaves it
// closed. The file appears whole or not at all, also when the program is stopped or the disk
// fills meanwhile, and an existing file is never touched. True when the file was made.
bool FCreate(const QString& fileName, const QByteArray& contents = QByteArray());

// The next read or write of the file starts at byte `offset`, counted from 0.
bool FSeek(qint32 handle, qint64 offset);

// Writes exactly the given bytes at the current position (no terminator, no line end) in one
// request to the operating system, and advances the position.
bool FPut(qint32 handle, const QByteArray& bytes);

// Reads `length` bytes from the current position into `bytes` and advances the position;
// fewer at the end of the file.
bool FGet(qint32 handle, qint64 length, QByteArray& bytes);

// The length of the file in bytes; -1 for a handle that is not open.
qint64 FLen(qint32 handle);

// Writes the file's data through to the disk and closes it; the file is closed even when the
// data could not be written through. -1 or any handle that is not open does nothing and
// gives false.
bool FClose(qint32 handle);

// The operating system's reason why the last of the routines above failed.
QString FError();

} // namespace platform
