#include "codec/escaped_bytes.h"

namespace codec {

QString EscapedBytes(const QByteArray& bytes, char alsoEscaped) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            text += QLatin1String("\\r");
        else if (c == '\n')
            text += QLatin1String("\\n");
        else if (c == '\\')
            text += QLatin1String("\\\\");
        else if (byte >= 0x20 && byte < 0x7F && (alsoEscaped == '\0' || c != alsoEscaped))
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return text;
}

} // namespace codec
