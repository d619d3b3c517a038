#include "workbench/frm_calibrate_sensor.h"

#include "platform/form_activation.h"
#include "platform/masked_edit.h"
#include "platform/waits.h"
#include "shell/window_helpers.h"
#include "workbench/channel_table.h"
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

// Every control carries its name as object name and as accessible description, so that support
// staff, test automation and screen readers can tell which control is which.
template <typename Control> Control* named(Control* control, const QString& name) {
    control->setObjectName(name);
    control->setAccessibleDescription(name);
    return control;
}

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

    auto* acceptRow = new QHBoxLayout;
    acceptRow->addStretch(1);
    acceptRow->addWidget(cmdAccept);
    acceptRow->addStretch(1);

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
        cboChannelNumber, cboSensor,        cboRange,         cboAnalogData, medSensorRangeLo,
        medSensorLoVolts, medSensorRangeHi, medSensorHiVolts, cmdAccept,     cmdAbout,
        cmdPrevChannel,   cmdNextChannel,   cmdCancel,
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
        for (const workbench::ChannelInfo& channel : workbench::channelTable())
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
    platform::FormActivation::instance().track(this);
    connect(&platform::FormActivation::instance(), &platform::FormActivation::activated, this,
            [this](QWidget* form) {
                if (form == this)
                    Form_Activate();
            });
}

frmCalibrateSensor::DeferRule frmCalibrateSensor::deferRule(Deferred action) {
    // One line per action: what becomes of it while other work runs, and how it runs once
    // that has ended. A deferred Accept presses the button, so that it runs only if the button
    // is on by then.
    using F = frmCalibrateSensor;
    switch (action) {
    case Deferred::Reload:
        return {WhenBusy::DeferredMove, [](F& f) { f.cboChannelNumber_Click(); }};
    case Deferred::StepNext:
        return {WhenBusy::DeferredMove, [](F& f) { f.cmdNextChannel_Click(); }};
    case Deferred::StepPrev:
        return {WhenBusy::DeferredMove, [](F& f) { f.cmdPrevChannel_Click(); }};
    case Deferred::Accept:
        return {WhenBusy::DroppedDuringLoad, [](F& f) { f.cmdAccept->click(); }};
    case Deferred::Exit:
        return {WhenBusy::Deferred, [](F& f) { f.cmdCancel_Click(); }};
    case Deferred::CloseNow:
        return {WhenBusy::Deferred, [](F& f) { f.close(); }};
    case Deferred::About:
        return {WhenBusy::Deferred, [](F& f) { f.cmdAbout_Click(); }};
    case Deferred::LiveReading:
        return {WhenBusy::Dropped, nullptr};
    }
    return {WhenBusy::Dropped, nullptr}; // not reached: every action has its line above
}

bool frmCalibrateSensor::deferIfBusy(Deferred action) {
    if (!isBusy())
        return false;
    switch (deferRule(action).whenBusy) {
    case WhenBusy::Deferred:
    case WhenBusy::DeferredMove:
        defer(action);
        break;
    case WhenBusy::DroppedDuringLoad:
        if (m_loadDepth == 0)
            defer(action);
        break;
    case WhenBusy::Dropped:
        break;
    }
    return true;
}

void frmCalibrateSensor::defer(Deferred action) {
    const auto isMove = [](Deferred a) { return deferRule(a).whenBusy == WhenBusy::DeferredMove; };
    if (isMove(action))
        std::erase_if(m_deferred, isMove);
    if (std::find(m_deferred.begin(), m_deferred.end(), action) == m_deferred.end())
        m_deferred.push_back(action);
}

void frmCalibrateSensor::runDeferredWork() {
    if (isBusy() || m_unloading || m_deferred.empty())
        return;
    const Deferred next = m_deferred.front();
    m_deferred.pop_front();
    if (const auto run = deferRule(next).run)
        run(*this);
    // Whatever is left runs after this, unless this started work of its own (which then
    // picks the rest up when it ends).
    if (!m_deferred.empty() && !isBusy())
        QTimer::singleShot(0, this, [this] { runDeferredWork(); });
}

std::vector<QWidget*> frmCalibrateSensor::heldControls() const {
    return {cboChannelNumber, medSensorRangeLo, medSensorRangeHi, medSensorLoVolts,
            medSensorHiVolts};
}

void frmCalibrateSensor::watchHeldControls() {
    for (QWidget* control : heldControls())
        control->installEventFilter(this);
}

namespace {

// Everything by which an operator changes a control: keys (paste included), the mouse and its
// wheel, input methods, drag and drop, the context menu with its Paste.
bool isOperatorInput(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

} // namespace

bool frmCalibrateSensor::eventFilter(QObject* watched, QEvent* event) {
    if (isInputHeld() && isOperatorInput(event->type())) {
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmCalibrateSensor::holdInput() {
    if (m_inputHeld++ > 0)
        return;
    // No focus either: a click or Tab cannot move into them, so no field check starts.
    m_heldFocusPolicies.clear();
    for (QWidget* control : heldControls()) {
        m_heldFocusPolicies.emplace_back(control, control->focusPolicy());
        control->setFocusPolicy(Qt::NoFocus);
    }
}

void frmCalibrateSensor::releaseInput() {
    if (m_inputHeld > 1) {
        --m_inputHeld;
        return;
    }
    // Input that arrived during the last wait is still queued: it is delivered now, while
    // it is still swallowed, instead of reaching a field once the work has ended.
    platform::waits().yield();
    m_inputHeld = 0;
    for (const auto& [control, policy] : m_heldFocusPolicies)
        control->setFocusPolicy(policy);
    m_heldFocusPolicies.clear();
}

frmCalibrateSensor::ControllerWork::ControllerWork(frmCalibrateSensor& form, Kind kind,
                                                   QWidget* focusWhenDone)
    : m_form(form), m_kind(kind), m_focusWhenDone(focusWhenDone) {
    ++m_form.m_busyDepth;
    m_form.Timer1->stop();
    if (m_kind == Kind::LiveReading)
        return;
    if (m_kind == Kind::Load)
        ++m_form.m_loadDepth;
    // Held before the buttons are turned off, so that the focus they give up cannot land in a
    // setpoint field. Only the first of nested works changes the buttons and the cursor.
    m_form.holdInput();
    if (m_form.m_inputHeld > 1)
        return;
    m_form.cmdNextChannel->setEnabled(false);
    m_form.cmdPrevChannel->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (m_kind == Kind::Accept)
        m_form.cmdAccept->setEnabled(false);
}

frmCalibrateSensor::ControllerWork::~ControllerWork() {
    if (m_kind != Kind::LiveReading) {
        // Still busy, and still a load, while the input the waits held back is delivered and
        // swallowed: nothing it asks for starts now.
        const bool lastHold = m_form.m_inputHeld == 1;
        m_form.releaseInput();
        if (m_kind == Kind::Load)
            --m_form.m_loadDepth;
        if (lastHold) {
            m_form.cmdNextChannel->setEnabled(true);
            m_form.cmdPrevChannel->setEnabled(true);
            QApplication::restoreOverrideCursor();
            if (m_kind == Kind::Accept)
                m_form.cmdAccept->setEnabled(true);
        }
    }
    if (!m_form.m_unloading) {
        if (m_form.m_busyDepth == 1)
            m_form.Timer1->start();
        // A keyboard user goes on from the control that started the work.
        if (m_focusWhenDone != nullptr)
            m_focusWhenDone->setFocus(Qt::OtherFocusReason);
    }
    if (--m_form.m_busyDepth == 0 && !m_form.m_deferred.empty())
        QTimer::singleShot(0, &m_form, [form = &m_form] { form->runDeferredWork(); });
}

frmCalibrateSensor::ProgramSetsChannel::ProgramSetsChannel(frmCalibrateSensor& form)
    : m_form(form), m_before(form.iChannelButton) {
    m_form.iChannelButton = true;
}

frmCalibrateSensor::ProgramSetsChannel::~ProgramSetsChannel() {
    m_form.iChannelButton = m_before;
}

} // namespace workbench
