// Reading two lines of the controller's setup table.
#include "workbench/frm_calibrate_sensor.h"

#include "link/protocol.h"
#include "link/transact.h"
#include "workbench/controller_identity.h"

namespace workbench {

namespace {

// One table read: ">(00TRX nnn)" with the address in three digits, waiting for the
// controller's 13-character reply, once the controller's identity has been read again if
// that is owed.
devicelink::ExchangeResult readTableLine(qint32 address) {
    ControllerIdentity::instance().recheckBeforeCommand();
    return devicelink::Exchange(devicelink::protocol::TableReadCommand(address),
                                devicelink::ReplyWait::TableLine);
}

// A reply that carries no setup word (a byte field that reads as no byte) is a failed read,
// exactly as one that never came.
void failUnlessSetupWord(devicelink::ExchangeResult& read) {
    if (read.failed() || devicelink::protocol::TableReplyWord(read.reply))
        return;
    read.status = devicelink::kRetryErrorStatus;
    read.errorText = QString::fromLatin1(devicelink::kRetryErrorText);
}

} // namespace

bool frmCalibrateSensor::SendData(const qint32& oAddress, QByteArray& sLineNo,
                                  QByteArray& sLineNo2) {
    devicelink::ExchangeResult first = readTableLine(oAddress);
    sLineNo = first.reply;
    failUnlessSetupWord(first);
    // The second line is read as the controller expects, but its content is never used
    // (its layout is not the same on every address), so only a read that failed outright
    // counts.
    const devicelink::ExchangeResult second = readTableLine(oAddress + 1);
    sLineNo2 = second.reply;
    // One report per call. A failed first read is reported too: its reply is the setup word
    // the channel is shown with, and without a report the technician would see a made-up
    // sensor type.
    if (second.failed())
        devicelink::ReportCommError(second.status, second.errorText);
    else if (first.failed())
        devicelink::ReportCommError(first.status, first.errorText);
    return !first.failed();
}

} // namespace workbench
