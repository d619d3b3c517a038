#include "codec/utility.h"

#include <algorithm>

namespace codec {

QString Num2Bin(qint64 value) {
    // A value outside 0 to 65535 gives the 16 bits a 16-bit register would hold: the value
    // modulo 65536, two's complement for a negative value (65536 -> all "0", -1 -> all "1").
    const auto word = static_cast<quint16>(static_cast<quint64>(value));
    QString bits(16, QLatin1Char('0'));
    for (int i = 0; i < 16; ++i) {
        if (word & (1u << (15 - i)))
            bits[i] = QLatin1Char('1');
    }
    return bits;
}

int Bin2Num(const QString& bits) {
    // Any length is read. Every character other than "1" counts as a 0 bit, and an empty text
    // gives 0. A text longer than 32 characters keeps only its last 32 bits, as a 32-bit
    // register shifted left would.
    quint32 value = 0;
    for (const QChar c : bits)
        value = (value << 1) | (c == QLatin1Char('1') ? 1u : 0u);
    return static_cast<int>(value);
}

void ReplaceChar(QByteArray& text, char oldChar, char newChar) {
    std::replace(text.begin(), text.end(), oldChar, newChar);
}

} // namespace codec
