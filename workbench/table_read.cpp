// Reading two lines of the controller's setup table.
#include "workbench/frm_calibrate_sensor.h"

#include "link/protocol.h"
#include "link/transact.h"
#include "shell/module1.h"

namespace workbench {

namespace {

// One table read: ">(00TRX nnn)" with the address in three digits, waiting for the
// controller's 13-character reply.
qint16 readTableLine(qint32 address, QByteArray& reply, QString& errorText) {
    using namespace Module1;
    sCommand = devicelink::protocol::TableReadCommand(address);
    iStatus = -3;
    devicelink::Transact(sCommand, sReply, iStatus, vErrorText);
    reply = sReply;
    errorText = vErrorText;
    return iStatus;
}

// A reply that carries no setup word (a byte field that reads as no byte) is a failed read,
// exactly as one that never came.
void failUnlessSetupWord(const QByteArray& reply, qint16& status, QString& errorText) {
    if (status != 0 || devicelink::protocol::TableReplyWord(reply))
        return;
    status = devicelink::kRetryErrorStatus;
    errorText = QString::fromLatin1(devicelink::kRetryErrorText);
}

} // namespace

bool frmCalibrateSensor::SendData(const qint32& oAddress, QByteArray& sLineNo,
                                  QByteArray& sLineNo2) {
    QString firstError;
    QString secondError;
    qint16 firstStatus = readTableLine(oAddress, sLineNo, firstError);
    failUnlessSetupWord(sLineNo, firstStatus, firstError);
    // The second line is read as the controller expects, but its content is never used
    // (its layout is not the same on every address), so only a read that failed outright
    // counts.
    const qint16 secondStatus = readTableLine(oAddress + 1, sLineNo2, secondError);
    // One report per call. A failed first read is reported too: its reply is the setup word
    // the channel is shown with, and without a report the technician would see a made-up
    // sensor type.
    if (secondStatus > 0)
        devicelink::ReportCommError(secondStatus, secondError);
    else if (firstStatus > 0)
        devicelink::ReportCommError(firstStatus, firstError);
    return firstStatus == 0;
}

} // namespace workbench
