// The calibration report file: every Accept records the channel's four setpoints in the
// channel's row of "CalData.txt" in the program's directory, making the file from the template
// when there is none yet.
#include "workbench/report_file.h"

#include "platform/files/open_file_table.h"
#include "platform/widgets/masked_edit.h"
#include "platform/widgets/message_box.h"
#include "workbench/channel_table.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QLatin1Char>
#include <QTimer>

namespace workbench {

namespace {

QString& reportDirectoryOverride() {
    static QString directory;
    return directory;
}

// One field text in its column: blanks added on the right when it is shorter, cut when it is
// longer, so that a record never reaches past the row's data area into the line end or the
// next row. Each character becomes one byte (one outside Latin-1 becomes "?"), so the width in
// characters is the width in bytes.
QByteArray inColumn(const QString& text, int width) {
    return text.leftJustified(width, QLatin1Char(' '), true).toLatin1();
}

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

QByteArray reportTemplate() {
    QByteArray bytes;
    bytes.reserve(kReportTemplateSize);
    bytes += kReportHeader;
    for (const ChannelInfo& channel : channelTable()) {
        bytes += kReportLineEnd;
        bytes += kReportRowPrefix;
        bytes += channel.listText.toLatin1();
        bytes += kReportRowTail;
    }
    return bytes;
}

QByteArray reportRecord(const QString& loVolts, const QString& hiVolts, const QString& rangeLo,
                        const QString& rangeHi) {
    const QByteArray gap(kReportGapWidth, ' ');
    QByteArray record;
    record.reserve(kReportRecordLength);
    record += inColumn(loVolts, kReportLoVoltsWidth);
    record += gap;
    record += inColumn(hiVolts, kReportHiVoltsWidth);
    record += gap;
    record += inColumn(rangeLo, kReportRangeLoWidth);
    record += gap;
    record += inColumn(rangeHi, kReportRangeHiWidth);
    return record;
}

QByteArray reportRowLabel(const ChannelInfo& channel) {
    return (QByteArray(kReportRowPrefix) + channel.listText.toLatin1())
        .leftJustified(kReportDataColumn, ' ', true);
}

bool reportRowTakesRecord(qint64 fileSize, const ChannelInfo& channel,
                          const QByteArray& labelBytes) {
    return fileSize >= channel.reportOffset + kReportRecordLength &&
           labelBytes == reportRowLabel(channel);
}

RecordResult storeReportRecord(const QString& fileName, const ChannelInfo& channel,
                               const QByteArray& record) {
    qint32 handle = platform::kNoFile;
    if (!platform::CSFOpen(fileName, handle))
        return {RecordOutcome::CannotOpen, platform::FError()};
    // Any failure below still closes the file; the reason is the first failure's.
    const auto fail = [handle](RecordOutcome outcome) {
        RecordResult result{outcome, platform::FError()};
        platform::FClose(handle);
        return result;
    };

    // The template goes only into an empty file, one left empty by hand or by another
    // program. It is filled where it stands rather than replaced, so that a link to it or
    // its permissions stay as they were; it then has the layout the record needs.
    qint64 size = platform::FLen(handle);
    if (size == 0) {
        if (!platform::FSeek(handle, 0) || !platform::FPut(handle, reportTemplate()))
            return fail(RecordOutcome::WriteFailed);
        size = kReportTemplateSize;
    }

    // Only a file laid out as the report file is takes the record: the channel's own row
    // label right before the data area, and the data area inside the file. Anything else (a
    // file saved with other line ends, one cut short, another program's file) keeps every
    // byte, since the record would land across other text.
    const qint64 offset = channel.reportOffset;
    if (size < offset + kReportRecordLength)
        return fail(RecordOutcome::LayoutMismatch);
    QByteArray label;
    // A file that cannot even be read back is a disk failure, told as one.
    if (!platform::FSeek(handle, offset - kReportDataColumn) ||
        !platform::FGet(handle, kReportDataColumn, label))
        return fail(RecordOutcome::WriteFailed);
    if (!reportRowTakesRecord(size, channel, label))
        return fail(RecordOutcome::LayoutMismatch);

    // One write of the whole record: a program stopped meanwhile leaves the old record or the
    // new one in the row, never part of each.
    if (!platform::FSeek(handle, offset) || !platform::FPut(handle, record))
        return fail(RecordOutcome::WriteFailed);
    // Written through to the disk before the Accept counts as recorded.
    if (!platform::FClose(handle))
        return {RecordOutcome::WriteFailed, platform::FError()};
    return {};
}

QString reportFilePath() {
    const QString& directory = reportDirectoryOverride();
    return (directory.isEmpty() ? QCoreApplication::applicationDirPath() : directory) +
           QLatin1Char('/') + QLatin1String(kReportFileName);
}

void setReportDirectoryForTests(const QString& directory) {
    reportDirectoryOverride() = directory;
}

ReportUpdate frmCalibrateSensor::UpdateReportFile(const AcceptSnapshot& accepted,
                                                  bool controllerWritten) {
    // The four texts as the fields held them when the Accept started, the same ones the
    // controller was sent.
    const QByteArray record = workbench::reportRecord(accepted.loVolts, accepted.hiVolts,
                                                      accepted.rangeLo, accepted.rangeHi);
    const QString fileName = workbench::reportFilePath();
    const QString shownName = QDir::toNativeSeparators(fileName);

    // The row is the accepted channel's, whatever the channel list shows by now. Without a
    // channel nothing is recorded and no file is opened or made.
    if (accepted.channel == nullptr)
        return {};

    const workbench::ChannelInfo& channel = *accepted.channel;
    workbench::RecordResult result = workbench::storeReportRecord(fileName, channel, record);
    if (result.outcome == workbench::RecordOutcome::CannotOpen) {
        // The box names the file that is about to be made.
        platform::MsgBox(QStringLiteral("Error!  Cannot Open ") + shownName +
                             QStringLiteral(" File.\r\nClick OK to Generate New CalData.txt File."),
                         platform::vbOKOnly);
        // Made from the template, whole, and only when nothing of that name exists: a report
        // file that is there but could not be opened keeps every channel's row.
        platform::FCreate(fileName, workbench::reportTemplate());
        result = workbench::storeReportRecord(fileName, channel, record);
        if (result.outcome == workbench::RecordOutcome::CannotOpen) {
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
    const QString& controller =
        controllerWritten ? workbench::kControllerWritten : workbench::kControllerNotWritten;
    switch (result.outcome) {
    case workbench::RecordOutcome::Stored:
    case workbench::RecordOutcome::CannotOpen:
        break;
    case workbench::RecordOutcome::LayoutMismatch:
        platform::MsgBox(workbench::kLayoutMismatchText.arg(shownName, channelText, controller),
                         platform::vbOKOnly);
        break;
    case workbench::RecordOutcome::WriteFailed:
        platform::MsgBox(
            workbench::kWriteFailedText.arg(shownName, channelText, result.reason, controller),
            platform::vbOKOnly);
        break;
    }
    return {result, true};
}

} // namespace workbench
