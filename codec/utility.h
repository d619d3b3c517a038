// Small helpers of the workbench: binary texts of the setup word, byte replacement in a reply,
// and the report file routines (open, create, seek, put, close) that work on numbered handles.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace Module1 {

// Handle value that stands for "no file".
inline constexpr qint32 kNoFile = -1;

// The 16 bits of a setup word as a text of exactly 16 "0"/"1" characters, most significant bit
// first: 1 -> "0000000000000001", 4608 -> "0001001000000000".
QString Num2Bin(qint64 value);

// The value of a text of "0"/"1" characters, first character most significant:
// "0100" -> 4, "1111" -> 15.
int Bin2Num(const QString& bits);

// Replaces every occurrence of `oldChar` by `newChar` over the whole length of `text`, NUL bytes
// included; the length never changes.
void ReplaceChar(QByteArray& text, char oldChar, char newChar);

// Opens an existing file for writing at any position, without truncating it, and stores its
// handle in `handle`; stores -1 when the file cannot be opened (also when it does not exist).
void CSFOpen(const QString& fileName, qint32& handle);

// Creates the file, empty, when no file of that name exists, and leaves it closed. An existing
// file is never touched.
void FCreate(const QString& fileName);

// The next write to the file starts at byte `offset`, counted from 0.
void FSeek(qint32 handle, qint64 offset);

// Writes exactly the given bytes at the current position (no terminator, no line end) and
// advances the position.
void FPut(qint32 handle, const QByteArray& bytes);

// Writes the file's data through to the disk and closes it. -1 or any handle that is not open
// does nothing.
void FClose(qint32 handle);

} // namespace Module1
