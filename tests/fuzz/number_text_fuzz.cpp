// The number texts of the range and voltage fields.
//
// Property, for a value within the limits of a row of the range table (or of the voltage
// fields, 0 to 5 V under "0.000"): the signed fixed text of the value brought into the row's
// format fits the row's mask with the sign position in front ("&" then the mask: a sign, then
// digits where the mask has "#" and the point where it has "."), and reads back, by both
// readers, within one unit of the format's last digit. Voltage texts fit "#.###" the same way.
//
// For any text: the lenient reader and the leading-number reader give the number a plain
// decimal reading of the characters they keep gives, and the signed fixed text of any finite
// single-precision value has the width asked for (or is the overflow form) and reads back as
// the value to seven significant digits.
#include "fuzz_check.h"

#include "codec/leading_value.h"
#include "codec/number_text.h"
#include "codec/range_table.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The distinct rows of the range table, found through the setup codes of every type and unit
// digit, and the voltage fields' layout.
std::vector<codec::RangeFormat> allRows() {
    std::vector<codec::RangeFormat> rows;
    for (int type = 0; type <= 9; ++type) {
        for (int unit = 0; unit <= 9; ++unit) {
            const auto row =
                codec::RangeFormatFor(16, QString::number(type) + QString::number(unit));
            if (!row)
                continue;
            bool known = false;
            for (const auto& seen : rows) {
                known = known || (seen.mask == row->mask && seen.format == row->format &&
                                  seen.rangeMin == row->rangeMin && seen.rangeMax == row->rangeMax);
            }
            if (!known)
                rows.push_back(*row);
        }
    }
    codec::RangeFormat volts;
    volts.mask = QStringLiteral("#.###");
    volts.format = QStringLiteral("0.000");
    volts.rangeMin = 0.0;
    volts.rangeMax = 5.0;
    rows.push_back(volts);
    return rows;
}

const std::vector<codec::RangeFormat>& rows() {
    static const std::vector<codec::RangeFormat> table = allRows();
    return table;
}

int decimalsOf(const QString& format) {
    return int(format.size() - format.indexOf(QLatin1Char('.')) - 1);
}

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Whether `text` fills the mask position by position: a digit at "#", the literal elsewhere;
// "&" (the sign position) takes "+" or "-" here.
bool fillsMask(const QString& text, const QString& mask) {
    if (text.size() != mask.size())
        return false;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar m = mask[i];
        if (m == QLatin1Char('#')) {
            if (!isDigit(text[i]))
                return false;
        } else if (m == QLatin1Char('&')) {
            if (text[i] != QLatin1Char('+') && text[i] != QLatin1Char('-'))
                return false;
        } else if (text[i] != m) {
            return false;
        }
    }
    return true;
}

// A C-locale decimal reading of a text of digits and at most one point (and a leading minus).
double plainReading(const std::string& number) {
    return std::strtod(number.c_str(), nullptr);
}

// Two readings agree when equal; a value too small for a double's normal range may also
// become 0.
bool sameReading(double got, double expected) {
    if (got == expected)
        return true;
    return std::fabs(expected) < DBL_MIN && got == 0.0;
}

// A value within a row's limits: anywhere between them, a value the fields can hold (a whole
// number of the format's last digit) or one with a digit more, or a limit itself.
float valueWithin(FuzzedDataProvider& input, const codec::RangeFormat& row) {
    const double unit = std::pow(10.0, -decimalsOf(row.format));
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return codec::RoundToSingle(
            input.ConsumeFloatingPointInRange<double>(row.rangeMin, row.rangeMax));
    case 1:
    case 2: {
        const double step = unit / (input.ConsumeBool() ? 1.0 : 10.0);
        const auto lowest = std::llround(std::ceil(row.rangeMin / step));
        const auto highest = std::llround(std::floor(row.rangeMax / step));
        return codec::RoundToSingle(double(input.ConsumeIntegralInRange(lowest, highest)) * step);
    }
    default:
        return codec::RoundToSingle(input.ConsumeBool() ? row.rangeMin : row.rangeMax);
    }
}

void checkRowRoundTrip(FuzzedDataProvider& input) {
    const auto& table = rows();
    const codec::RangeFormat& row =
        table[input.ConsumeIntegralInRange<std::size_t>(0, table.size() - 1)];
    const float value = valueWithin(input, row);
    // Single precision may put a limit a hair outside the table's decimal limit.
    if (double(value) < row.rangeMin || double(value) > row.rangeMax)
        return;

    const QString fixed = codec::NumberToFixedText(value, 6);
    const codec::FittedRangeText fitted = codec::FitToRangeFormat(row, fixed);
    const QString signedMask = QLatin1Char('&') + row.mask;
    const auto detail = [&] {
        return QString(QStringLiteral("value %1 in row %2/%3 [%4, %5]: fixed %6, fitted %7 "
                                      "under mask %8 and format %9")
                           .arg(double(value), 0, 'g', 9)
                           .arg(row.mask, row.format)
                           .arg(row.rangeMin)
                           .arg(row.rangeMax)
                           .arg(fuzz::shown(fixed), fuzz::shown(fitted.text),
                                fuzz::shown(fitted.mask), fuzz::shown(fitted.format)));
    };
    FUZZ_CHECK_SHOW(fitted.mask == signedMask, detail());
    FUZZ_CHECK_SHOW(fillsMask(fitted.text, signedMask), detail());

    const double unit = std::pow(10.0, -decimalsOf(row.format));
    QString lenient = fitted.text;
    const double read = codec::TextToNumber(lenient);
    FUZZ_CHECK_SHOW(std::fabs(read - double(value)) <= unit * (1 + 1e-9), detail());
    FUZZ_CHECK_SHOW(codec::LeadingValue(fitted.text) == read, detail());

    // The voltage fields write their value straight in the display format.
    if (row.format == QLatin1String("0.000") && value >= 0.0f && value <= 5.0f) {
        const QString volts = codec::FormatWithDisplayFormat(double(value), row.format);
        FUZZ_CHECK_SHOW(fillsMask(volts, QStringLiteral("#.###")),
                        detail() + QLatin1String(", volts ") + volts);
        FUZZ_CHECK_SHOW(std::fabs(codec::LeadingValue(volts) - double(value)) <= unit,
                        detail() + QLatin1String(", volts ") + volts);
    }
}

// The lenient reader, worked out here: a minus before the first digit, the first point and the
// digits are kept, everything else skipped; nothing to read counts as 0.
void checkLenientReading(const QString& original) {
    QString text = original;
    const double value = codec::TextToNumber(text);

    QString trimmed = original;
    while (!trimmed.isEmpty() && trimmed.front() == QLatin1Char(' '))
        trimmed.remove(0, 1);
    while (!trimmed.isEmpty() && trimmed.back() == QLatin1Char(' '))
        trimmed.chop(1);
    const QString expectedText = trimmed == QLatin1String(".") ? QStringLiteral("0.") : trimmed;
    FUZZ_CHECK_SHOW(text == expectedText,
                    fuzz::shown(original) + QLatin1String(" left as ") + fuzz::shown(text));

    bool negative = false;
    bool seenDigit = false;
    bool seenPoint = false;
    std::string number;
    for (const QChar c : original) {
        if (c == QLatin1Char('-') && !seenDigit) {
            negative = true;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            number += '.';
            seenPoint = true;
        } else if (isDigit(c)) {
            number += char(c.unicode());
            seenDigit = true;
        }
    }
    const double expected = seenDigit ? plainReading(number) : 0.0;
    const double signedExpected = negative ? -expected : expected;
    FUZZ_CHECK_SHOW(sameReading(value, signedExpected),
                    fuzz::shown(original) + QStringLiteral(" read %1, expected %2")
                                                .arg(value, 0, 'g', 17)
                                                .arg(signedExpected, 0, 'g', 17));
}

// The leading-number reader, worked out here: blanks, a sign, then digits with at most one
// point; 0 when no digit comes.
void checkLeadingValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    std::string number;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        if (text[i] == QLatin1Char('-'))
            number += '-';
        ++i;
    }
    bool seenPoint = false;
    bool seenDigit = false;
    for (; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            number += char(text[i].unicode());
            seenDigit = true;
        } else if (text[i] == QLatin1Char('.') && !seenPoint) {
            number += '.';
            seenPoint = true;
        } else {
            break;
        }
    }
    const double value = codec::LeadingValue(text);
    const double expected = seenDigit ? plainReading(number) : 0.0;
    // A number beyond the range of a double is not a field's text; its reading is not stated.
    if (std::isinf(expected))
        return;
    FUZZ_CHECK_SHOW(sameReading(value, expected),
                    fuzz::shown(text) + QStringLiteral(" read %1, expected %2")
                                            .arg(value, 0, 'g', 17)
                                            .arg(expected, 0, 'g', 17));
}

// The signed fixed text of any single-precision value.
void checkFixedText(float value, qint16 width) {
    const QString text = codec::NumberToFixedText(value, width);
    const auto detail = [&] {
        return QString(QStringLiteral("%1 at width %2: %3")
                           .arg(double(value), 0, 'g', 9)
                           .arg(width)
                           .arg(fuzz::shown(text)));
    };
    if (!std::isfinite(value)) {
        FUZZ_CHECK_SHOW(text.startsWith(QLatin1Char('%')), detail());
        return;
    }
    QString body = text;
    if (text.startsWith(QLatin1Char('%'))) {
        body = text.mid(1);
        FUZZ_CHECK_SHOW(body.size() >= width, detail());
        FUZZ_CHECK_SHOW(body.startsWith(QLatin1Char('-')) == (value < 0.0f), detail());
    } else {
        FUZZ_CHECK_SHOW(text.size() == width, detail());
        FUZZ_CHECK_SHOW(text.front() == (value < 0.0f ? QLatin1Char('-') : QLatin1Char('+')),
                        detail());
    }
    FUZZ_CHECK_SHOW(body.count(QLatin1Char('.')) == 1, detail());
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        FUZZ_CHECK_SHOW(isDigit(c) || c == QLatin1Char('.') ||
                            (i == 0 && (c == QLatin1Char('+') || c == QLatin1Char('-'))),
                        detail());
    }
    // The shortest text that reads back as the same single-precision value, or the value
    // rounded to seven significant digits when that text would need more.
    QString readBack = text;
    const double read = codec::TextToNumber(readBack);
    FUZZ_CHECK_SHOW(codec::RoundToSingle(read) == value ||
                        std::fabs(read - double(value)) <= std::fabs(double(value)) * 5.000001e-7,
                    detail());
}

// A display format written to: the text has the format's layout and reads back within half a
// unit of its last digit. A sign in front of the format is written as it stands.
void checkDisplayFormat(double value, const QString& format) {
    const QString text = codec::FormatWithDisplayFormat(value, format);
    const double expected = format.startsWith(QLatin1Char('-')) ? -value : value;
    const auto detail = [&] {
        return QString(QStringLiteral("%1 under %2: %3")
                           .arg(value, 0, 'g', 17)
                           .arg(format, fuzz::shown(text)));
    };
    const int decimals = decimalsOf(format);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    FUZZ_CHECK_SHOW(point >= 0 && text.size() - point - 1 == decimals, detail());
    FUZZ_CHECK_SHOW(point >= format.indexOf(QLatin1Char('.')), detail());
    QString readBack = text;
    const double read = codec::TextToNumber(readBack);
    const double unit = std::pow(10.0, -decimals);
    FUZZ_CHECK_SHOW(std::fabs(read - expected) <= unit / 2 * (1 + 1e-9) + std::fabs(value) * 1e-15,
                    detail());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0:
        checkRowRoundTrip(input);
        break;
    case 1: {
        const std::string bytes = input.ConsumeRemainingBytesAsString();
        const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        checkLenientReading(text);
        checkLeadingValue(text);
        break;
    }
    case 2: {
        const auto width = input.ConsumeIntegralInRange<qint16>(-2, 40);
        checkFixedText(std::bit_cast<float>(input.ConsumeIntegral<std::uint32_t>()), width);
        break;
    }
    default: {
        static const QList<QString> formats = {QStringLiteral("0.000"),  QStringLiteral("000.0"),
                                               QStringLiteral("00.00"),  QStringLiteral("0000."),
                                               QStringLiteral("+000.0"), QStringLiteral("-0.000")};
        const QString& format =
            formats[input.ConsumeIntegralInRange<qsizetype>(0, formats.size() - 1)];
        const double value = input.ConsumeFloatingPointInRange<double>(-1e7, 1e7);
        // A signed format is only ever given a magnitude: its sign is the format's own.
        checkDisplayFormat(format.front().isDigit() ? value : std::fabs(value), format);
        break;
    }
    }
    return 0;
}
