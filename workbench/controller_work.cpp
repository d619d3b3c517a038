// Work on the controller: what a load, an accept and a live reading hold while they run, and
// what becomes of the operator's requests meanwhile (see the header's opening comment).
#include "workbench/frm_calibrate_sensor.h"

#include "platform/system/waits.h"
#include "platform/widgets/masked_edit.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace workbench {

frmCalibrateSensor::DeferRule frmCalibrateSensor::deferRule(Request action) {
    // One line per action: what becomes of it while other work runs, and how it runs once
    // that has ended. A deferred Accept presses the button, so that it runs only if the button
    // is on by then.
    using F = frmCalibrateSensor;
    switch (action) {
    case Request::Reload:
        return {WhenBusy::WaitsAsLastMove, [](F& f) { f.cboChannelNumber_Click(); }};
    case Request::StepNext:
        return {WhenBusy::WaitsAsLastMove, [](F& f) { f.cmdNextChannel_Click(); }};
    case Request::StepPrev:
        return {WhenBusy::WaitsAsLastMove, [](F& f) { f.cmdPrevChannel_Click(); }};
    case Request::Accept:
        return {WhenBusy::DroppedDuringLoad, [](F& f) { f.cmdAccept->click(); }};
    case Request::Exit:
        return {WhenBusy::Waits, [](F& f) { f.cmdCancel_Click(); }};
    case Request::CloseNow:
        return {WhenBusy::Waits, [](F& f) { f.close(); }};
    case Request::About:
        return {WhenBusy::Waits, [](F& f) { f.cmdAbout_Click(); }};
    case Request::Job:
        return {WhenBusy::Waits, [](F& f) { f.cmdJob_Click(); }};
    case Request::Verify:
        return {WhenBusy::DroppedDuringLoad, [](F& f) { f.cmdVerify->click(); }};
    case Request::LiveReading:
        return {WhenBusy::Dropped, nullptr};
    }
    return {WhenBusy::Dropped, nullptr}; // not reached: every action has its line above
}

bool frmCalibrateSensor::deferIfBusy(Request action) {
    if (!isBusy())
        return false;
    switch (deferRule(action).whenBusy) {
    case WhenBusy::Waits:
    case WhenBusy::WaitsAsLastMove:
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

void frmCalibrateSensor::defer(Request action) {
    const auto isMove = [](Request a) {
        return deferRule(a).whenBusy == WhenBusy::WaitsAsLastMove;
    };
    if (isMove(action))
        std::erase_if(m_waiting, isMove);
    if (std::find(m_waiting.begin(), m_waiting.end(), action) == m_waiting.end())
        m_waiting.push_back(action);
}

void frmCalibrateSensor::runDeferredWork() {
    if (isBusy() || m_unloading || m_waiting.empty())
        return;
    const Request next = m_waiting.front();
    m_waiting.pop_front();
    if (const auto run = deferRule(next).run)
        run(*this);
    // Whatever is left runs after this, unless this started work of its own (which then
    // picks the rest up when it ends).
    if (!m_waiting.empty() && !isBusy())
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
    for (QWidget* button : buttonsTurnedOff())
        button->setEnabled(false);
    if (m_kind != Kind::Verify)
        QApplication::setOverrideCursor(Qt::WaitCursor);
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
            for (QWidget* button : buttonsTurnedOff())
                button->setEnabled(true);
            if (m_kind != Kind::Verify)
                QApplication::restoreOverrideCursor();
        }
    }
    if (!m_form.m_unloading) {
        if (m_form.m_busyDepth == 1)
            m_form.Timer1->start();
        // A keyboard user goes on from the control that started the work.
        if (m_focusWhenDone != nullptr)
            m_focusWhenDone->setFocus(Qt::OtherFocusReason);
    }
    if (--m_form.m_busyDepth == 0 && !m_form.m_waiting.empty())
        QTimer::singleShot(0, &m_form, [form = &m_form] { form->runDeferredWork(); });
}

std::vector<QWidget*> frmCalibrateSensor::ControllerWork::buttonsTurnedOff() const {
    std::vector<QWidget*> buttons{m_form.cmdNextChannel, m_form.cmdPrevChannel};
    if (m_kind == Kind::Accept)
        buttons.push_back(m_form.cmdAccept);
    if (m_kind == Kind::Verify) {
        buttons.push_back(m_form.cmdAccept);
        buttons.push_back(m_form.cmdVerify);
    }
    return buttons;
}

frmCalibrateSensor::ProgramSetsChannel::ProgramSetsChannel(frmCalibrateSensor& form)
    : m_form(form), m_before(form.iChannelButton) {
    m_form.iChannelButton = true;
}

frmCalibrateSensor::ProgramSetsChannel::~ProgramSetsChannel() {
    m_form.iChannelButton = m_before;
}

} // namespace workbench
