// Entry mask, display format and limits of the range fields, by sensor type and unit.
#pragma once

#include <QString>

#include <optional>

namespace codec {

// The range fields' layout and limits for one sensor type and unit: a row of the range limit
// table.
struct RangeFormat {
    QString mask;   // entry mask before any sign position, e.g. "###.#"
    QString format; // display format before any sign, e.g. "000.0"
    double rangeMin = 0;
    double rangeMax = 0;
    // The BAR rows of the pressure types: the high limit is also the default high value.
    std::optional<float> sensorRangeHi;
};

// The row for the channel with index `channelIndex` (16 to 29) and setup code `setupCode`
// (sensor type digit first, unit digit last): the type's row for that unit, else its "any
// other unit" row. None for any other channel index, an empty code or a type that is not a
// decimal digit.
std::optional<RangeFormat> RangeFormatFor(int channelIndex, const QString& setupCode);

// A value text brought into a range format. When the text starts with a sign, the sign
// position goes in front of the mask ("&") and the sign in front of the format; the text is
// rewritten in that format unless its point already stands where the mask has it. A text in
// the overflow form of NumberToFixedText ("%" and the digits) is signed the same way (its
// "-", else "+") and always rewritten. An empty text stays empty and leaves mask and format as
// the row has them.
struct FittedRangeText {
    QString mask;
    QString format;
    QString text;
};
FittedRangeText FitToRangeFormat(const RangeFormat& range, const QString& valueText);

} // namespace codec
