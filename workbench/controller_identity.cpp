// Another controller behind the same port: the operator is told once, and the channel on display
// is read again from the controller now answering, so that what is shown, sent and logged all
// belong to one controller.
#include "workbench/frm_calibrate_sensor.h"

#include "link/identity_block.h"
#include "link/protocol.h"
#include "link/transact.h"
#include "platform/message_box.h"
#include "shell/module1.h"
#include "workbench/controller_identity.h"

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

void adopt(const devicelink::IdentityValues& values) {
    using namespace Module1;
    vDisplayMicroDate = values.displayMicroDate;
    vDisplayMicroInfo = values.displayMicroInfo;
    sTerminalMicroDate = values.terminalMicroDate;
    bIdentityKnown = true;
    bIdentityUnconfirmed = false;
}

// Before each exchange (see WatchControllerIdentity).
void checkIdentityBeforeExchange(bool reopened) {
    using namespace Module1;
    // Whatever answers on a reopened port has not said who it is yet.
    if (reopened) {
        bIdentityUnconfirmed = true;
        bIdentityReadDue = true;
    }
    if (bIdentityReadDue)
        ReadIdentityAgain();
}

} // namespace

void ReadIdentityBlock(QVariant& vDisplayMicroDate, QString& vDisplayMicroInfo,
                       QString& sTerminalMicroDate) {
    using namespace Module1;
    WatchControllerIdentity();
    sCommand = devicelink::protocol::IdentityReadCommand();
    iStatus = 22;
    devicelink::Transact(sCommand, sReply, iStatus, vErrorText);
    const bool read = iStatus == 0;
    if (!read)
        devicelink::ReportCommError(iStatus, vErrorText);

    const devicelink::IdentityValues values = devicelink::CutIdentity(sReply);
    vDisplayMicroDate = values.displayMicroDate;
    vDisplayMicroInfo = values.displayMicroInfo;
    sTerminalMicroDate = values.terminalMicroDate;
    // Fields cut from a failed read name no controller: unconfirmed, and read again before the
    // next command goes on.
    bIdentityKnown = read;
    bIdentityUnconfirmed = !read;
    bIdentityReadDue = !read;
}

void ReadIdentityAgain() {
    using namespace Module1;
    using devicelink::IdentityValues;
    bIdentityReadDue = false;
    const std::optional<IdentityValues> first = devicelink::ReadIdentityOnce();
    if (!first) {
        bIdentityUnconfirmed = true;
        return;
    }
    const QString before = IdentityText();
    const auto textOf = [](const IdentityValues& values) {
        return devicelink::IdentityText(values);
    };
    // Nothing to compare with (the start-up read failed), or the same controller.
    if (!bIdentityKnown || textOf(*first) == before) {
        adopt(*first);
        return;
    }
    const std::optional<IdentityValues> second = devicelink::ReadIdentityOnce();
    if (!second || (textOf(*second) != before && textOf(*second) != textOf(*first))) {
        // Two answers that disagree name no controller.
        bIdentityUnconfirmed = true;
        return;
    }
    if (textOf(*second) == before) {
        // The first answer was disturbed; the controller is the one read before.
        bIdentityUnconfirmed = false;
        return;
    }
    // Another controller. When the operator has not yet been told of an earlier change, the
    // identity to tell of is still the one before that.
    if (sReplacedIdentity.isEmpty())
        sReplacedIdentity = before;
    adopt(*second);
    ++iControllerChanges;
    // Back to the controller the operator last heard of: nothing to tell.
    if (sReplacedIdentity == IdentityText())
        sReplacedIdentity.clear();
}

void NoteSilence() {
    Module1::bIdentityUnconfirmed = true;
    Module1::bIdentityReadDue = true;
}

QString IdentityText() {
    using namespace Module1;
    return devicelink::IdentityText(vDisplayMicroDate, vDisplayMicroInfo, sTerminalMicroDate);
}

void WatchControllerIdentity() {
    devicelink::SetExchangeCheck(&checkIdentityBeforeExchange);
}

bool frmCalibrateSensor::NoticeAnotherController(bool acceptStopped) {
    using namespace Module1;
    if (!sReplacedIdentity.isEmpty()) {
        QString text = kAnotherControllerText.arg(sReplacedIdentity, IdentityText());
        if (acceptStopped)
            text += kAcceptStoppedText;
        // Told once: the next change is told of again.
        sReplacedIdentity.clear();
        platform::MsgBox(text, platform::vbOKOnly, kAnotherControllerTitle);
    }
    if (iControllerChanges == m_loadedChanges)
        return false;
    // The sensor type, unit and limits on display are the previous controller's.
    defer(Deferred::Reload);
    return true;
}

} // namespace workbench
