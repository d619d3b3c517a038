// The number a live reading shows, and the resolution its text shows it with.
#pragma once

#include <QString>

#include <optional>

namespace records {

struct ReadingValue {
    double value = 0;
    // One unit of the last digit shown: 0.1 for "12.5 PSIG", 0.01 for "45.02 BAR", 1 for "1234".
    double displayStep = 1;
};

// The reading's value: blanks skipped, an optional sign, digits with at most one point, then
// anything (the unit). Nothing when the text does not begin with a digit (an empty reading, a
// controller's "******" for a value too wide).
std::optional<ReadingValue> readingValue(const QString& text);

} // namespace records
