#include "codec/setpoint_rules.h"

#include "codec/leading_value.h"
#include "codec/message_number.h"
#include "codec/number_text.h"

namespace codec {

namespace {

// The value the checks look at: the number the text begins with, 0 when it does not begin
// with one (a field of prompts, or a sign position holding something else).
double checkedValue(const QString& text) {
    return LeadingValue(text);
}

// The value a range field stores: all its digits, whatever stands in the sign position.
double storedValue(const QString& text) {
    QString copy = text;
    return TextToNumber(copy);
}

// The value a range check looks at. It reads the number the text begins with; but when the
// sign position holds something other than a sign (a letter, a prompt), that reads as 0
// while the field keeps all its digits, and a value beyond the limits would pass ("Z898_."
// kept as 898 under limits of -20 to 320). So such a text is checked by the value it keeps.
double rangeCheckedValue(const QString& text) {
    const double checked = checkedValue(text);
    const double stored = storedValue(text);
    return checked == stored ? checked : stored;
}

} // namespace

QString VoltageText(double volts) {
    return FormatWithDisplayFormat(volts, QStringLiteral("0.000"));
}

VoltageCorrection CorrectLowVoltage(const QString& fieldText) {
    VoltageCorrection c;
    const double volts = checkedValue(fieldText);
    c.outOfRange = volts < 0.0 || volts > 4.9;
    if (c.outOfRange)
        c.rangedText = volts < 0.0 ? QStringLiteral("0.000") : QStringLiteral("4.900");
    else
        c.rangedText = VoltageText(volts);
    // Not compared with the high voltage here; that happens when the high voltage is left.
    c.finalText = c.rangedText;
    return c;
}

VoltageCorrection CorrectHighVoltage(const QString& fieldText, const QString& lowVoltageText) {
    VoltageCorrection c;
    const double volts = checkedValue(fieldText);
    c.outOfRange = volts < 0.1 || volts > 5.0;
    if (c.outOfRange)
        c.rangedText = volts < 0.1 ? QStringLiteral("0.100") : QStringLiteral("5.000");
    else
        c.rangedText = VoltageText(volts);
    c.finalText = c.rangedText;
    // Equal voltages are accepted; the low voltage is compared with the high one as it stands
    // after the range check.
    const double lowVolts = checkedValue(lowVoltageText);
    if (lowVolts > checkedValue(c.rangedText)) {
        c.belowLowVoltage = true;
        c.finalText = VoltageText(lowVolts + 0.1);
    }
    return c;
}

RangeCorrection CorrectRangeLow(const QString& lowText, double rangeMin, double rangeMax) {
    RangeCorrection c;
    const double low = rangeCheckedValue(lowText);
    c.outOfLimits = low < rangeMin || low > rangeMax - 1;
    if (!c.outOfLimits)
        c.value = RoundToSingle(storedValue(lowText));
    else if (low < rangeMin)
        c.value = RoundToSingle(rangeMin);
    else
        // The highest low value the check accepts is one below the upper limit, so a value
        // above it becomes exactly that and passes when the field is left again; the message
        // still names the upper limit, as it does for the high value.
        c.value = RoundToSingle(rangeMax - 1);
    return c;
}

RangeCorrection CorrectRangeHigh(const QString& highText, const QString& lowText, double rangeMin,
                                 double rangeMax) {
    RangeCorrection c;
    const double low = rangeCheckedValue(lowText);
    const double high = rangeCheckedValue(highText);
    c.outOfLimits = high < rangeMin || high > rangeMax || low > high;
    if (!c.outOfLimits)
        c.value = RoundToSingle(storedValue(highText));
    else if (high < rangeMin)
        c.value = RoundToSingle(rangeMin);
    else if (high > rangeMax - 1)
        c.value = RoundToSingle(rangeMax);
    else // within the limits but under the low value: becomes equal to the low value
        c.value = RoundToSingle(storedValue(lowText));
    return c;
}

InvertedPair FindInvertedPair(const QString& loVolts, const QString& hiVolts,
                              const QString& rangeLo, const QString& rangeHi,
                              bool compareVoltages) {
    if (compareVoltages && checkedValue(loVolts) > checkedValue(hiVolts))
        return InvertedPair::Voltages;
    if (rangeCheckedValue(rangeLo) > rangeCheckedValue(rangeHi))
        return InvertedPair::Ranges;
    return InvertedPair::None;
}

QString RangeLimitsMessage(double rangeMin, double rangeMax) {
    return QStringLiteral("Invalid Data, Valid Values are ") + MessageNumberText(rangeMin) +
           QStringLiteral(" to ") + MessageNumberText(rangeMax) + QStringLiteral("!");
}

} // namespace codec
