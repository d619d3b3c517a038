#include "shell/module1.h"

namespace Module1 {

QString vProgramVersion;
QString vReleaseDate;
int iComPort = 0;
QVariant vDisplayMicroDate;
QString vDisplayMicroInfo;
QString sTerminalMicroDate;
std::optional<int> vChannelIndex;
ChannelSetupTable sChannelSetup;
float sngSensorRangeHi = 0.0f;
QByteArray sReadReply;
QString sValueText;
QString vEntryMask;
QString vDisplayFormat;
double vRangeMax = 0.0;
double vRangeMin = 0.0;

void ResetSharedState() {
    vProgramVersion.clear();
    vReleaseDate.clear();
    iComPort = 0;
    vDisplayMicroDate.clear();
    vDisplayMicroInfo.clear();
    sTerminalMicroDate.clear();
    vChannelIndex.reset();
    sChannelSetup = ChannelSetupTable{};
    sngSensorRangeHi = 0.0f;
    sReadReply.clear();
    sValueText.clear();
    vEntryMask.clear();
    vDisplayFormat.clear();
    vRangeMax = 0.0;
    vRangeMin = 0.0;
}

} // namespace Module1
