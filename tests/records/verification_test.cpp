// The verification of a channel against a reference: expected values, errors in % of span,
// uncertainties, the decision rule and the verdicts; the refusal of an applied value off its
// point; and the settling of the live reading, timed by a fake clock. The expected figures
// were worked out by hand from the characteristic, not by the code under test.
#include "records/point_result.h"
#include "records/stability_watch.h"
#include "records/verification.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <vector>

namespace {

using namespace records;
using Rule = DecisionRule::Kind;
using Status = StabilityWatch::Status;

VerificationSetup setup(double lowRange, double highRange, double step = 0.1,
                        double referenceVolts = 0.001) {
    VerificationSetup s;
    s.lowVolts = 0.5;
    s.highVolts = 4.5;
    s.lowRange = lowRange;
    s.highRange = highRange;
    s.unit = QStringLiteral("PSIG");
    s.tolerancePercent = defaultTolerancePercent(InjectionMode::Volts);
    s.displayStep = step;
    s.referenceUncertainty = referenceVolts;
    return s;
}

VerificationSetup atTheSensor(VerificationSetup s, double referenceUnits) {
    s.mode = InjectionMode::EngineeringUnits;
    s.tolerancePercent = defaultTolerancePercent(InjectionMode::EngineeringUnits);
    s.referenceUncertainty = referenceUnits;
    return s;
}

VerificationSetup withTolerance(VerificationSetup s, double percent) {
    s.tolerancePercent = percent;
    return s;
}

const VerificationSetup kPsig = setup(0, 100);
const VerificationSetup kVacuum = setup(-14.7, 0);
const VerificationSetup kReverse = setup(100, 0);
const VerificationSetup kBar = setup(0, 10, 0.01, 0.002);
const VerificationSetup kPoorReference = setup(0, 100, 0.1, 0.01);
const VerificationSetup kAtSensor = atTheSensor(kPsig, 0.1);

TestPoint pointAt(const VerificationSetup& s, double percent) {
    return testPoints(s, false).at(size_t(percent / 25));
}

TEST(RecordsVerification, PointsAreJudgedInPercentOfSpanUnderTheRuleTheUncertaintyAllows) {
    struct Case {
        const char* what;
        VerificationSetup setup;
        double percent;
        double applied;
        std::vector<double> readings;
        bool stable;
        double expected;
        double errorPercent;
        double uncertaintyPercent;
        Rule rule;
        Verdict verdict;
    };
    const Rule simple = Rule::SimpleAcceptance, guard = Rule::GuardBand;
    const Verdict pass = Verdict::Pass, fail = Verdict::Fail, unstable = Verdict::Unstable;
    // clang-format off
    const std::vector<Case> cases = {
        // what, setup, % of span, applied, readings, stable,
        //      expected value, error %, U %, rule, verdict
        {"exact zero", kPsig, 0, 0.5, {0, 0, 0}, true,
             0, 0, 0.062915, simple, pass},
        {"+0.2 %", kPsig, 50, 2.5, {50.2, 50.2, 50.2}, true,
             50, 0.2, 0.062915, simple, pass},
        {"at the limit, applied off nominal", kPsig, 0, 0.48, {0, 0, 0}, true,
             -0.5, 0.5, 0.062915, simple, pass},
        {"beyond the limit", kPsig, 50, 2.5, {50.6, 50.6, 50.6}, true,
             50, 0.6, 0.062915, simple, fail},
        {"wrong high range", kPsig, 100, 4.5, {90, 90, 90}, true,
             100, -10, 0.062915, simple, fail},
        {"good but unstable", kPsig, 50, 2.5, {50, 50, 50}, false,
             50, 0, 0.062915, simple, unstable},
        {"negative range, exact", kVacuum, 0, 0.5, {-14.7, -14.7, -14.7}, true,
             -14.7, 0, 0.393550, guard, pass},
        {"negative range, reading above", kVacuum, 25, 1.5, {-11, -11, -11}, true,
             -11.025, 0.170068, 0.393550, guard, fail},
        {"reverse-acting range", kReverse, 25, 1.5, {75.3, 75.3, 75.3}, true,
             75, 0.3, 0.062915, simple, pass},
        {"BAR, scattered readings", kBar, 75, 3.5, {7.52, 7.52, 7.53}, true,
             7.5, 0.233333, 0.101379, simple, pass},
        {"BAR, beyond", kBar, 100, 4.5, {10.06, 10.06, 10.06}, true,
             10, 0.6, 0.076376, simple, fail},
        {"TUR below 4, inside the guard band", kPoorReference, 50, 2.5, {50.2, 50.2, 50.2}, true,
             50, 0.2, 0.256580, guard, pass},
        {"TUR below 4, in tolerance but in the band", kPoorReference, 50, 2.5, {50.3, 50.3, 50.3},
             true, 50, 0.3, 0.256580, guard, fail},
        {"U above the tolerance: nothing passes", withTolerance(kPsig, 0.05), 50, 2.5,
             {50, 50, 50}, true, 50, 0, 0.062915, guard, fail},
        {"at the sensor, applied is expected", kAtSensor, 50, 49.8, {50.6, 50.6, 50.6}, true,
             49.8, 0.8, 0.115470, simple, pass},
        {"at the sensor, beyond 1 %", kAtSensor, 50, 49.8, {50.9, 50.9, 50.9}, true,
             49.8, 1.1, 0.115470, simple, fail},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PointEvaluation evaluation =
            evaluatePoint(c.setup, pointAt(c.setup, c.percent), c.applied, c.readings, c.stable);
        ASSERT_TRUE(evaluation.result) << qPrintable(evaluation.refusal);
        const PointResult& r = *evaluation.result;
        EXPECT_NEAR(r.expected, c.expected, 1e-9);
        EXPECT_NEAR(r.errorPercent, c.errorPercent, 1e-6);
        EXPECT_NEAR(r.uncertaintyPercent, c.uncertaintyPercent, 1e-6);
        EXPECT_EQ(r.rule.kind, c.rule);
        EXPECT_EQ(r.verdict, c.verdict);
        EXPECT_EQ(r.readingCount, 3);
    }

    // The points and their nominal values: volts on the terminals, units at the sensor.
    std::vector<double> percents, volts, units;
    for (const TestPoint& p : testPoints(kPsig, true)) {
        percents.push_back(p.percent);
        volts.push_back(p.nominal);
    }
    for (const TestPoint& p : testPoints(atTheSensor(kReverse, 0.1), false))
        units.push_back(p.nominal);
    EXPECT_EQ(percents, (std::vector<double>{0, 25, 50, 75, 100, 75, 50, 25, 0}));
    EXPECT_EQ(volts, (std::vector<double>{0.5, 1.5, 2.5, 3.5, 4.5, 3.5, 2.5, 1.5, 0.5}));
    EXPECT_EQ(units, (std::vector<double>{100, 75, 50, 25, 0}));

    // The rule in force, as printed and stored, and its boundary: a TUR of exactly 4 is simple.
    const auto ruleOf = [](const VerificationSetup& s) {
        return evaluatePoint(s, pointAt(s, 50), 2.5, {50, 50, 50}, true).result->rule;
    };
    EXPECT_EQ(ruleOf(kPsig).text(),
              "simple acceptance: TUR 7.95 >= 4, pass when |e| <= 0.5 % of span");
    EXPECT_EQ(ruleOf(kPoorReference).text(),
              "guard band w = U: TUR 1.95 < 4, pass when |e| <= 0.5 - 0.257 = 0.243 % of span");
    EXPECT_EQ(ruleOf(withTolerance(kPsig, 0.05)).text(),
              "guard band w = U: TUR 0.795 < 4, U 0.0629 % of span leaves no acceptance zone");
    EXPECT_EQ(decisionRule(1.0, 0.25).kind, Rule::SimpleAcceptance);
    EXPECT_EQ(decisionRule(1.0, 0.2501).kind, Rule::GuardBand);
    EXPECT_EQ(decisionRuleByName(decisionRuleName(Rule::GuardBand)), Rule::GuardBand);
    EXPECT_EQ(injectionModeByName(QStringLiteral("EU")), InjectionMode::EngineeringUnits);
    EXPECT_FALSE(injectionModeByName(QStringLiteral("v")));

    // A phase passes only when every one of its points is recorded and passed.
    const std::vector<TestPoint> points = testPoints(kPsig, false);
    std::vector<PointResult> run;
    for (const TestPoint& p : points)
        run.push_back(
            *evaluatePoint(kPsig, p, p.nominal, {p.percent, p.percent, p.percent}, true).result);
    EXPECT_EQ(phaseVerdict(points, run), PhaseVerdict::Pass);
    std::vector<PointResult> missingOne(run.begin(), run.end() - 1);
    EXPECT_EQ(phaseVerdict(points, missingOne), PhaseVerdict::Incomplete);
    std::vector<PointResult> wrongPoint = run;
    wrongPoint[4] = wrongPoint[3];
    EXPECT_EQ(phaseVerdict(points, wrongPoint), PhaseVerdict::Incomplete);
    run[2].verdict = Verdict::Unstable;
    EXPECT_EQ(phaseVerdict(points, run), PhaseVerdict::Fail);
}

TEST(RecordsVerification, AnAppliedValueOffItsPointOrAnUntestableSetupIsRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QString offPoint =
        "The applied value must lie within 1 % of span of the nominal 2.5 V: from 2.46 to 2.54 V.";
    struct Case {
        const char* what;
        VerificationSetup setup;
        double applied;
        std::vector<double> readings;
        QString refusal; // empty: recorded
    };
    VerificationSetup equalVolts = kPsig;
    equalVolts.highVolts = equalVolts.lowVolts;
    VerificationSetup equalRange = kPsig;
    equalRange.highRange = 0;
    VerificationSetup noStep = kPsig;
    noStep.displayStep = 0;
    const QString noTolerance = "The tolerance must be more than 0 % of span.";
    // clang-format off
    const std::vector<Case> cases = {
        {"1 % above", kPsig, 2.54, {50}, {}},
        {"beyond 1 % above", kPsig, 2.541, {50}, offPoint},
        {"beyond 1 % below", kPsig, 2.459, {50}, offPoint},
        {"not a number", kPsig, nan, {50}, offPoint},
        {"negative range at the sensor, 1 % below", atTheSensor(kVacuum, 0.1), -7.497, {-7.4}, {}},
        {"negative range at the sensor, beyond", atTheSensor(kVacuum, 0.1), -7.2, {-7.4},
             "The applied value must lie within 1 % of span of the nominal -7.35 PSIG: "
             "from -7.497 to -7.203 PSIG."},
        {"no tolerance", withTolerance(kPsig, 0), 2.5, {50}, noTolerance},
        {"negative tolerance", withTolerance(kPsig, -0.5), 2.5, {50}, noTolerance},
        {"no display step", noStep, 2.5, {50}, "The display step must be more than 0."},
        {"equal voltages", equalVolts, 0.5, {50},
             "The low and high voltages are equal: there is no span to test over."},
        {"equal voltages do not matter at the sensor", atTheSensor(equalVolts, 0.1), 50, {50}, {}},
        {"equal range values", equalRange, 2.5, {50},
             "The low and high range values are equal: there is no span to test over."},
        {"no reading", kPsig, 2.5, {}, "No reading was taken for this point."},
        {"a reading that is not a number", kPsig, 2.5, {50, nan}, "A reading is not a number."},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const PointEvaluation evaluation =
            evaluatePoint(c.setup, pointAt(c.setup, 50), c.applied, c.readings, true);
        EXPECT_EQ(evaluation.refusal, c.refusal);
        EXPECT_EQ(evaluation.result.has_value(), c.refusal.isEmpty());
    }
}

TEST(RecordsStabilityWatch, ThreeReadingsWithinOneStepOrUnstableAfterThirtySeconds) {
    struct Event {
        qint64 ms;
        std::optional<double> reading; // none: restart at `ms` if `restart`, else a look
        Status after;
        bool restart = false;
    };
    struct Case {
        const char* what;
        double step;
        std::vector<Event> events;
        std::vector<double> readings; // at the end
    };
    const Status W = Status::Waiting, S = Status::Stable, T = Status::TimedOut;
    const std::nullopt_t look = std::nullopt;
    // clang-format off
    const std::vector<Case> cases = {
        {"one step apart agree", 0.1,
             {{0, 50.0, W}, {500, 50.1, W}, {1000, 50.0, S}},
             {50.0, 50.1, 50.0}},
        {"a drift settles on the latest three", 0.1,
             {{0, 50.0, W}, {500, 50.2, W}, {1000, 50.4, W}, {1500, 50.4, W}, {2000, 50.4, S}},
             {50.4, 50.4, 50.4}},
        {"BAR: two hundredths apart do not agree", 0.01,
             {{0, 7.52, W}, {500, 7.54, W}, {1000, 7.53, W}},
             {7.52, 7.54, 7.53}},
        {"30 s from the restart without agreement, then agreement", 0.1,
             {{1000, look, W, true}, {1000, 50.0, W}, {10000, 50.3, W}, {20000, 50.0, W},
              {30999, look, W}, {31000, look, T}, {32000, 50.1, T}, {33000, 50.0, S}},
             {50.0, 50.1, 50.0}},
        {"a restart forgets what was stable", 0.1,
             {{0, 50.0, W}, {500, 50.0, W}, {1000, 50.0, S}, {5000, look, W, true},
              {5500, 50.0, W}, {34999, look, W}, {35000, look, T}},
             {50.0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StabilityWatch watch(c.step);
        for (const Event& e : c.events) {
            SCOPED_TRACE(e.ms);
            if (e.restart)
                watch.restart(e.ms);
            const Status status = e.reading ? watch.add(*e.reading, e.ms) : watch.status(e.ms);
            EXPECT_EQ(status, e.after);
        }
        EXPECT_EQ(watch.readings(), c.readings);
    }
}

} // namespace
