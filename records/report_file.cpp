// The calibration report file: the template a new "CalData.txt" is made from, and the record
// of a channel written into its row.
#include "records/report_file.h"

#include "platform/files/open_file_table.h"
#include "records/channel_table.h"

#include <QCoreApplication>
#include <QLatin1Char>

namespace records {

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

} // namespace records
