// The range fields' entry mask, display format and limits for the channel on display, as the
// program-wide state holds them.
#pragma once

#include <QString>

namespace workbench {

// Sets the entry mask, the display format and the accepted limits of the range fields for the
// channel on display, and brings a range value text into that channel's display form.
//
// The channel is `vChannelIndex`; its setup code is column 1 of row `vChannelIndex` - 16 of
// `sChannelSetup`, the first character being the sensor type, the last one the unit. The
// matching row of the range limit table gives `vMask`, `vFormat`, `vRangeMin` and `vRangeMax`;
// the BAR rows of the pressure types also set `sngSensorRangeHi` to their high limit.
//
// When `sValue` is not empty, its sign character ("+" or "-") is put in front of the mask (as
// "&") and of the format, and the text is rewritten with that format unless its point already
// stands where the mask has it: "+0050." becomes "+050.0" under "000.0", "+0000." becomes
// "+0.000" under "0.000". An empty `sValue` stays empty.
void SetRangeFormat(QString& vMask, QString& vFormat, QString& sValue);

} // namespace workbench
