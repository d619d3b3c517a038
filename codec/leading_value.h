// Reading the number a text begins with.
#pragma once

#include <QStringView>

namespace codec {

// The value of the longest beginning of the text that reads as a decimal number: blanks
// skipped, an optional "+" or "-", digits and at most one "." ("." as the point whatever
// the locale). 0 when the text does not begin with a number: "_.___" gives 0, "+4.3__"
// gives 4.3, " 018" gives 18.
double LeadingValue(QStringView text);

} // namespace codec
