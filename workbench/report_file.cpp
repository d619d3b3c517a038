// The calibration report file: every Accept records the channel's four setpoints in the
// channel's row of "CalData.txt" in the program's directory, making the file from the template
// when there is none yet.
#include "workbench/report_file.h"

#include "codec/utility.h"
#include "platform/masked_edit.h"
#include "platform/message_box.h"
#include "workbench/channel_table.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
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

QString reportFilePath() {
    const QString& directory = reportDirectoryOverride();
    return (directory.isEmpty() ? QCoreApplication::applicationDirPath() : directory) +
           QLatin1Char('/') + QLatin1String(kReportFileName);
}

void setReportDirectoryForTests(const QString& directory) {
    reportDirectoryOverride() = directory;
}

} // namespace workbench

bool frmCalibrateSensor::UpdateReportFile(const AcceptSnapshot& accepted) {
    // The four texts as the fields held them when the Accept started, the same ones the
    // controller was sent.
    const QByteArray record = workbench::reportRecord(accepted.loVolts, accepted.hiVolts,
                                                      accepted.rangeLo, accepted.rangeHi);
    const QString fileName = workbench::reportFilePath();
    const QString shownName = QDir::toNativeSeparators(fileName);

    // The row is the accepted channel's, whatever the channel list shows by now. Without a
    // channel nothing is recorded and no file is opened or made.
    if (accepted.channel == nullptr)
        return true;
    oAddress = accepted.channel->reportOffset;

    qint32 handle = Module1::kNoFile;
    Module1::CSFOpen(fileName, handle);
    if (handle == Module1::kNoFile) {
        // The box names the file that is about to be made.
        platform::MsgBox(QStringLiteral("Error!  Cannot Open ") + shownName +
                             QStringLiteral(" File.\r\nClick OK to Generate New CalData.txt File."),
                         platform::vbOKOnly);
        // Made only when no file of that name exists: a report file that is there but could
        // not be opened keeps every channel's row.
        Module1::FCreate(fileName);
        Module1::CSFOpen(fileName, handle);
        if (handle == Module1::kNoFile) {
            platform::MsgBox(QStringLiteral("Error!  Cannot Open ") + shownName +
                                 QStringLiteral(" File.\r\nClick OK to EXIT"),
                             platform::vbOKOnly);
            Module1::FClose(handle);
            Timer1->stop();
            // Closing the workbench ends the program; nothing more of the Accept runs.
            done(QDialog::Rejected);
            return false;
        }
    }

    // The template goes only into an empty file, one just made or one left empty. A file with
    // any content, whatever its layout, keeps its bytes and only receives the record, so the
    // rows of the other channels are never lost.
    if (QFileInfo(fileName).size() == 0) {
        Module1::FSeek(handle, 0);
        Module1::FPut(handle, workbench::reportTemplate());
    }

    Module1::FSeek(handle, oAddress);
    Module1::FPut(handle, record);
    // Writes the file through to the disk before closing it.
    Module1::FClose(handle);
    return true;
}
