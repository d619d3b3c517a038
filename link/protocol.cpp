#include "link/protocol.h"

#include "codec/code_page_437.h"
#include "codec/leading_value.h"
#include "codec/utility.h"

#include <algorithm>
#include <cmath>

namespace devicelink::protocol {

namespace {

// The live-reading addresses are hexadecimal, 4 apart from 0140: 0140, 0144, ... 0174.
constexpr int kFirstLiveAddress = 0x0140;
constexpr int kLiveAddressStep = 0x04;
constexpr int kSlots = 14;

// The byte a reply's three-character field starting at character `from` (counted from 1)
// holds, read by the controller's number rule: blanks, an optional sign, digits and at most
// one decimal point, then nothing but blanks to the end of the field. The controller writes
// a byte right-justified (" 18"), zero-padded ("018") or signed ("+18"); whatever else
// stands in the field (a letter, a blank inside the number, a tail of another reply) means
// the reply is not a table line. The number must be whole and lie in 0 to 255.
std::optional<int> byteField(const QByteArray& reply, qsizetype from) {
    constexpr qsizetype kWidth = 3;
    if (reply.size() < from - 1 + kWidth)
        return std::nullopt;
    const QByteArray field = reply.mid(from - 1, kWidth);
    qsizetype i = 0;
    while (i < kWidth && field[i] == ' ')
        ++i;
    if (i < kWidth && (field[i] == '+' || field[i] == '-'))
        ++i;
    const qsizetype firstDigit = i;
    bool seenPoint = false;
    for (; i < kWidth; ++i) {
        const char c = field[i];
        if (c >= '0' && c <= '9')
            continue;
        // A point counts only after a digit: ".5" has nothing but blanks or a sign before it.
        if (c == '.' && !seenPoint && i > firstDigit) {
            seenPoint = true;
            continue;
        }
        break;
    }
    if (i == firstDigit)
        return std::nullopt;
    for (qsizetype rest = i; rest < kWidth; ++rest) {
        if (field[rest] != ' ')
            return std::nullopt;
    }
    const double value = codec::LeadingValue(QString::fromLatin1(field));
    if (value != std::floor(value) || value < 0 || value > 255)
        return std::nullopt;
    return int(value);
}

QString withoutOuterBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString identityField(const QByteArray& reply, int from, int length) {
    return withoutOuterBlanks(QString::fromLatin1(reply.mid(from - 1, length)));
}

} // namespace

QString CommandLine(const QString& body) {
    return QStringLiteral(">(") + body + QStringLiteral(")\r\n");
}

QString IdentityReadCommand() {
    return CommandLine(QStringLiteral("00F00 RX 22"));
}

QString TableReadCommand(int address) {
    return CommandLine(QStringLiteral("00TRX %1").arg(address, 3, 10, QLatin1Char('0')));
}

std::optional<QString> LiveReadCommand(int slot) {
    if (slot < 0 || slot >= kSlots)
        return std::nullopt;
    const int address = kFirstLiveAddress + kLiveAddressStep * slot;
    return CommandLine(QStringLiteral("%1A RX 11").arg(address, 4, 16, QLatin1Char('0')).toUpper());
}

QString CalibrationOnCommand() {
    return CommandLine(QStringLiteral("00T ON"));
}

QString CalibrationCommand(int slot, const QString& lowCount, const QString& rangeLo,
                           const QString& highCount, const QString& rangeHi) {
    return CommandLine(QStringLiteral("00TC ") +
                       QStringLiteral("%1").arg(slot, 2, 10, QLatin1Char('0')) + QLatin1Char(' ') +
                       lowCount + QLatin1Char(' ') + rangeLo.trimmed() + QLatin1Char(' ') +
                       highCount + QLatin1Char(' ') + rangeHi.trimmed());
}

QString CalibrationOffCommand() {
    return CommandLine(QStringLiteral("00T OFF"));
}

QString ConverterCount(const QString& voltageText) {
    const double volts = codec::LeadingValue(voltageText);
    // A text of digits could read as any size; the count is kept to four digits.
    const double clampedVolts = std::clamp(volts, -10.0, 20.0);
    const qint64 millivolts = std::llround(clampedVolts * 1000.0);
    const qint64 count = std::clamp<qint64>(millivolts * 4095 / 5000, 0, 9999);
    return QStringLiteral("%1").arg(count, 4, 10, QLatin1Char('0'));
}

IdentityFields DecodeIdentityBlock(const QByteArray& reply) {
    return {identityField(reply, 1, 8), identityField(reply, 9, 6), identityField(reply, 15, 8)};
}

std::optional<quint16> TableReplyWord(const QByteArray& reply) {
    const std::optional<int> low = byteField(reply, 6);
    const std::optional<int> high = byteField(reply, 10);
    if (!low || !high)
        return std::nullopt;
    return static_cast<quint16>(*low + 256 * *high);
}

QString LiveReadingText(const QByteArray& reply) {
    QByteArray shown = reply;
    codec::ReplaceChar(shown, '\0', ' ');
    codec::ReplaceChar(shown, char(0xDF), char(0xF8));
    return codec::CodePage437ToText(shown);
}

} // namespace devicelink::protocol
