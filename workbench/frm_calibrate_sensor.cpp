#include "workbench/frm_calibrate_sensor.h"

#include "platform/system/waits.h"
#include "platform/widgets/form_activation.h"
#include "platform/widgets/masked_edit.h"
#include "records/channel_table.h"
#include "shell/window_helpers.h"
#include "workbench/controller_identity.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace workbench {

namespace {

// Every control carries its name (shell::named).
using shell::named;

QLabel* label(const QString& name, const QString& caption, QWidget* parent) {
    return named(new QLabel(caption, parent), name);
}

// A text field that only shows a value. It has no caption of its own, so it gets a spoken name.
QLineEdit* displayField(const QString& name, const QString& spokenName, QWidget* parent) {
    auto* field = named(new QLineEdit(parent), name);
    field->setReadOnly(true);
    field->setAccessibleName(spokenName);
    return field;
}

platform::MaskEdBox* setpointField(const QString& name, const QString& spokenName,
                                   QWidget* parent) {
    auto* field = named(new platform::MaskEdBox(parent), name);
    field->setAccessibleName(spokenName);
    return field;
}

// None of the buttons is the dialog's default button: Enter in a field presses nothing.
QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// The live reading is shown in the fixed-pitch "Terminal" font, 9 point, where one is
// installed, otherwise in the system's fixed-pitch font.
QFont liveReadingFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Terminal"), font.family()});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(9);
    return font;
}

} // namespace

frmCalibrateSensor::frmCalibrateSensor(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmCalibrateSensor"));
    setAccessibleDescription(objectName());
    setWindowTitle(QStringLiteral("Calibrate Sensors"));
    createControls();
    layOutControls();
    setUpTabOrder();
    connectHandlers();
    connectSetpointFields();
    watchHeldControls();
    // A channel on display that came from the controller another one has replaced is read
    // again (NoticeAnotherController).
    connect(&ControllerIdentity::instance(), &ControllerIdentity::anotherControllerAnswers, this,
            [this] { m_loadedFromReplacedController = true; });
    Form_Load();
}

void frmCalibrateSensor::createControls() {
    Frame3 = named(new QFrame(this), QStringLiteral("Frame3"));
    Frame3->setFrameShape(QFrame::Box);
    Frame3->setFrameShadow(QFrame::Sunken);

    Frame1 = named(new QFrame(Frame3), QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);
    lblChannelNumber = label(QStringLiteral("lblChannelNumber"), "Channel Number", Frame1);
    lblSensor = label(QStringLiteral("lblSensor"), "Sensor Selection", Frame1);
    lblUnits = label(QStringLiteral("lblUnits"), "Units", Frame1);
    cboChannelNumber = named(new QComboBox(Frame1), QStringLiteral("cboChannelNumber"));
    cboChannelNumber->setEditable(false);
    cboChannelNumber->setAccessibleName(QStringLiteral("Channel number"));
    cboSensor = displayField(QStringLiteral("cboSensor"), "Sensor type", Frame1);
    cboRange = displayField(QStringLiteral("cboRange"), "Sensor unit", Frame1);

    Frame2 = named(new QGroupBox(QStringLiteral(" Calibration Setpoints "), Frame3),
                   QStringLiteral("Frame2"));
    lblCurrentData = label(QStringLiteral("lblCurrentData"), "Current Data:", Frame2);
    cboAnalogData = displayField(QStringLiteral("cboAnalogData"), "Current data", Frame2);
    cboAnalogData->setFont(liveReadingFont());
    Line1 = named(new QFrame(Frame2), QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    lblSensorRange = label(QStringLiteral("lblSensorRange"), "Sensor Range", Frame2);
    lblSensorVoltage = label(QStringLiteral("lblSensorVoltage"), "Sensor Voltage", Frame2);
    lblLow = label(QStringLiteral("lblLow"), "Low:", Frame2);
    lblHigh = label(QStringLiteral("lblHigh"), "High:", Frame2);

    // The range fields get their mask with each channel's unit; the voltage mask is fixed.
    medSensorRangeLo =
        setpointField(QStringLiteral("medSensorRangeLo"), "Sensor range, low", Frame2);
    medSensorRangeHi =
        setpointField(QStringLiteral("medSensorRangeHi"), "Sensor range, high", Frame2);
    medSensorLoVolts =
        setpointField(QStringLiteral("medSensorLoVolts"), "Sensor voltage, low", Frame2);
    medSensorHiVolts =
        setpointField(QStringLiteral("medSensorHiVolts"), "Sensor voltage, high", Frame2);
    for (platform::MaskEdBox* volts : {medSensorLoVolts, medSensorHiVolts}) {
        volts->setMaxLength(5);
        volts->setMask(QStringLiteral("#.###"));
    }
    cmdAccept = button(QStringLiteral("cmdAccept"), "Accept", Frame2);
    // Tests against a reference, either side of Accept in its row.
    cmdJob = button(QStringLiteral("cmdJob"), "&Job...", Frame2);
    cmdJob->setToolTip(QStringLiteral("Job details, reference instrument and controller tag."));
    cmdVerify = button(QStringLiteral("cmdVerify"), "&Verify", Frame2);
    cmdVerify->setToolTip(QStringLiteral("Tests the channel against a reference."));

    cmdAbout = button(QStringLiteral("cmdAbout"), "Info", this);
    cmdPrevChannel = button(QStringLiteral("cmdPrevChannel"), "Previous &Channel", this);
    cmdPrevChannel->setToolTip(QStringLiteral("Displays previous channel data."));
    cmdNextChannel = button(QStringLiteral("cmdNextChannel"), "   &Next   Channel", this);
    cmdNextChannel->setToolTip(QStringLiteral("Displays the next channels data."));
    cmdCancel = button(QStringLiteral("cmdCancel"), "&Exit", this);
    cmdCancel->setToolTip(QStringLiteral("Cancels Programming."));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer1->setSingleShot(false);

    lblChannelNumber->setBuddy(cboChannelNumber);
    lblSensor->setBuddy(cboSensor);
    lblUnits->setBuddy(cboRange);
    lblCurrentData->setBuddy(cboAnalogData);
}

void frmCalibrateSensor::layOutControls() {
    // Channel group: three captions over the channel list and the sensor type and unit.
    auto* channelGrid = new QGridLayout(Frame1);
    channelGrid->addWidget(lblChannelNumber, 0, 0);
    channelGrid->addWidget(lblSensor, 0, 1);
    channelGrid->addWidget(lblUnits, 0, 2);
    channelGrid->addWidget(cboChannelNumber, 1, 0);
    channelGrid->addWidget(cboSensor, 1, 1);
    channelGrid->addWidget(cboRange, 1, 2);

    // Setpoints: the live reading, a line, then range and voltage columns in Low and High rows,
    // Accept at the foot.
    auto* currentRow = new QHBoxLayout;
    currentRow->addWidget(lblCurrentData);
    currentRow->addWidget(cboAnalogData, 1);

    auto* setpointGrid = new QGridLayout;
    setpointGrid->addWidget(lblSensorRange, 0, 1, Qt::AlignHCenter);
    setpointGrid->addWidget(lblSensorVoltage, 0, 2, Qt::AlignHCenter);
    setpointGrid->addWidget(lblLow, 1, 0, Qt::AlignRight);
    setpointGrid->addWidget(medSensorRangeLo, 1, 1);
    setpointGrid->addWidget(medSensorLoVolts, 1, 2);
    setpointGrid->addWidget(lblHigh, 2, 0, Qt::AlignRight);
    setpointGrid->addWidget(medSensorRangeHi, 2, 1);
    setpointGrid->addWidget(medSensorHiVolts, 2, 2);

    // Job and Verify take the room either side of Accept, equally wide, so that Accept stays
    // in the middle and the row no wider than the fields above it: nothing else moves.
    auto* acceptRow = new QHBoxLayout;
    const int testButtonWidth = qMax(cmdJob->sizeHint().width(), cmdVerify->sizeHint().width());
    cmdJob->setFixedWidth(testButtonWidth);
    cmdVerify->setFixedWidth(testButtonWidth);
    acceptRow->addWidget(cmdJob);
    acceptRow->addStretch(1);
    acceptRow->addWidget(cmdAccept);
    acceptRow->addStretch(1);
    acceptRow->addWidget(cmdVerify);

    auto* setpoints = new QVBoxLayout(Frame2);
    setpoints->addLayout(currentRow);
    setpoints->addWidget(Line1);
    setpoints->addLayout(setpointGrid);
    setpoints->addLayout(acceptRow);

    auto* outer = new QVBoxLayout(Frame3);
    outer->addWidget(Frame1);
    outer->addWidget(Frame2);

    // Buttons along the bottom edge: Info on the left, stepping and Exit on the right.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAbout);
    buttons->addStretch(1);
    buttons->addWidget(cmdPrevChannel);
    buttons->addWidget(cmdNextChannel);
    buttons->addWidget(cmdCancel);

    auto* form = new QVBoxLayout(this);
    form->addWidget(Frame3);
    form->addLayout(buttons);
    form->setSizeConstraint(QLayout::SetFixedSize);
}

void frmCalibrateSensor::setUpTabOrder() {
    QWidget* const order[] = {
        cboChannelNumber, cboSensor,        cboRange,         cboAnalogData,  medSensorRangeLo,
        medSensorLoVolts, medSensorRangeHi, medSensorHiVolts, cmdAccept,      cmdVerify,
        cmdJob,           cmdAbout,         cmdPrevChannel,   cmdNextChannel, cmdCancel,
    };
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmCalibrateSensor::Form_Load() {
    // Each step stands on its own: none of them can stop the ones after it.
    // The form takes its laid-out size first, since it has not been shown yet.
    adjustSize();
    shell::CenterForm(*this);

    // The live reading's refresh runs from now on.
    Timer1->start();

    // Filled quietly and left without a selection, so that the one selection below is the
    // first the list reports.
    {
        const QSignalBlocker quiet(cboChannelNumber);
        cboChannelNumber->clear();
        for (const records::ChannelInfo& channel : records::channelTable())
            cboChannelNumber->addItem(channel.listText.toString());
        cboChannelNumber->setCurrentIndex(-1);
    }

    // Channel 30 is selected without loading it; the first load comes when the form is shown.
    {
        const ProgramSetsChannel programSets(*this);
        cboChannelNumber->setCurrentText(QStringLiteral("30"));
    }

    cboSensor->setEnabled(false);
    cboRange->setEnabled(false);
    cboAnalogData->setText(QString());
}

void frmCalibrateSensor::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        cmdCancel->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmCalibrateSensor::connectHandlers() {
    connect(cboChannelNumber, &QComboBox::currentIndexChanged, this,
            &frmCalibrateSensor::cboChannelNumber_Click);
    connect(Timer1, &QTimer::timeout, this, &frmCalibrateSensor::Timer1_Timer);
    connect(cmdNextChannel, &QPushButton::clicked, this, &frmCalibrateSensor::cmdNextChannel_Click);
    connect(cmdPrevChannel, &QPushButton::clicked, this, &frmCalibrateSensor::cmdPrevChannel_Click);
    connect(cmdAccept, &QPushButton::clicked, this, &frmCalibrateSensor::cmdAccept_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmCalibrateSensor::cmdCancel_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &frmCalibrateSensor::cmdAbout_Click);
    connect(cmdJob, &QPushButton::clicked, this, &frmCalibrateSensor::cmdJob_Click);
    connect(cmdVerify, &QPushButton::clicked, this, &frmCalibrateSensor::cmdVerify_Click);
    connect(&m_jobStore, &records::JobStore::changed, this, &frmCalibrateSensor::RecordJobChanges);
    platform::FormActivation::instance().track(this);
    connect(&platform::FormActivation::instance(), &platform::FormActivation::activated, this,
            [this](QWidget* form) {
                if (form == this)
                    Form_Activate();
            });
}

} // namespace workbench
