// The controller's live reading of the channel on display.
#include "workbench/frm_calibrate_sensor.h"

#include "link/identity_block.h"
#include "link/protocol.h"
#include "link/transact.h"
#include "records/channel_table.h"
#include "shell/module1.h"
#include "workbench/controller_identity.h"

#include <QLineEdit>

#include <optional>

namespace workbench {

std::optional<QString> frmCalibrateSensor::ReadAnalogValues() {
    using namespace Module1;
    const records::ChannelInfo* channel =
        vChannelIndex ? records::channelByIndex(*vChannelIndex) : nullptr;
    const std::optional<QString> command =
        channel ? devicelink::protocol::LiveReadCommand(channel->slot) : std::nullopt;
    if (!command)
        return std::nullopt; // no channel loaded yet: nothing is sent, the field stays as it is
    const ControllerWork work(*this, ControllerWork::Kind::LiveReading);
    ControllerIdentity& identity = ControllerIdentity::instance();
    identity.recheckBeforeCommand();
    const devicelink::ExchangeResult reading =
        devicelink::Exchange(*command, devicelink::ReplyWait::OneSecond);
    // A reading that got no reply at all: whoever answers next is asked who it is first.
    if (reading.reply.isEmpty())
        identity.noteSilence();
    // Blanks for NULs, the degree sign for the controller's 0xDF; shown as plain text.
    const QString text = devicelink::protocol::LiveReadingText(reading.reply);
    cboAnalogData->setText(text);
    cboAnalogData->repaint();
    if (reading.reply.isEmpty())
        return std::nullopt;
    return text;
}

void frmCalibrateSensor::Timer1_Timer() {
    if (deferIfBusy(Request::LiveReading))
        return; // other work is talking to the controller; the next tick comes by itself
    const ControllerWork work(*this, ControllerWork::Kind::LiveReading);
    ReadAnalogValues();
    // The reading may have found another controller (after a reopen or a silence).
    NoticeAnotherController();
}

} // namespace workbench
