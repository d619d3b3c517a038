// Reading back what a PDF says of itself in its document information: who made it.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace records {

// The creator named in the document information dictionary (the trailer's /Info) of the PDF
// whose bytes are `pdf`, decoded from its string (literal or hexadecimal; UTF-16 with its
// byte order mark, UTF-8 with its mark, or else one byte a character). None when the bytes do
// not begin with "%PDF-", have no trailer naming the dictionary, or the dictionary holds no
// /Creator string.
std::optional<QString> pdfCreator(const QByteArray& pdf);

} // namespace records
