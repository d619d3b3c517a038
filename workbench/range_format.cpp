#include "workbench/range_format.h"

#include "codec/range_table.h"
#include "shell/module1.h"

#include <cstddef>
#include <optional>

namespace workbench {

void SetRangeFormat(QString& vMask, QString& vFormat, QString& sValue) {
    using namespace Module1;
    // The workbench calls this only for a loaded channel (index 16 to 29, a setup code that
    // starts with a decimal digit). Should that ever not hold, there is no row to apply:
    // masks, format, limits and the value text are all left as they were.
    if (!vChannelIndex || *vChannelIndex < 16 || *vChannelIndex > 29)
        return;
    const std::optional<codec::RangeFormat> range =
        codec::RangeFormatFor(*vChannelIndex, sChannelSetup[std::size_t(*vChannelIndex - 16)][1]);
    if (!range)
        return;

    vRangeMin = range->rangeMin;
    vRangeMax = range->rangeMax;
    if (range->sensorRangeHi)
        sngSensorRangeHi = *range->sensorRangeHi;
    const codec::FittedRangeText fitted = codec::FitToRangeFormat(*range, sValue);
    vMask = fitted.mask;
    vFormat = fitted.format;
    sValue = fitted.text;
}

} // namespace workbench
