// Another controller behind the same port: the operator is told once, and the channel on display
// is read again from the controller now answering, so that what is shown, sent and logged all
// belong to one controller.
#include "workbench/frm_calibrate_sensor.h"

#include "app/module1.h"
#include "link/identity_block.h"
#include "platform/message_box.h"

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
