// Numbers as the records' messages and printouts show them.
#pragma once

#include <QString>

namespace records {

// The value to `significant` digits, without trailing zeros; arithmetic noise around zero
// shows as "0": 2.54 -> "2.54", -7.4970000001 -> "-7.497", 7.9472 at 3 -> "7.95".
QString figureText(double value, int significant = 7);

// " PSIG" for "PSIG"; nothing for no unit.
QString unitSuffix(const QString& unit);

} // namespace records
