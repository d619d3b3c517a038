// One recorded test point: the error of the channel's reading against the expected value, its
// uncertainty, the decision rule in force and the verdict; and the verdict of a whole test.
#pragma once

#include "records/verification.h"

#include <QString>

#include <optional>
#include <vector>

namespace records {

// The expanded uncertainty (k = 2) of a point's error, in engineering units, from three
// standard uncertainties:
//   reference   the reference's expanded uncertainty / 2 (voltage injection: times the
//               characteristic's |range span / volt span|);
//   resolution  (display step / 2) / sqrt 3, the rounding of the reading;
//   repeat      the readings' sample standard deviation / sqrt n (0 for a single reading).
struct Uncertainty {
    double reference = 0;
    double resolution = 0;
    double repeatability = 0;
    double expanded = 0; // 2 * sqrt(reference^2 + resolution^2 + repeatability^2)
};
Uncertainty pointUncertainty(const VerificationSetup& setup, const std::vector<double>& readings);

// The decision rule, from the test uncertainty ratio TUR = tolerance / U (both in % of span):
// at 4 or more, simple acceptance (pass when |error| is within the tolerance); below 4, a
// guard band as wide as U (pass only when |error| is within tolerance - U). When U is as large
// as the tolerance the guard band leaves nothing to pass.
struct DecisionRule {
    enum class Kind { SimpleAcceptance, GuardBand };
    Kind kind = Kind::SimpleAcceptance;
    double testUncertaintyRatio = 0;
    double tolerancePercent = 0;
    double acceptancePercent = 0; // the limit on |error %|

    // The printed form, e.g. "simple acceptance: TUR 7.95 >= 4, pass when |e| <= 0.5 % of
    // span" or "guard band w = U: TUR 1.95 < 4, pass when |e| <= 0.5 - 0.257 = 0.243 % of span".
    QString text() const;
};
inline constexpr double kSimpleAcceptanceRatio = 4.0;
DecisionRule decisionRule(double tolerancePercent, double uncertaintyPercent);

// The stored name of a rule: "simple acceptance" or "guard band w = U".
QString decisionRuleName(DecisionRule::Kind kind);
std::optional<DecisionRule::Kind> decisionRuleByName(const QString& name);

enum class Verdict {
    Pass,
    Fail,
    Unstable, // no stable reading came in time; a failed point
};
QString verdictName(Verdict verdict); // "pass", "fail", "unstable"

struct PointResult {
    TestPoint point;
    double applied = 0;
    double expected = 0; // E, engineering units
    double reading = 0;  // R, the mean of the readings
    int readingCount = 0;
    double error = 0;        // e = R - E
    double errorPercent = 0; // 100 e / span size
    Uncertainty uncertainty; // engineering units
    double uncertaintyPercent = 0;
    DecisionRule rule;
    Verdict verdict = Verdict::Fail;

    bool passed() const { return verdict == Verdict::Pass; }
};

// A point judged, or why it cannot be recorded (the setup cannot be tested, the applied value
// lies outside 1 % of span of the nominal, no readings or a reading that is not a number).
struct PointEvaluation {
    std::optional<PointResult> result;
    QString refusal;
};
// `readings` are the channel's readings the reading is the mean of; `stable` says whether they
// agreed (see StabilityWatch), and a point without a stable reading fails as unstable.
PointEvaluation evaluatePoint(const VerificationSetup& setup, const TestPoint& point,
                              double applied, const std::vector<double>& readings, bool stable);

// A test passes when every one of its points has been recorded and passed; it fails when all
// are recorded and one did not pass; it stays incomplete while a point is missing.
enum class PhaseVerdict { Incomplete, Pass, Fail };
QString phaseVerdictName(PhaseVerdict verdict); // "incomplete", "pass", "fail"
PhaseVerdict phaseVerdict(const std::vector<TestPoint>& points,
                          const std::vector<PointResult>& recorded);

} // namespace records
