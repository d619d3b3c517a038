// Accept: writing the channel's calibration into the controller and recording it.
#include "workbench/frm_calibrate_sensor.h"

#include "codec/message_number.h"
#include "link/protocol.h"
#include "link/transact.h"
#include "platform/serial/pdq.h"
#include "platform/widgets/masked_edit.h"
#include "platform/widgets/message_box.h"
#include "records/calibration_log.h"
#include "records/channel_table.h"
#include "shell/module1.h"
#include "workbench/calibration_log_entry.h"
#include "workbench/controller_identity.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <vector>

namespace workbench {

namespace {

// A field holds a number when at least one digit can be read from it.
bool holdsNumber(const QString& text) {
    for (const QChar c : text)
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            return true;
    return false;
}

// Sends one write command and keeps the controller's reply as received. The Accept holds a
// lost device lost meanwhile (LostDeviceHold), so no identity read comes between its commands.
devicelink::ExchangeResult sendWriteCommand(const QString& line, std::vector<QByteArray>& replies) {
    devicelink::ExchangeResult written =
        devicelink::Exchange(line, devicelink::ReplyWait::OneSecond);
    replies.push_back(written.reply);
    return written;
}

// Why a write command could not be sent, when the device is lost; empty otherwise.
QString notSentReason(bool lostBeforeWrite) {
    const auto& comm = platform::PDQ().Comm1();
    if (!comm.deviceLost())
        return QString();
    return (lostBeforeWrite ? QStringLiteral("not sent: the device is lost and did not open "
                                             "again (%1)")
                            : QStringLiteral("not sent: the device was lost during the Accept "
                                             "and is not opened again before it ends (%1)"))
        .arg(comm.lastError());
}

} // namespace

AcceptSnapshot frmCalibrateSensor::TakeAcceptSnapshot() const {
    AcceptSnapshot snapshot;
    // The channel last loaded is the one on display: its setup word, defaults and reading are
    // what the operator sees, even if the list has been turned meanwhile.
    if (Module1::vChannelIndex)
        snapshot.channel = records::channelByIndex(*Module1::vChannelIndex);
    snapshot.loVolts = medSensorLoVolts->Text();
    snapshot.hiVolts = medSensorHiVolts->Text();
    snapshot.rangeLo = medSensorRangeLo->Text();
    snapshot.rangeHi = medSensorRangeHi->Text();
    snapshot.sensorType = cboSensor->text();
    snapshot.unit = cboRange->text();
    snapshot.reading = cboAnalogData->text();
    return snapshot;
}

void frmCalibrateSensor::cmdAccept_Click() {
    // During a load the fields are about to be replaced, so the press is dropped; during a
    // live reading it runs as soon as the reading has ended.
    if (deferIfBusy(Request::Accept))
        return;
    const AcceptSnapshot accepted = TakeAcceptSnapshot();
    if (accepted.channel == nullptr)
        return; // no channel loaded yet

    // Never a command from a field that holds no number: say which one and send nothing.
    const std::pair<const QString*, const char*> fields[] = {
        {&accepted.loVolts, "Low Sensor Voltage"},
        {&accepted.hiVolts, "High Sensor Voltage"},
        {&accepted.rangeLo, "Low Sensor Range"},
        {&accepted.rangeHi, "High Sensor Range"},
    };
    for (const auto& [text, name] : fields) {
        if (!holdsNumber(*text)) {
            platform::MsgBox(QStringLiteral("%1 does not hold a number. Please enter a value "
                                            "before you Accept.")
                                 .arg(QLatin1String(name)),
                             platform::vbOKOnly, QStringLiteral("Invalid Data"));
            return;
        }
    }

    // Never a calibration that puts the low end above the high end.
    if (RefuseInvertedPair(accepted))
        return;

    // The log's line comes from the same snapshot as the commands and the record; an Accept
    // refused above sent nothing and is not logged.
    records::CalibrationLogEntry logged = workbench::calibrationLogEntry(accepted);

    // From here the channel list and the fields take no input until the Accept has ended:
    // what is shown stays what is sent and recorded. A keyboard user then goes on from where
    // the Accept was pressed.
    const ControllerWork work(*this, ControllerWork::Kind::Accept, cmdAccept);
    cboAnalogData->clear();
    cboAnalogData->repaint();

    // Before the first write command: a lost device is tried once more and an identity read
    // that is owed is made, so the Accept knows which controller it writes to. Should another
    // controller answer than the one the channel was loaded from, the Accept sends nothing.
    ControllerIdentity::instance().recheckBeforeCommand();
    if (NoticeAnotherController(true))
        return;
    workbench::noteControllerIdentity(logged);
    logged.controllerTag = CurrentControllerTag();
    // From the first write command to the end of the Accept a lost device stays lost: the rest
    // fails at once rather than going to whatever controller answers on the port by then.
    const devicelink::LostDeviceHold hold;
    const bool lostBeforeWrite = platform::PDQ().Comm1().deviceLost();

    const QString calibration = devicelink::protocol::CalibrationCommand(
        accepted.channel->slot, devicelink::protocol::ConverterCount(accepted.loVolts),
        accepted.rangeLo, devicelink::protocol::ConverterCount(accepted.hiVolts), accepted.rangeHi);

    // All three are always sent, in this order, whatever became of the one before. The first
    // failure is shown in the Accept's own box; one pulled cable makes all three fail, and the
    // operator is told once per Accept, not three times.
    bool failureShown = false;
    std::vector<QByteArray> replies;
    for (const QString& line : {devicelink::protocol::CalibrationOnCommand(), calibration,
                                devicelink::protocol::CalibrationOffCommand()}) {
        const devicelink::ExchangeResult written = sendWriteCommand(line, replies);
        if (written.failed() && !failureShown) {
            failureShown = true;
            logged.controllerWrite = records::writeFailureText(written.status, written.errorText,
                                                               notSentReason(lostBeforeWrite));
            platform::MsgBox(QStringLiteral("ERROR Occurred. iStatus = ") +
                                 codec::MessageNumberText(written.status) + QStringLiteral(", ") +
                                 written.errorText,
                             platform::vbOKOnly, QStringLiteral("Communications Error"));
        }
    }

    // The channel's setpoints may have changed from here, even after a failed write: its
    // next test is an as-left test, of readings taken from now on.
    m_verification.noteAccept(logged.channel, QDateTime::currentDateTime());
    if (!failureShown)
        logged.controllerWrite = records::kWriteOk;
    logged.writeReplies = records::writeRepliesText(replies);

    ReadAnalogValues();
    logged.readingAfter = cboAnalogData->text();

    const ReportUpdate report = UpdateReportFile(accepted, !failureShown);
    if (report.record)
        logged.reportFile = records::reportOutcomeText(*report.record);
    const bool reportWritable = report.workbenchStaysOpen;
    // Logged whatever became of the write and the record, the failures above all. A line the
    // log cannot take is kept in its pending file, or failing that not recorded; each is told
    // in a box once a session, and holds nothing up. After the report file's "Click OK to
    // EXIT" box nothing more is asked of the operator, and the line is still written if it can
    // be, silently otherwise.
    records::appendCalibrationLog(
        logged, reportWritable ? records::LogFailureBox::Shown : records::LogFailureBox::Silent,
        &m_logSession);
    if (!reportWritable) {
        // The report file could not be written at all: the workbench is closing.
        m_unloading = true;
        Timer1->stop();
    }
}

} // namespace workbench
