// The calibration log's lines as the workbench begins them: who made them, on which port and
// device, for which controller, and for an Accept, what it wrote.
#include "workbench/calibration_log_entry.h"

#include "link/identity_block.h"
#include "link/protocol.h"
#include "platform/serial/pdq.h"
#include "platform/serial/port_info.h"
#include "platform/system/signed_in_user.h"
#include "records/channel_table.h"
#include "shell/module1.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QDateTime>

namespace workbench {

using records::CalibrationLogEntry;

records::CalibrationLogEntry calibrationLogEntry(const AcceptSnapshot& accepted) {
    records::CalibrationLogEntry entry;
    // The moment the Accept started, as the operator pressed it.
    entry.time = QDateTime::currentDateTime();
    noteWhoAndWhere(entry);
    if (accepted.channel != nullptr)
        entry.channel = accepted.channel->listText.toString();
    // Shown for the channel last loaded, the snapshot's channel: the Accept holds the input,
    // and only a load changes them.
    entry.sensorType = accepted.sensorType;
    entry.unit = accepted.unit;
    // The reading on display as the Accept begins, before the Accept clears it.
    entry.readingBefore = accepted.reading;
    entry.loVolts = accepted.loVolts;
    entry.hiVolts = accepted.hiVolts;
    entry.rangeLo = accepted.rangeLo;
    entry.rangeHi = accepted.rangeHi;
    entry.loCount = devicelink::protocol::ConverterCount(accepted.loVolts);
    entry.hiCount = devicelink::protocol::ConverterCount(accepted.hiVolts);
    entry.reportFile = QStringLiteral("not stored");
    return entry;
}

void noteWhoAndWhere(records::CalibrationLogEntry& entry) {
    entry.user = platform::signedInUser();
    entry.port = Module1::iComPort;
    // The device the serial control opens for the port; a control that cannot tell gets the
    // port's own mapping.
    const QString controlDevice = platform::PDQ().Comm1().devicePath();
    entry.device = platform::deviceText(platform::describeDevice(
        controlDevice.isEmpty() ? platform::portDevicePath(entry.port) : controlDevice));
    noteControllerIdentity(entry);
}

void noteControllerIdentity(records::CalibrationLogEntry& entry) {
    // Never the name of a controller that has not answered for itself.
    if (ControllerIdentity::instance().unconfirmed()) {
        entry.displayMicroDate = records::kIdentityUnconfirmed;
        entry.displayMicroInfo = records::kIdentityUnconfirmed;
        entry.terminalMicroDate = records::kIdentityUnconfirmed;
        return;
    }
    entry.displayMicroDate = devicelink::DateFieldText(Module1::vDisplayMicroDate);
    entry.displayMicroInfo = Module1::vDisplayMicroInfo;
    entry.terminalMicroDate = Module1::sTerminalMicroDate;
}

} // namespace workbench
