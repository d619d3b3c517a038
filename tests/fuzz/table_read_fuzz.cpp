// A table-read reply taken apart as a channel load does it: the setup word the reply carries,
// the sensor type and unit digits read from the word's binary text (type bits 15-12, unit bits
// 11-8), and the range layout and limits the range table gives that setup code on each of the
// fourteen channels.
//
// Property: nothing crashes; a reply whose two byte fields each read, by the number rule, as a
// whole number from 0 to 255 (a field without a number reads as 0) carries the word
// low + 256 * high and any other reply carries none; the digits are the
// word's bits; and every channel gets a row whose mask and display format have the same
// length and the point in the same place, whose lower limit lies below the upper one, and
// whose limits are written in the row's own format without loss.
#include "fuzz_check.h"

#include "codec/number_text.h"
#include "codec/range_table.h"
#include "codec/utility.h"
#include "link/protocol.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace {

// The byte in the three characters starting at `from` (counted from 1), the characters past
// the end of the input left out: after blanks, an optional sign, then digits with at most one
// point; without a digit the field reads as 0. A value with a fraction other than zeros, below
// 0 or above 255 is no byte.
std::optional<int> byteField(const std::uint8_t* data, std::size_t size, std::size_t from) {
    std::string field;
    for (std::size_t at = from - 1; at < from + 2 && at < size; ++at)
        field += char(data[at]);
    std::size_t i = field.find_first_not_of(' ');
    if (i == std::string::npos)
        return 0;
    bool negative = false;
    if (field[i] == '+' || field[i] == '-')
        negative = field[i++] == '-';
    std::string whole;
    std::string fraction;
    bool point = false;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c >= '0' && c <= '9')
            (point ? fraction : whole) += c;
        else if (c == '.' && !point)
            point = true;
        else
            break;
    }
    if (whole.empty() && fraction.empty())
        return 0;
    if (fraction.find_first_not_of('0') != std::string::npos)
        return std::nullopt;
    const int value = whole.empty() ? 0 : std::stoi(whole);
    if (value > 255 || (negative && value != 0))
        return std::nullopt;
    return value;
}

// The reply the controller sends for a word: ">nnn:LLL,HHH" and a CR.
QByteArray replyFor(quint16 word) {
    return QByteArrayLiteral(">112:") + QByteArray::number(word & 0xFF).rightJustified(3, '0') +
           ',' + QByteArray::number(word >> 8).rightJustified(3, '0') + '\r';
}

bool onlyCharacters(const QString& text, QLatin1Char a, QLatin1Char b) {
    for (const QChar c : text) {
        if (c != a && c != b)
            return false;
    }
    return true;
}

// The number of digits after the point of a display format such as "000.0".
int decimalsOf(const QString& format) {
    const qsizetype point = format.indexOf(QLatin1Char('.'));
    return int(format.size() - point - 1);
}

void checkRow(int channelIndex, const QString& setupCode) {
    const std::optional<codec::RangeFormat> range = codec::RangeFormatFor(channelIndex, setupCode);
    // Every setup code of a word starts with a decimal digit, and every type has a row for
    // any unit.
    FUZZ_CHECK_SHOW(range.has_value(), fuzz::shown(setupCode));
    const auto detail = [&] {
        return QString(
            QStringLiteral("channel %1, setup code %2, mask %3, format %4")
                .arg(channelIndex)
                .arg(fuzz::shown(setupCode), fuzz::shown(range->mask), fuzz::shown(range->format)));
    };
    FUZZ_CHECK_SHOW(!range->mask.isEmpty(), detail());
    FUZZ_CHECK_SHOW(range->mask.size() == range->format.size(), detail());
    FUZZ_CHECK_SHOW(range->mask.count(QLatin1Char('.')) == 1, detail());
    FUZZ_CHECK_SHOW(range->format.count(QLatin1Char('.')) == 1, detail());
    FUZZ_CHECK_SHOW(
        range->mask.indexOf(QLatin1Char('.')) == range->format.indexOf(QLatin1Char('.')), detail());
    FUZZ_CHECK_SHOW(onlyCharacters(range->mask, QLatin1Char('#'), QLatin1Char('.')), detail());
    FUZZ_CHECK_SHOW(onlyCharacters(range->format, QLatin1Char('0'), QLatin1Char('.')), detail());
    FUZZ_CHECK_SHOW(range->rangeMin < range->rangeMax, detail());
    // The BAR rows' high limit is also the default high value.
    if (range->sensorRangeHi)
        FUZZ_CHECK_SHOW(*range->sensorRangeHi == static_cast<float>(range->rangeMax), detail());

    // Each limit is a value the range fields can show: its magnitude fills no more digit
    // positions than the format has, and no digit is lost to rounding.
    const double unit = std::pow(10.0, -decimalsOf(range->format));
    for (const double limit : {range->rangeMin, range->rangeMax}) {
        const QString text = codec::FormatWithDisplayFormat(std::fabs(limit), range->format);
        FUZZ_CHECK_SHOW(text.size() == range->format.size(),
                        detail() + QStringLiteral(", limit %1 as %2").arg(limit).arg(text));
        QString readBack = text;
        FUZZ_CHECK_SHOW(std::fabs(codec::TextToNumber(readBack) - std::fabs(limit)) < unit / 100,
                        detail() + QStringLiteral(", limit %1 as %2").arg(limit).arg(text));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray reply(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<quint16> word = devicelink::protocol::TableReplyWord(reply);

    const std::optional<int> low = byteField(data, size, 6);
    const std::optional<int> high = byteField(data, size, 10);
    if (low && high) {
        FUZZ_CHECK_SHOW(word.has_value(), fuzz::shown(reply));
        FUZZ_CHECK_SHOW(*word == *low + 256 * *high, fuzz::shown(reply));
    } else {
        FUZZ_CHECK_SHOW(!word.has_value(), fuzz::shown(reply));
    }

    // A reply without a word is shown as the word 0, as the channel load does.
    const quint16 setupWord = word.value_or(0);
    const QString bits = codec::Num2Bin(setupWord);
    FUZZ_CHECK(bits.size() == 16);
    FUZZ_CHECK(onlyCharacters(bits, QLatin1Char('0'), QLatin1Char('1')));
    for (int bit = 0; bit < 16; ++bit)
        FUZZ_CHECK((bits[15 - bit] == QLatin1Char('1')) == (((setupWord >> bit) & 1) != 0));
    FUZZ_CHECK(codec::Bin2Num(bits) == setupWord);

    const int type = codec::Bin2Num(bits.mid(0, 4));
    const int unit = codec::Bin2Num(bits.mid(4, 4));
    FUZZ_CHECK(type == setupWord >> 12);
    FUZZ_CHECK(unit == ((setupWord >> 8) & 0xF));

    // The setup code as the channel load keeps it: the type digits, then the unit digits.
    const QString setupCode = QString::number(type) + QString::number(unit);
    for (int channelIndex = 16; channelIndex <= 29; ++channelIndex)
        checkRow(channelIndex, setupCode);
    // Only the fourteen analog channels have a range row.
    FUZZ_CHECK(!codec::RangeFormatFor(15, setupCode).has_value());
    FUZZ_CHECK(!codec::RangeFormatFor(30, setupCode).has_value());

    // The reply the controller would send for this word gives the word back, with its bytes
    // zero-padded or right-justified.
    FUZZ_CHECK(devicelink::protocol::TableReplyWord(replyFor(setupWord)) == setupWord);
    QByteArray justified = replyFor(setupWord);
    justified.replace(5, 3, QByteArray::number(setupWord & 0xFF).rightJustified(3, ' '));
    justified.replace(9, 3, QByteArray::number(setupWord >> 8).rightJustified(3, ' '));
    FUZZ_CHECK(devicelink::protocol::TableReplyWord(justified) == setupWord);
    return 0;
}
