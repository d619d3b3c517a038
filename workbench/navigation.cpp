// Moving between channels: the list, Next and Previous, and coming back to the window.
#include "workbench/frm_calibrate_sensor.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QScopeGuard>

namespace workbench {

namespace {

// The hourglass for as long as the object lives.
class Hourglass {
  public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { QApplication::restoreOverrideCursor(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

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
    if (isBusy()) {
        defer(Deferred::Reload);
        return;
    }
    Hourglass hourglass;
    LoadChannel();
    repaint();
}

void frmCalibrateSensor::cboChannelNumber_Click() {
    // A selection the program makes itself does not load the channel.
    if (iChannelButton != 0)
        return;
    if (isBusy()) {
        defer(Deferred::Reload);
        return;
    }
    Hourglass hourglass;
    LoadChannel();
}

void frmCalibrateSensor::cmdNextChannel_Click() {
    if (isBusy()) {
        defer(Deferred::StepNext);
        return;
    }
    stepChannel(+1);
}

void frmCalibrateSensor::cmdPrevChannel_Click() {
    if (isBusy()) {
        defer(Deferred::StepPrev);
        return;
    }
    stepChannel(-1);
}

void frmCalibrateSensor::stepChannel(int direction) {
    Hourglass hourglass;
    iChannelButton = 1;
    const auto reset = qScopeGuard([this] { iChannelButton = 0; });
    const int next = steppedChannel(cboChannelNumber->currentText().toInt(), direction);
    cboChannelNumber->setCurrentText(QString::number(next));
    LoadChannel();
    // The button gave up the focus while it was disabled; a keyboard user steps on with Space.
    if (!m_unloading)
        (direction > 0 ? cmdNextChannel : cmdPrevChannel)->setFocus(Qt::OtherFocusReason);
}

} // namespace workbench
