// Bytes written as one readable line of text, for traces and logs.
#pragma once

#include <QByteArray>
#include <QString>

namespace codec {

// Each byte of printable ASCII as it is, a carriage return as \r, a line feed as \n, a
// backslash as \\, and every other byte as \xHH (two lower-case hexadecimal digits). The byte
// `alsoEscaped`, when given, is written as \xHH too (a separator the text puts between
// pieces). Nothing is interpreted, and the bytes can be read back from the text.
QString EscapedBytes(const QByteArray& bytes, char alsoEscaped = '\0');

} // namespace codec
