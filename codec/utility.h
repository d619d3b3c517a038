// Binary texts of the setup word and byte replacement in a reply.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace codec {

// The 16 bits of a setup word as a text of exactly 16 "0"/"1" characters, most significant bit
// first: 1 -> "0000000000000001", 4608 -> "0001001000000000".
QString Num2Bin(qint64 value);

// The value of a text of "0"/"1" characters, first character most significant:
// "0100" -> 4, "1111" -> 15.
int Bin2Num(const QString& bits);

// Replaces every occurrence of `oldChar` by `newChar` over the whole length of `text`, NUL bytes
// included; the length never changes.
void ReplaceChar(QByteArray& text, char oldChar, char newChar);

} // namespace codec
