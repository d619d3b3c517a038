// The controller's live reading of the channel on display.
#include "workbench/frm_calibrate_sensor.h"

#include "app/module1.h"
#include "codec/code_page_437.h"
#include "codec/utility.h"
#include "link/transact.h"
#include "workbench/channel_table.h"

#include <QLineEdit>
#include <QTimer>

void frmCalibrateSensor::ReadAnalogValues() {
    using namespace Module1;
    const workbench::ChannelInfo* channel =
        vChannelIndex ? workbench::channelByIndex(*vChannelIndex) : nullptr;
    if (channel == nullptr)
        return; // no channel loaded yet: nothing is sent, the field stays as it is
    WorkScope work(*this);
    sCommand = channel->liveReadCommand.toString() + QStringLiteral("\r\n");
    iStatus = -2;
    Transact(sCommand, sReply, iStatus, vErrorText);
    ReplaceChar(sReply, '\0', ' ');
    ReplaceChar(sReply, char(0xDF), char(0xF8)); // the controller's degree sign
    cboAnalogData->setText(CodePage437ToText(sReply));
    cboAnalogData->repaint();
}

void frmCalibrateSensor::Timer1_Timer() {
    if (isBusy())
        return; // a load or an accept is talking to the controller
    Timer1->stop();
    ReadAnalogValues();
    if (!m_unloading)
        Timer1->start();
}
