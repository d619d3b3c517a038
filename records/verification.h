// What a verification of a channel is judged against, its test points and the check of the
// value the technician says the reference applied. Pure numbers and texts.
//
// Spans. The channel's characteristic is the straight line through (lowVolts, lowRange) and
// (highVolts, highRange); the expected value follows that line with signed spans, so a
// reverse-acting channel (lowRange above highRange) is judged on its own line. Everything
// stated "in % of span" divides by the span's size |highRange - lowRange|, the way a
// calibration sheet states a span: for -14.7 .. 0 PSIG the span is 14.7 PSIG, and an error
// keeps its own sign (a reading above the expected value is a positive error) whatever the
// direction of the range.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace records {

// How the reference is applied: a voltage at the channel's terminals (the applied value is in
// volts), or a known process value at the sensor (the applied value is in the channel's
// engineering units and is itself the expected value).
enum class InjectionMode { Volts, EngineeringUnits };

// The short name stored in the records: "V" or "EU".
QString injectionModeName(InjectionMode mode);
std::optional<InjectionMode> injectionModeByName(const QString& name);

// The tolerance a test starts with: 0.5 % of span for voltage injection, 1.0 % for a process
// value at the sensor (the sensor's own error is then part of the reading).
double defaultTolerancePercent(InjectionMode mode);

// What a test is judged against, frozen when the test starts.
struct VerificationSetup {
    InjectionMode mode = InjectionMode::Volts;
    double lowVolts = 0;
    double highVolts = 0;
    double lowRange = 0;
    double highRange = 0;
    QString unit;                  // the channel's unit text, for messages; may be empty
    double tolerancePercent = 0.5; // ± this much of span passes
    double displayStep = 0.1;      // the live reading's resolution, engineering units
    // The reference's expanded uncertainty (k = 2) of the applied value: in volts for voltage
    // injection (turned into engineering units over the characteristic), in engineering units
    // when the reference applies the process value itself.
    double referenceUncertainty = 0;

    double voltSpan() const { return highVolts - lowVolts; }  // signed
    double rangeSpan() const { return highRange - lowRange; } // signed
    double rangeSpanSize() const;                             // |rangeSpan()|
    double appliedSpanSize() const;                           // the span the applied value has
    QString appliedUnit() const;                              // "V", or the channel's unit
};

// Why the setup cannot be tested, or nothing when it can: a tolerance of 0 % or less, a display
// step of 0 or less, a negative reference uncertainty, equal range values, or (voltage injection
// only) equal voltages.
std::optional<QString> checkSetup(const VerificationSetup& setup);

// One point of a test: where on the span, and the value the reference should apply there
// (volts, or engineering units).
struct TestPoint {
    double percent = 0;
    double nominal = 0;
};

// The points of a test: 0, 25, 50, 75 and 100 % of span ascending; "up and down" goes back
// down over 75, 50, 25 and 0 %, to show hysteresis.
std::vector<TestPoint> testPoints(const VerificationSetup& setup, bool upAndDown);

// The value the channel should read for an applied value: on the characteristic for volts,
// the applied value itself for a process value.
double expectedValue(const VerificationSetup& setup, double applied);

// The applied value must lie within 1 % of span of the point's nominal value, so a reading
// cannot be put right by typing another applied value. Refused: the message gives the allowed
// interval.
struct AppliedCheck {
    bool accepted = false;
    double lowest = 0;
    double highest = 0;
    QString refusal;
};
AppliedCheck checkApplied(const VerificationSetup& setup, const TestPoint& point, double applied);

// Values whose difference is within this share of the quantity compared count as equal: it
// forgives binary arithmetic its rounding (2.54 - 2.5 is a hair above 0.04) and nothing a
// display can show.
inline constexpr double kRelativeSlack = 1e-9;

} // namespace records
