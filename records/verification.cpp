#include "records/verification.h"

#include "records/figure_text.h"

#include <cmath>

namespace records {

namespace {

constexpr double kAppliedWindowPercent = 1.0;

} // namespace

QString injectionModeName(InjectionMode mode) {
    return mode == InjectionMode::Volts ? QStringLiteral("V") : QStringLiteral("EU");
}

std::optional<InjectionMode> injectionModeByName(const QString& name) {
    for (InjectionMode mode : {InjectionMode::Volts, InjectionMode::EngineeringUnits}) {
        if (name == injectionModeName(mode))
            return mode;
    }
    return std::nullopt;
}

double defaultTolerancePercent(InjectionMode mode) {
    return mode == InjectionMode::Volts ? 0.5 : 1.0;
}

double VerificationSetup::rangeSpanSize() const {
    return std::abs(rangeSpan());
}

double VerificationSetup::appliedSpanSize() const {
    return mode == InjectionMode::Volts ? std::abs(voltSpan()) : rangeSpanSize();
}

QString VerificationSetup::appliedUnit() const {
    return mode == InjectionMode::Volts ? QStringLiteral("V") : unit;
}

std::optional<QString> checkSetup(const VerificationSetup& setup) {
    const auto finite = [](double value) { return std::isfinite(value); };
    if (!finite(setup.tolerancePercent) || setup.tolerancePercent <= 0)
        return QStringLiteral("The tolerance must be more than 0 % of span.");
    if (!finite(setup.displayStep) || setup.displayStep <= 0)
        return QStringLiteral("The display step must be more than 0.");
    if (!finite(setup.referenceUncertainty) || setup.referenceUncertainty < 0)
        return QStringLiteral("The reference's uncertainty must be 0 or more.");
    if (!finite(setup.rangeSpan()) || setup.rangeSpan() == 0)
        return QStringLiteral(
            "The low and high range values are equal: there is no span to test over.");
    if (setup.mode == InjectionMode::Volts && (!finite(setup.voltSpan()) || setup.voltSpan() == 0))
        return QStringLiteral(
            "The low and high voltages are equal: there is no span to test over.");
    return std::nullopt;
}

std::vector<TestPoint> testPoints(const VerificationSetup& setup, bool upAndDown) {
    std::vector<double> percents = {0, 25, 50, 75, 100};
    if (upAndDown)
        percents.insert(percents.end(), {75, 50, 25, 0});
    const bool volts = setup.mode == InjectionMode::Volts;
    const double start = volts ? setup.lowVolts : setup.lowRange;
    const double span = volts ? setup.voltSpan() : setup.rangeSpan();
    std::vector<TestPoint> points;
    for (double percent : percents)
        points.push_back({percent, start + span * percent / 100});
    return points;
}

double expectedValue(const VerificationSetup& setup, double applied) {
    if (setup.mode == InjectionMode::EngineeringUnits)
        return applied;
    return setup.lowRange + (applied - setup.lowVolts) * setup.rangeSpan() / setup.voltSpan();
}

AppliedCheck checkApplied(const VerificationSetup& setup, const TestPoint& point, double applied) {
    AppliedCheck check;
    const double window = setup.appliedSpanSize() * kAppliedWindowPercent / 100;
    check.lowest = point.nominal - window;
    check.highest = point.nominal + window;
    check.accepted = std::isfinite(applied) &&
                     std::abs(applied - point.nominal) <= window * (1 + kRelativeSlack);
    if (!check.accepted) {
        const QString unit = unitSuffix(setup.appliedUnit());
        check.refusal =
            QStringLiteral("The applied value must lie within 1 % of span of the nominal %1%2: "
                           "from %3 to %4%2.")
                .arg(figureText(point.nominal), unit, figureText(check.lowest),
                     figureText(check.highest));
    }
    return check;
}

} // namespace records
