// An Accept's record in the report file, with the boxes the operator sees when the file cannot
// be opened, made or written.
#include "platform/files/file_open.h"
#include "platform/files/open_file_table.h"
#include "platform/widgets/message_box.h"
#include "records/channel_table.h"
#include "records/report_file.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QDialog>
#include <QDir>
#include <QTimer>

namespace workbench {

namespace {

// The boxes of an Accept whose record could not be stored: %1 the report file's full name,
// %2 the channel, %3 the operating system's reason. Both say that the controller holds the new
// calibration already, so the technician knows only the report is missing the record. A record
// the disk could not confirm counts as not stored as well: it may not survive a power cut, and
// accepting the channel again is the safe answer either way.
const QString kLayoutMismatchText =
    QStringLiteral("Error!  The layout of the report file %1 does not match the CalData.txt "
                   "layout.\r\nThe record of channel %2 was not stored, and the file was left "
                   "unchanged.\r\n%3");
const QString kWriteFailedText =
    QStringLiteral("Error!  Cannot write to the report file %1.\r\nReason: %3\r\nThe record of "
                   "channel %2 was not stored.\r\n%4");
// A report file that is there but cannot be opened is most often open in another program (a
// spreadsheet holds the file it shows against every other program) or marked read-only. The
// technician can put that right and try again, which keeps the record; giving up ends the
// program as a report file that cannot be opened always has. %1 the file, %2 the channel, %3
// the operating system's reason, %4 what became of the write to the controller.
const QString kHeldText = QStringLiteral(
    "Error!  Cannot Open %1 File.\r\nReason: %3\r\nIt may be open in another program, or marked "
    "read-only: close it there or allow writing to it, then click Retry.\r\nCancel ends the "
    "program, and the record of channel %2 is not stored.\r\n%4");
// The last line of these boxes says what became of the write to the controller, so that neither
// claims a calibration the controller did not take.
const QString kControllerWritten = QStringLiteral("The controller has already been written.");
const QString kControllerNotWritten = QStringLiteral("The write to the controller failed as well.");

// Stores the record. While a report file that is there cannot be opened, the operator is
// asked to let go of it and may try again; `givenUp` tells whether they stopped trying.
records::RecordResult storeRetryingHeldFile(const QString& fileName,
                                            const records::ChannelInfo& channel,
                                            const QByteArray& record, const QString& controller,
                                            bool& givenUp) {
    givenUp = false;
    records::RecordResult result = records::storeReportRecord(fileName, channel, record);
    while (result.outcome == records::RecordOutcome::CannotOpen &&
           platform::isRegularFile(fileName)) {
        const QString text = kHeldText.arg(QDir::toNativeSeparators(fileName),
                                           channel.listText.toString(), result.reason, controller);
        if (platform::MsgBox(text, platform::vbRetryCancel) != platform::vbRetry) {
            givenUp = true;
            break;
        }
        result = records::storeReportRecord(fileName, channel, record);
    }
    return result;
}

} // namespace

ReportUpdate frmCalibrateSensor::UpdateReportFile(const AcceptSnapshot& accepted,
                                                  bool controllerWritten) {
    // The four texts as the fields held them when the Accept started, the same ones the
    // controller was sent.
    const QByteArray record = records::reportRecord(accepted.loVolts, accepted.hiVolts,
                                                    accepted.rangeLo, accepted.rangeHi);
    const QString fileName = records::reportFilePath();
    const QString shownName = QDir::toNativeSeparators(fileName);

    // The row is the accepted channel's, whatever the channel list shows by now. Without a
    // channel nothing is recorded and no file is opened or made.
    if (accepted.channel == nullptr)
        return {};

    const records::ChannelInfo& channel = *accepted.channel;
    const QString channelText = channel.listText.toString();
    // The controller holds the new calibration whatever becomes of the record.
    const QString& controller = controllerWritten ? kControllerWritten : kControllerNotWritten;
    bool heldFileGivenUp = false;
    records::RecordResult result =
        storeRetryingHeldFile(fileName, channel, record, controller, heldFileGivenUp);
    if (result.outcome == records::RecordOutcome::CannotOpen) {
        if (!heldFileGivenUp) {
            // The box names the file that is about to be made.
            platform::MsgBox(
                QStringLiteral("Error!  Cannot Open ") + shownName +
                    QStringLiteral(" File.\r\nClick OK to Generate New CalData.txt File."),
                platform::vbOKOnly);
            // Made from the template, whole, and only when nothing of that name exists: a
            // report file that is there but could not be opened keeps every channel's row.
            platform::FCreate(fileName, records::reportTemplate());
            result = records::storeReportRecord(fileName, channel, record);
        }
        if (result.outcome == records::RecordOutcome::CannotOpen) {
            platform::MsgBox(QStringLiteral("Error!  Cannot Open ") + shownName +
                                 QStringLiteral(" File.\r\nClick OK to EXIT"),
                             platform::vbOKOnly);
            Timer1->stop();
            // Closing the workbench ends the program; nothing more of the Accept runs.
            done(QDialog::Rejected);
            return {result, false};
        }
    }

    // The operator is told that the report lacks the record, and the workbench stays open.
    switch (result.outcome) {
    case records::RecordOutcome::Stored:
    case records::RecordOutcome::CannotOpen:
        break;
    case records::RecordOutcome::LayoutMismatch:
        platform::MsgBox(kLayoutMismatchText.arg(shownName, channelText, controller),
                         platform::vbOKOnly);
        break;
    case records::RecordOutcome::WriteFailed:
        platform::MsgBox(kWriteFailedText.arg(shownName, channelText, result.reason, controller),
                         platform::vbOKOnly);
        break;
    }
    return {result, true};
}

} // namespace workbench
