// Moving between channels: the list, Next and Previous, and coming back to the window.
#include "workbench/frm_calibrate_sensor.h"

#include <QComboBox>
#include <QPushButton>

namespace workbench {

namespace {

// The channel after (direction +1) or before (-1) `channel`: 38 and 39 do not exist, and
// the list wraps from 45 to 30 and back.
int steppedChannel(int channel, int direction) {
    int next = channel + direction;
    if (direction > 0) {
        if (next == 38)
            next = 40;
        if (next == 46)
            next = 30;
    } else {
        if (next == 39)
            next = 37;
        if (next == 29)
            next = 45;
    }
    return next;
}

} // namespace

void frmCalibrateSensor::Form_Activate() {
    if (deferIfBusy(Request::Reload))
        return;
    LoadChannel();
    repaint();
}

void frmCalibrateSensor::cboChannelNumber_Click() {
    // A selection the program makes itself does not load the channel.
    if (iChannelButton)
        return;
    if (deferIfBusy(Request::Reload))
        return;
    LoadChannel();
}

void frmCalibrateSensor::cmdNextChannel_Click() {
    if (deferIfBusy(Request::StepNext))
        return;
    stepChannel(+1);
}

void frmCalibrateSensor::cmdPrevChannel_Click() {
    if (deferIfBusy(Request::StepPrev))
        return;
    stepChannel(-1);
}

void frmCalibrateSensor::stepChannel(int direction) {
    // The button gives up the focus while it is off; a keyboard user steps on with Space.
    const ControllerWork work(*this, ControllerWork::Kind::Load,
                              direction > 0 ? cmdNextChannel : cmdPrevChannel);
    const ProgramSetsChannel programSets(*this);
    const int next = steppedChannel(cboChannelNumber->currentText().toInt(), direction);
    cboChannelNumber->setCurrentText(QString::number(next));
    LoadChannel();
}

} // namespace workbench
