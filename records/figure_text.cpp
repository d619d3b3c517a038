#include "records/figure_text.h"

#include <cmath>

namespace records {

namespace {

// Below any figure a record shows: arithmetic noise around zero (or -0) is shown as 0.
constexpr double kNoise = 1e-12;

} // namespace

QString figureText(double value, int significant) {
    return QString::number(std::abs(value) < kNoise ? 0.0 : value, 'g', significant);
}

QString unitSuffix(const QString& unit) {
    return unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
}

} // namespace records
