// Number texts as they appear inside messages to the operator.
#pragma once

#include <QString>

namespace codec {

// The classic number-to-text form used in every message: a blank in front of a number that
// is not negative, "-" in front of a negative one, "." as the point whatever the locale, no
// zero before the point below 1, no trailing zeros and no point for whole numbers. The
// digits are the shortest text that reads back as the same double.
// Examples: 4 -> " 4", 4.309 -> " 4.309", -0.862 -> "-.862", -12.5 -> "-12.5".
QString MessageNumberText(double value);

} // namespace codec
