// The calibration workbench window: one analog channel of the TQ-8400 at a time, its sensor
// type and unit as the controller holds them, the live reading, and the four setpoints the
// technician calibrates.
#pragma once

#include <QDialog>
#include <QtGlobal>

class QComboBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace platform {
class MaskEdBox;
}

class frmCalibrateSensor : public QDialog {
    Q_OBJECT

  public:
    // Builds the controls and runs Form_Load.
    explicit frmCalibrateSensor(QWidget* parent = nullptr);

    // Working state of the channel on display, rebuilt by every channel load.

    // Default low range value (0, 5, -15 or -40).
    double iSensorRangeLo = 0.0;
    // 1 while the program itself sets the channel list's selection, so that the selection it
    // raises does not load the channel a second time; 0 otherwise.
    int iChannelButton = 0;
    // Default low and high sensor voltages of the sensor type.
    double oSensorLoVolts = 0.0;
    double oSensorHiVolts = 0.0;
    // Scratch number of the channel load and the setpoint checks.
    float Temp = 0.0f;
    // Setup-word address of the channel on display (112 to 125); during an accept the
    // report-file offset of the channel.
    qint32 oAddress = 0;

    // Controls, each named as the window's controls have always been named.
    QFrame* Frame3 = nullptr;
    QFrame* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QFrame* Line1 = nullptr;

    QLabel* lblChannelNumber = nullptr;
    QLabel* lblSensor = nullptr;
    QLabel* lblUnits = nullptr;
    QLabel* lblCurrentData = nullptr;
    QLabel* lblSensorRange = nullptr;
    QLabel* lblSensorVoltage = nullptr;
    QLabel* lblLow = nullptr;
    QLabel* lblHigh = nullptr;

    // Drop-down list of the fourteen channel numbers.
    QComboBox* cboChannelNumber = nullptr;
    // Read-only texts: sensor type, unit and the live reading.
    QLineEdit* cboSensor = nullptr;
    QLineEdit* cboRange = nullptr;
    QLineEdit* cboAnalogData = nullptr;

    platform::MaskEdBox* medSensorRangeLo = nullptr;
    platform::MaskEdBox* medSensorRangeHi = nullptr;
    platform::MaskEdBox* medSensorLoVolts = nullptr;
    platform::MaskEdBox* medSensorHiVolts = nullptr;

    QPushButton* cmdAccept = nullptr;
    QPushButton* cmdPrevChannel = nullptr;
    QPushButton* cmdNextChannel = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdAbout = nullptr;

    // Refresh timer of the live reading, 1000 ms.
    QTimer* Timer1 = nullptr;

    // Centres the form, starts Timer1, fills the channel list and selects channel 30 without
    // loading it, and disables the sensor type and unit fields.
    void Form_Load();

    // Turns the setup code of the channel on display (`Module1::vChannelIndex`,
    // `Module1::sChannelSetup`) into the sensor type and unit texts, the default range values
    // and voltages, and the state of the two voltage fields; then repaints the form. Leaves the
    // four setpoint texts alone.
    void GetSensorData();

    // Stores the report-file offset of the channel the channel list shows into `oAddress`;
    // leaves it as it was when the list shows no channel number.
    void GetFileAddress(qint32& oAddress);

    // Moves the form to the middle of its screen's work area (the screen minus the task bar);
    // an odd remainder is dropped, so the form sits half a pixel left of or above the centre.
    void centerOnWorkArea();

  protected:
    // Esc presses the Exit button instead of closing the window.
    void keyPressEvent(QKeyEvent* event) override;

  private slots:
    void cboChannelNumber_Click();

  private:
    void createControls();
    void layOutControls();
    void setUpTabOrder();
};
