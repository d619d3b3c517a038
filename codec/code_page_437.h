// The controller's 8-bit character set.
#pragma once

#include <QByteArray>
#include <QString>

namespace codec {

// The bytes as the controller's display font shows them (code page 437): one character per
// byte, so the text keeps the bytes' length; 0xF8 is the degree sign.
QString CodePage437ToText(const QByteArray& bytes);

} // namespace codec
