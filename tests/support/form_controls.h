// Tests reach a window's controls as the accessibility tree and test automation do: by object
// name. A control that is missing, or not of the kind asked for, fails the test.
#pragma once

#include "platform/widgets/masked_edit.h"
#include "platform/widgets/status_bar.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace testsupport {

// The one child of `form` named `objectName`, of kind T; nullptr, and a failure of the test,
// when there is none.
template <class T> T* control(QWidget& form, const char* objectName) {
    T* found = form.findChild<T*>(QString::fromLatin1(objectName));
    if (found == nullptr)
        ADD_FAILURE() << "no " << T::staticMetaObject.className() << " named " << objectName
                      << " in " << qPrintable(form.objectName());
    return found;
}

// The controls of the calibration workbench, found by their names.
struct WorkbenchControls {
    explicit WorkbenchControls(QWidget& form)
        : Frame3(control<QFrame>(form, "Frame3")), Frame1(control<QFrame>(form, "Frame1")),
          Frame2(control<QGroupBox>(form, "Frame2")), Line1(control<QFrame>(form, "Line1")),
          lblChannelNumber(control<QLabel>(form, "lblChannelNumber")),
          lblSensor(control<QLabel>(form, "lblSensor")),
          lblUnits(control<QLabel>(form, "lblUnits")),
          lblCurrentData(control<QLabel>(form, "lblCurrentData")),
          lblSensorRange(control<QLabel>(form, "lblSensorRange")),
          lblSensorVoltage(control<QLabel>(form, "lblSensorVoltage")),
          lblLow(control<QLabel>(form, "lblLow")), lblHigh(control<QLabel>(form, "lblHigh")),
          cboChannelNumber(control<QComboBox>(form, "cboChannelNumber")),
          cboSensor(control<QLineEdit>(form, "cboSensor")),
          cboRange(control<QLineEdit>(form, "cboRange")),
          cboAnalogData(control<QLineEdit>(form, "cboAnalogData")),
          medSensorRangeLo(control<platform::MaskEdBox>(form, "medSensorRangeLo")),
          medSensorRangeHi(control<platform::MaskEdBox>(form, "medSensorRangeHi")),
          medSensorLoVolts(control<platform::MaskEdBox>(form, "medSensorLoVolts")),
          medSensorHiVolts(control<platform::MaskEdBox>(form, "medSensorHiVolts")),
          cmdAccept(control<QPushButton>(form, "cmdAccept")),
          cmdPrevChannel(control<QPushButton>(form, "cmdPrevChannel")),
          cmdNextChannel(control<QPushButton>(form, "cmdNextChannel")),
          cmdCancel(control<QPushButton>(form, "cmdCancel")),
          cmdAbout(control<QPushButton>(form, "cmdAbout")),
          Timer1(control<QTimer>(form, "Timer1")) {}

    QFrame* Frame3;
    QFrame* Frame1;
    QGroupBox* Frame2;
    QFrame* Line1;
    QLabel* lblChannelNumber;
    QLabel* lblSensor;
    QLabel* lblUnits;
    QLabel* lblCurrentData;
    QLabel* lblSensorRange;
    QLabel* lblSensorVoltage;
    QLabel* lblLow;
    QLabel* lblHigh;
    QComboBox* cboChannelNumber;
    QLineEdit* cboSensor;
    QLineEdit* cboRange;
    QLineEdit* cboAnalogData;
    platform::MaskEdBox* medSensorRangeLo;
    platform::MaskEdBox* medSensorRangeHi;
    platform::MaskEdBox* medSensorLoVolts;
    platform::MaskEdBox* medSensorHiVolts;
    QPushButton* cmdAccept;
    QPushButton* cmdPrevChannel;
    QPushButton* cmdNextChannel;
    QPushButton* cmdCancel;
    QPushButton* cmdAbout;
    QTimer* Timer1;
};

// The controls of the login, found by their names.
struct LoginControls {
    explicit LoginControls(QWidget& form)
        : lblLabels(control<QLabel>(form, "lblLabels")),
          txtUserName(control<QLineEdit>(form, "txtUserName")),
          Label1(control<QLabel>(form, "Label1")), Label5(control<QLabel>(form, "Label5")),
          cboComPort(control<QComboBox>(form, "cboComPort")),
          cmdOK(control<QPushButton>(form, "cmdOK")),
          cmdCancel(control<QPushButton>(form, "cmdCancel")),
          sbLogin(control<platform::StatusBar>(form, "sbLogin")),
          Frame1(control<QGroupBox>(form, "Frame1")), Frame2(control<QGroupBox>(form, "Frame2")) {}

    QLabel* lblLabels;
    QLineEdit* txtUserName;
    QLabel* Label1;
    QLabel* Label5;
    QComboBox* cboComPort;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    platform::StatusBar* sbLogin;
    QGroupBox* Frame1;
    QGroupBox* Frame2;
};

// Loads `channel` as the operator does: picked in the channel list, which loads it; a channel
// the list already shows is loaded again as the window's return does.
inline void loadChannel(workbench::frmCalibrateSensor& form, const QString& channel) {
    auto* list = control<QComboBox>(form, "cboChannelNumber");
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->findText(channel), -1) << qPrintable(channel);
    if (list->currentText() == channel)
        form.LoadChannel();
    else
        list->setCurrentText(channel);
}

} // namespace testsupport
