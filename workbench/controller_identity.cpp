// Another controller behind the same port: the operator is told once, and the channel on display
// is read again from the controller now answering, so that what is shown, sent and logged all
// belong to one controller.
#include "workbench/controller_identity.h"

#include "link/identity_block.h"
#include "link/protocol.h"
#include "link/transact.h"
#include "platform/widgets/message_box.h"
#include "shell/module1.h"
#include "workbench/frm_calibrate_sensor.h"

#include <optional>
#include <utility>

namespace workbench {

namespace {

const QString kAnotherControllerTitle = QStringLiteral("Another Controller");
// %1 the identity read before, %2 the identity now.
const QString kAnotherControllerText =
    QStringLiteral("Another controller now answers on this port.\r\n"
                   "Before: %1\r\n"
                   "Now: %2\r\n"
                   "CalData.txt may hold rows of the previous controller: a row stands for this "
                   "controller only once its channel has been accepted again.\r\n"
                   "The channel on display is read again from this controller.");
const QString kAcceptStoppedText =
    QStringLiteral("\r\nThe Accept has sent nothing; check the setpoints and press Accept again.");

} // namespace

ControllerIdentity& ControllerIdentity::instance() {
    static ControllerIdentity identity;
    return identity;
}

void ControllerIdentity::ReadIdentityBlock(QVariant& vDisplayMicroDate, QString& vDisplayMicroInfo,
                                           QString& sTerminalMicroDate) {
    recheckBeforeCommand();
    const devicelink::ExchangeResult block = devicelink::Exchange(
        devicelink::protocol::IdentityReadCommand(), devicelink::ReplyWait::IdentityBlock);
    const bool read = !block.failed();
    if (!read)
        devicelink::ReportCommError(block.status, block.errorText);

    const devicelink::IdentityValues values = devicelink::CutIdentity(block.reply);
    vDisplayMicroDate = values.displayMicroDate;
    vDisplayMicroInfo = values.displayMicroInfo;
    sTerminalMicroDate = values.terminalMicroDate;
    // Fields cut from a failed read name no controller: unconfirmed, and read again before the
    // next command goes on.
    m_known = read;
    m_readOwed = !read;
    setUnconfirmed(!read);
}

void ControllerIdentity::recheckBeforeCommand() {
    if (devicelink::LostDeviceHold::held())
        return;
    // Whatever answers on a reopened port has not said who it is yet.
    if (devicelink::ReopenLostDevice()) {
        m_readOwed = true;
        setUnconfirmed(true);
    }
    if (m_readOwed)
        readAgain();
}

void ControllerIdentity::noteSilence() {
    m_readOwed = true;
    setUnconfirmed(true);
}

QString ControllerIdentity::takeReplacedIdentity() {
    return std::exchange(m_replaced, QString());
}

QString ControllerIdentity::text() const {
    using namespace Module1;
    return devicelink::IdentityText(vDisplayMicroDate, vDisplayMicroInfo, sTerminalMicroDate);
}

void ControllerIdentity::reset() {
    m_unconfirmed = false;
    m_readOwed = false;
    m_known = false;
    m_changes = 0;
    m_replaced.clear();
}

void ControllerIdentity::readAgain() {
    using devicelink::IdentityValues;
    m_readOwed = false;
    const std::optional<IdentityValues> first = devicelink::ReadIdentityOnce();
    if (!first) {
        setUnconfirmed(true);
        return;
    }
    const QString before = text();
    const auto textOf = [](const IdentityValues& values) {
        return devicelink::IdentityText(values);
    };
    // Nothing to compare with (the start-up read failed), or the same controller.
    if (!m_known || textOf(*first) == before) {
        adopt(*first);
        return;
    }
    const std::optional<IdentityValues> second = devicelink::ReadIdentityOnce();
    if (!second || (textOf(*second) != before && textOf(*second) != textOf(*first))) {
        // Two answers that disagree name no controller.
        setUnconfirmed(true);
        return;
    }
    if (textOf(*second) == before) {
        // The first answer was disturbed; the controller is the one read before.
        setUnconfirmed(false);
        return;
    }
    // Another controller. When the operator has not yet been told of an earlier change, the
    // identity to tell of is still the one before that.
    if (m_replaced.isEmpty())
        m_replaced = before;
    adopt(*second);
    ++m_changes;
    // Back to the controller the operator last heard of: nothing to tell.
    if (m_replaced == text())
        m_replaced.clear();
    emit anotherControllerAnswers();
}

void ControllerIdentity::adopt(const devicelink::IdentityValues& values) {
    using namespace Module1;
    vDisplayMicroDate = values.displayMicroDate;
    vDisplayMicroInfo = values.displayMicroInfo;
    sTerminalMicroDate = values.terminalMicroDate;
    m_known = true;
    setUnconfirmed(false);
}

void ControllerIdentity::setUnconfirmed(bool unconfirmed) {
    if (m_unconfirmed == unconfirmed)
        return;
    m_unconfirmed = unconfirmed;
    emit confirmationChanged(unconfirmed);
}

bool frmCalibrateSensor::NoticeAnotherController(bool acceptStopped) {
    const QString replaced = ControllerIdentity::instance().takeReplacedIdentity();
    if (!replaced.isEmpty()) {
        QString text = kAnotherControllerText.arg(replaced, ControllerIdentity::instance().text());
        if (acceptStopped)
            text += kAcceptStoppedText;
        // Told once: the next change is told of again.
        platform::MsgBox(text, platform::vbOKOnly, kAnotherControllerTitle);
    }
    if (!m_loadedFromReplacedController)
        return false;
    // The sensor type, unit and limits on display are the previous controller's.
    defer(Request::Reload);
    return true;
}

} // namespace workbench
