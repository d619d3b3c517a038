// Entry mask, display format and limits of the range fields, by sensor type and unit.
#pragma once

#include <QString>

#include <optional>

namespace Module1 {

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

// Sets the entry mask, the display format and the accepted limits of the range fields for the
// channel on display, and brings a range value text into that channel's display form.
//
// The channel is `vChannelIndex`; its setup code is column 1 of row `vChannelIndex` - 16 of
// `sChannelSetup`, the first character being the sensor type, the last one the unit. The
// matching row of the range limit table gives `vMask`, `vFormat`, `vRangeMin` and `vRangeMax`;
// the BAR rows of the pressure types also set `sngSensorRangeHi` to their high limit.
//
// When `sValue` is not empty, its sign character ("+" or "-") is put in front of the mask (as
// "&") and of the format, and the text is rewritten with that format unless its point already
// stands where the mask has it: "+0050." becomes "+050.0" under "000.0", "+0000." becomes
// "+0.000" under "0.000". An empty `sValue` stays empty.
void SetRangeFormat(QString& vMask, QString& vFormat, QString& sValue);

} // namespace Module1
