#include "codec/range_table.h"

#include "codec/number_text.h"

#include <array>
#include <cmath>

namespace codec {

namespace {

// Unit code of the "any other" row of a type: it matches every unit not listed above it.
constexpr char kAnyUnit = '*';

// One row of the range limit table.
struct RangeRow {
    char type;          // sensor type code
    char unit;          // unit code, or kAnyUnit
    const char* mask;   // entry mask before any sign prefix
    const char* format; // display format before any sign prefix
    double rangeMin;
    double rangeMax;
    bool setsSensorRangeHi; // the BAR rows: the high limit is also the default high value
};

// The range limit table, tried top to bottom. For the pressure types 0 to 6 the limits are
// 125 % and -25 % of the full scale converted into the unit, rounded to the format's last digit
// and capped at 9999 where four digits would not hold them; the table, not that rule, is what
// counts (type 5 in BAR keeps 172).
// Types: 0 "0 - 50", 1 "0 - 100", 2 "0 - 300", 3 "0 - 500", 4 "0 - 1000", 5 "0 - 2000",
// 6 "0 - 5000", 7 "NONE", 8 "Deg1 Type", 9 "Deg2 Type".
// Units: 6 "BAR", 5 "Hg.", 3 "KPa", 1 "Celsius".
constexpr std::array<RangeRow, 33> kRangeTable{{
    {'0', '6', "#.###", "0.000", -0.862, 4.309, true},
    {'0', '5', "###.#", "000.0", -25.5, 127.3, false},
    {'0', '3', "###.#", "000.0", -86.2, 430.9, false},
    {'0', kAnyUnit, "###.#", "000.0", -12.5, 62.5, false},
    {'1', '6', "#.###", "0.000", -1.724, 8.618, true},
    {'1', '5', "###.#", "000.0", -50.9, 254.5, false},
    {'1', '3', "###.#", "000.0", -172.4, 861.8, false},
    {'1', kAnyUnit, "###.#", "000.0", -25, 125, false},
    {'2', '6', "##.##", "00.00", -5.17, 25.86, true},
    {'2', '5', "###.#", "000.0", -152.7, 763.5, false},
    {'2', '3', "####.", "0000.", -517, 2586, false},
    {'2', kAnyUnit, "###.#", "000.0", -75, 375, false},
    {'3', '6', "##.##", "00.00", -8.62, 43.09, true},
    {'3', '5', "####.", "0000.", -255, 1273, false},
    {'3', '3', "####.", "0000.", -862, 4309, false},
    {'3', kAnyUnit, "###.#", "000.0", -125, 625, false},
    {'4', '6', "##.##", "00.00", -17.24, 86.18, true},
    {'4', '5', "####.", "0000.", -509, 2545, false},
    {'4', '3', "####.", "0000.", -1724, 8618, false},
    {'4', kAnyUnit, "####.", "0000.", -250, 1250, false},
    {'5', '6', "###.#", "000.0", -34.5, 172, true},
    {'5', '5', "####.", "0000.", -1018, 5090, false},
    {'5', '3', "####.", "0000.", -3447, 9999, false},
    {'5', kAnyUnit, "####.", "0000.", -500, 2500, false},
    {'6', '6', "###.#", "000.0", -86.2, 430.9, true},
    {'6', '5', "####.", "0000.", -2545, 9999, false},
    {'6', '3', "####.", "0000.", -8618, 9999, false},
    {'6', kAnyUnit, "####.", "0000.", -1250, 6250, false},
    {'7', kAnyUnit, "###.#", "000.0", -25, 125, false},
    {'8', '1', "####.", "0000.", -29, 160, false},
    {'8', kAnyUnit, "####.", "0000.", -20, 320, false},
    {'9', '1', "####.", "0000.", -97, 357, false},
    {'9', kAnyUnit, "####.", "0000.", -143, 675, false},
}};

// First row of the type whose unit matches, else the type's "any other" row. Every type code
// 0 to 9 ends in an "any other" row, so a decimal digit always finds one.
const RangeRow* findRow(QChar type, QChar unit) {
    for (const RangeRow& row : kRangeTable) {
        if (type != QLatin1Char(row.type))
            continue;
        if (row.unit == kAnyUnit || unit == QLatin1Char(row.unit))
            return &row;
    }
    return nullptr;
}

} // namespace

std::optional<RangeFormat> RangeFormatFor(int channelIndex, const QString& setupCode) {
    if (channelIndex < 16 || channelIndex > 29 || setupCode.isEmpty())
        return std::nullopt;
    const RangeRow* row = findRow(setupCode.front(), setupCode.back());
    if (!row)
        return std::nullopt;
    RangeFormat range;
    range.mask = QLatin1String(row->mask);
    range.format = QLatin1String(row->format);
    range.rangeMin = row->rangeMin;
    range.rangeMax = row->rangeMax;
    if (row->setsSensorRangeHi)
        range.sensorRangeHi = static_cast<float>(row->rangeMax);
    return range;
}

FittedRangeText FitToRangeFormat(const RangeFormat& range, const QString& valueText) {
    FittedRangeText fitted{range.mask, range.format, valueText};
    if (valueText.isEmpty())
        return fitted;
    // A value too long for its fixed text comes in the overflow form, "%" and the plain text
    // ("%-1000.5", "%5000.5"): it is signed like any other value (positive when no "-" follows
    // the "%") and always rewritten, since it is longer than the field.
    const bool overflow = valueText.front() == QLatin1Char('%');
    const QChar sign = !overflow                                   ? valueText.front()
                       : valueText.startsWith(QLatin1String("%-")) ? QLatin1Char('-')
                                                                   : QLatin1Char('+');
    // The sign travels in the first position: "&" lets the field take it, and the format
    // writes it literally.
    if (sign == QLatin1Char('+') || sign == QLatin1Char('-')) {
        fitted.mask.prepend(QLatin1Char('&'));
        fitted.format.prepend(sign);
    }
    // A text whose point already stands where the mask has it is kept exactly as it is.
    if (!overflow && valueText.indexOf(QLatin1Char('.')) == fitted.mask.indexOf(QLatin1Char('.')))
        return fitted;

    // TextToNumber removes the surrounding blanks itself; the value is kept in single
    // precision, as the range values are.
    QString text = valueText;
    const float value = RoundToSingle(TextToNumber(text));
    // The magnitude only: the sign is the format's own first character.
    fitted.text = FormatSingleWithDisplayFormat(std::fabs(value), fitted.format);
    return fitted;
}

} // namespace codec
