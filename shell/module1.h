// The program-wide variables of the screens, under their legacy names. The device link keeps
// none of its state here: an exchange takes its command and hands back its reply and status.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace Module1 {

// Program identity, set once at start-up.
extern QString vProgramVersion;
extern QString vReleaseDate;

// Serial port number chosen at login, 1 to 9.
extern int iComPort;

// Controller identity block, written by workbench::ControllerIdentity. The display board date
// holds either the controller's own date text (QString) or a substitute date (QDate).
extern QVariant vDisplayMicroDate;
extern QString vDisplayMicroInfo;
extern QString sTerminalMicroDate;

// Channel on display: index 16 to 29, empty until the first channel load.
extern std::optional<int> vChannelIndex;

// Per channel, the setup code text in column 1 of row (index - 16).
using ChannelSetupTable = std::array<std::array<QString, 15>, 17>;
extern ChannelSetupTable sChannelSetup;

extern float sngSensorRangeHi;
extern QByteArray sReadReply;
extern QString sValueText;

// Entry mask, display format and limits of the range fields.
extern QString vEntryMask;
extern QString vDisplayFormat;
extern double vRangeMax;
extern double vRangeMin;

// Puts every variable back to its start-of-run value (empty texts, zero numbers).
void ResetSharedState();

} // namespace Module1
