// The calibration log's lines as the workbench begins them.
#pragma once

#include "records/calibration_log.h"

namespace workbench {

struct AcceptSnapshot;

// The entry of an Accept as it starts: the time, the signed-in user, the port and its device,
// the controller's identity, and from the snapshot the channel, its four setpoint texts and
// the two counts the calibration command carries, the sensor type and unit as the workbench
// shows them for that channel, and the reading on display.
records::CalibrationLogEntry calibrationLogEntry(const AcceptSnapshot& accepted);

// Puts the signed-in user, the port and its device and the controller's identity (see
// noteControllerIdentity) into the entry.
void noteWhoAndWhere(records::CalibrationLogEntry& entry);

// Puts the controller's identity into the entry: the identity fields as read, or
// kIdentityUnconfirmed in all three while the controller now answering has not said who it is.
void noteControllerIdentity(records::CalibrationLogEntry& entry);

} // namespace workbench
