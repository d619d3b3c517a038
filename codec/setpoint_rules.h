// The checks a setpoint field makes when the operator leaves it, as pure rules: the field
// texts and limits in, the corrected value and which message to show out. The workbench's
// handlers show the messages and put the texts into the fields.
#pragma once

#include <QString>

namespace codec {

// A voltage field's check. `rangedText` is the voltage after the range check (the entered
// voltage in the fields' form, or the nearest limit); `finalText` is what the field keeps after
// the high voltage is also compared with the low one.
struct VoltageCorrection {
    bool outOfRange = false; // show "Voltage Range is 0-4.9v" / "Voltage Range is .1-5v"
    QString rangedText;
    bool belowLowVoltage = false; // show "Cannot be less than Low Sensor Voltage"
    QString finalText;
};

// The low voltage: 0 to 4.9 V.
VoltageCorrection CorrectLowVoltage(const QString& fieldText);
// The high voltage: 0.1 to 5 V, and not below the low voltage (equal is accepted); a high
// voltage below the low one becomes the low one plus 0.1 V.
VoltageCorrection CorrectHighVoltage(const QString& fieldText, const QString& lowVoltageText);

// A range field's check against the limits of the channel's unit.
struct RangeCorrection {
    bool outOfLimits = false; // show the range message with the two limits
    float value = 0;          // the value the field keeps
};

// The low range value: from `rangeMin` to one below `rangeMax`; a value above that becomes
// exactly `rangeMax` - 1.
RangeCorrection CorrectRangeLow(const QString& lowText, double rangeMin, double rangeMax);
// The high range value: from `rangeMin` to `rangeMax` and not below the low value; below the
// lower limit it becomes `rangeMin`, above one below the upper limit `rangeMax`, and within the
// limits but under the low value it becomes the low value.
RangeCorrection CorrectRangeHigh(const QString& highText, const QString& lowText, double rangeMin,
                                 double rangeMax);

// The pair an Accept refuses before anything is sent, read as the checks on leaving a field
// read them: a low voltage above the high voltage, or a low range value above the high one.
// Equal values pass. The voltages come first; `compareVoltages` is false when the voltage
// fields are off (a temperature sensor), since the operator could not correct them.
enum class InvertedPair { None, Voltages, Ranges };
InvertedPair FindInvertedPair(const QString& loVolts, const QString& hiVolts,
                              const QString& rangeLo, const QString& rangeHi, bool compareVoltages);

// The texts of the messages.
QString RangeLimitsMessage(double rangeMin, double rangeMax);
QString VoltageText(double volts); // three decimals, at least one digit before the point

} // namespace codec
