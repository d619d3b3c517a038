#include "shell/module1.h"

namespace Module1 {

QString vProgramVersion;
QString vReleaseDate;
int iComPort = 0;
QString sCommand;
QByteArray sReply;
qint16 iStatus = 0;
QString vErrorText;
QVariant vDisplayMicroDate;
QString vDisplayMicroInfo;
QString sTerminalMicroDate;
bool bIdentityUnconfirmed = false;
bool bIdentityReadDue = false;
bool bIdentityKnown = false;
int iControllerChanges = 0;
QString sReplacedIdentity;
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
    sCommand.clear();
    sReply.clear();
    iStatus = 0;
    vErrorText.clear();
    vDisplayMicroDate.clear();
    vDisplayMicroInfo.clear();
    sTerminalMicroDate.clear();
    bIdentityUnconfirmed = false;
    bIdentityReadDue = false;
    bIdentityKnown = false;
    iControllerChanges = 0;
    sReplacedIdentity.clear();
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
