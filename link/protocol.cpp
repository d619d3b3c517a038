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
// holds, read as the controller reads it: by the number rule, the longest beginning of the
// field that reads as a number, so " 18", "+18", "018" and "18x" are all 18, and a field
// without a number (blanks, letters, a field the reply is too short for) is 0. Only a value
// no byte has (a fraction, below 0, above 255) would change the word: that field holds none.
std::optional<int> byteField(const QByteArray& reply, qsizetype from) {
    constexpr qsizetype kWidth = 3;
    const double value = codec::LeadingValue(QString::fromLatin1(reply.mid(from - 1, kWidth)));
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
