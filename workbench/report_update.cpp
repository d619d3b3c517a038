// An Accept's record in the report file, with the boxes the operator sees when the file cannot
// be opened, made or written.
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
// The last line of both says what became of the write to the controller, so that neither
// claims a calibration the controller did not take.
const QString kControllerWritten = QStringLiteral("The controller has already been written.");
const QString kControllerNotWritten = QStringLiteral("The write to the controller failed as well.");

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
    records::RecordResult result = records::storeReportRecord(fileName, channel, record);
    if (result.outcome == records::RecordOutcome::CannotOpen) {
        // The box names the file that is about to be made.
        platform::MsgBox(QStringLiteral("Error!  Cannot Open ") + shownName +
                             QStringLiteral(" File.\r\nClick OK to Generate New CalData.txt File."),
                         platform::vbOKOnly);
        // Made from the template, whole, and only when nothing of that name exists: a report
        // file that is there but could not be opened keeps every channel's row.
        platform::FCreate(fileName, records::reportTemplate());
        result = records::storeReportRecord(fileName, channel, record);
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

    // The controller holds the new calibration whatever becomes of the record; the operator
    // is told that the report lacks it, and the workbench stays open.
    const QString channelText = channel.listText.toString();
    const QString& controller = controllerWritten ? kControllerWritten : kControllerNotWritten;
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
