// Program-wide state shared by the screens and the device link.
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

// Command transaction: command line in, raw reply bytes out, wait mode in / status out.
extern QString sCommand;
extern QByteArray sReply;
extern qint16 iStatus;
extern QString vErrorText;

// Controller identity block. The display board date holds either the controller's own
// date text (QString) or a substitute date (QDate).
extern QVariant vDisplayMicroDate;
extern QString vDisplayMicroInfo;
extern QString sTerminalMicroDate;

// Whether the controller now answering is the one the identity fields name. The identity is
// unconfirmed from a failed identity read, a live reading that got no reply at all or a
// reopened port, until an identity read succeeds; the calibration log then names no controller.
extern bool bIdentityUnconfirmed;
// An identity read is owed before the next command goes on (after a silence or a reopen).
extern bool bIdentityReadDue;
// The identity fields hold a block a controller sent whole; only such a block is compared
// with a later one.
extern bool bIdentityKnown;
// How often another controller was found answering, and the identity it replaced until the
// operator has been told (empty once told).
extern int iControllerChanges;
extern QString sReplacedIdentity;

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
