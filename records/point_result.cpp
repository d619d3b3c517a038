#include "records/point_result.h"

#include "records/figure_text.h"

#include <cmath>

namespace records {

namespace {

double mean(const std::vector<double>& values) {
    double sum = 0;
    for (double value : values)
        sum += value;
    return sum / double(values.size());
}

// The sample standard deviation (n - 1); 0 for fewer than two values.
double standardDeviation(const std::vector<double>& values) {
    if (values.size() < 2)
        return 0;
    const double centre = mean(values);
    double squares = 0;
    for (double value : values)
        squares += (value - centre) * (value - centre);
    return std::sqrt(squares / double(values.size() - 1));
}

// Percentages as the rule's printout shows them.
QString percentText(double percent) {
    return figureText(percent, 3);
}

} // namespace

Uncertainty pointUncertainty(const VerificationSetup& setup, const std::vector<double>& readings) {
    Uncertainty u;
    u.reference = setup.referenceUncertainty / 2;
    if (setup.mode == InjectionMode::Volts)
        u.reference *= std::abs(setup.rangeSpan() / setup.voltSpan());
    u.resolution = setup.displayStep / 2 / std::sqrt(3.0);
    if (!readings.empty())
        u.repeatability = standardDeviation(readings) / std::sqrt(double(readings.size()));
    u.expanded = 2 * std::sqrt(u.reference * u.reference + u.resolution * u.resolution +
                               u.repeatability * u.repeatability);
    return u;
}

DecisionRule decisionRule(double tolerancePercent, double uncertaintyPercent) {
    DecisionRule rule;
    rule.tolerancePercent = tolerancePercent;
    rule.testUncertaintyRatio = tolerancePercent / uncertaintyPercent;
    if (rule.testUncertaintyRatio >= kSimpleAcceptanceRatio) {
        rule.kind = DecisionRule::Kind::SimpleAcceptance;
        rule.acceptancePercent = tolerancePercent;
    } else {
        rule.kind = DecisionRule::Kind::GuardBand;
        rule.acceptancePercent = tolerancePercent - uncertaintyPercent;
    }
    return rule;
}

QString DecisionRule::text() const {
    const QString ratio = figureText(testUncertaintyRatio, 3);
    if (kind == Kind::SimpleAcceptance)
        return QStringLiteral("%1: TUR %2 >= 4, pass when |e| <= %3 % of span")
            .arg(decisionRuleName(kind), ratio, percentText(tolerancePercent));
    const QString band = percentText(tolerancePercent - acceptancePercent);
    if (acceptancePercent <= 0)
        return QStringLiteral("%1: TUR %2 < 4, U %3 % of span leaves no acceptance zone")
            .arg(decisionRuleName(kind), ratio, band);
    return QStringLiteral("%1: TUR %2 < 4, pass when |e| <= %3 - %4 = %5 % of span")
        .arg(decisionRuleName(kind), ratio, percentText(tolerancePercent), band,
             percentText(acceptancePercent));
}

QString decisionRuleName(DecisionRule::Kind kind) {
    return kind == DecisionRule::Kind::SimpleAcceptance ? QStringLiteral("simple acceptance")
                                                        : QStringLiteral("guard band w = U");
}

std::optional<DecisionRule::Kind> decisionRuleByName(const QString& name) {
    for (auto kind : {DecisionRule::Kind::SimpleAcceptance, DecisionRule::Kind::GuardBand}) {
        if (name == decisionRuleName(kind))
            return kind;
    }
    return std::nullopt;
}

QString verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::Fail:
        return QStringLiteral("fail");
    case Verdict::Unstable:
        return QStringLiteral("unstable");
    }
    return {};
}

PointEvaluation evaluatePoint(const VerificationSetup& setup, const TestPoint& point,
                              double applied, const std::vector<double>& readings, bool stable) {
    PointEvaluation evaluation;
    if (const std::optional<QString> problem = checkSetup(setup)) {
        evaluation.refusal = *problem;
        return evaluation;
    }
    const AppliedCheck check = checkApplied(setup, point, applied);
    if (!check.accepted) {
        evaluation.refusal = check.refusal;
        return evaluation;
    }
    if (readings.empty()) {
        evaluation.refusal = QStringLiteral("No reading was taken for this point.");
        return evaluation;
    }
    for (double reading : readings) {
        if (!std::isfinite(reading)) {
            evaluation.refusal = QStringLiteral("A reading is not a number.");
            return evaluation;
        }
    }

    PointResult r;
    r.point = point;
    r.applied = applied;
    r.expected = expectedValue(setup, applied);
    r.reading = mean(readings);
    r.readingCount = int(readings.size());
    r.error = r.reading - r.expected;
    const double span = setup.rangeSpanSize();
    r.errorPercent = 100 * r.error / span;
    r.uncertainty = pointUncertainty(setup, readings);
    r.uncertaintyPercent = 100 * r.uncertainty.expanded / span;
    r.rule = decisionRule(setup.tolerancePercent, r.uncertaintyPercent);
    const double limit = r.rule.acceptancePercent;
    const bool within =
        limit > 0 && std::abs(r.errorPercent) <= limit + setup.tolerancePercent * kRelativeSlack;
    r.verdict = !stable ? Verdict::Unstable : within ? Verdict::Pass : Verdict::Fail;
    evaluation.result = r;
    return evaluation;
}

QString phaseVerdictName(PhaseVerdict verdict) {
    switch (verdict) {
    case PhaseVerdict::Incomplete:
        return QStringLiteral("incomplete");
    case PhaseVerdict::Pass:
        return QStringLiteral("pass");
    case PhaseVerdict::Fail:
        return QStringLiteral("fail");
    }
    return {};
}

PhaseVerdict phaseVerdict(const std::vector<TestPoint>& points,
                          const std::vector<PointResult>& recorded) {
    if (points.empty() || recorded.size() < points.size())
        return PhaseVerdict::Incomplete;
    bool allPassed = true;
    for (size_t i = 0; i < points.size(); ++i) {
        // A result of another point does not stand for this one.
        if (recorded[i].point.percent != points[i].percent)
            return PhaseVerdict::Incomplete;
        allPassed = allPassed && recorded[i].passed();
    }
    return allPassed ? PhaseVerdict::Pass : PhaseVerdict::Fail;
}

} // namespace records
