// The calibration report file "CalData.txt": its fixed-width layout, the template a new file
// is filled with, and the record an Accept writes into the accepted channel's row.
#pragma once

#include <QByteArray>
#include <QString>

namespace records {

struct ChannelInfo;

// Name of the report file in the program's directory.
inline constexpr char kReportFileName[] = "CalData.txt";

// Lines are separated by CR LF; the last row has no line end.
inline constexpr char kReportLineEnd[] = "\r\n";
inline constexpr int kReportLineEndLength = 2;

// First line of the file; the column titles stand over the columns of the rows.
inline constexpr char kReportHeader[] = "CHANNEL  LoVolt   HiVolt   LoRange   HiRange";
inline constexpr int kReportHeaderLength = 44;

// A row is "CH" + the two-digit channel number + this tail of placeholders.
inline constexpr char kReportRowPrefix[] = "CH";
inline constexpr char kReportRowTail[] = "     xxx.x    x.xxx    +xxx.x    +xxx.x";
inline constexpr int kReportRowLength = 43;
inline constexpr int kReportRowCount = 14;

// A new file: header, fourteen rows, CR LF between the lines and none after the last.
inline constexpr int kReportTemplateSize =
    kReportHeaderLength + kReportRowCount * (kReportLineEndLength + kReportRowLength);

// The data area of a row starts 9 characters in and holds the low and high voltage and the low
// and high range value, 5, 5, 6 and 6 characters wide, with 4 blanks between them.
inline constexpr int kReportDataColumn = 9;
inline constexpr int kReportLoVoltsWidth = 5;
inline constexpr int kReportHiVoltsWidth = 5;
inline constexpr int kReportRangeLoWidth = 6;
inline constexpr int kReportRangeHiWidth = 6;
inline constexpr int kReportGapWidth = 4;
inline constexpr int kReportRecordLength = kReportLoVoltsWidth + kReportHiVoltsWidth +
                                           kReportRangeLoWidth + kReportRangeHiWidth +
                                           3 * kReportGapWidth;

// File offset of the data area of the first row; each further row lies one row and line end on.
inline constexpr int kReportFirstDataOffset =
    kReportHeaderLength + kReportLineEndLength + kReportDataColumn;
inline constexpr int kReportRowPitch = kReportRowLength + kReportLineEndLength;

static_assert(kReportTemplateSize == 674);
static_assert(kReportRecordLength == kReportRowLength - kReportDataColumn);
static_assert(kReportFirstDataOffset == 55 && kReportRowPitch == 45);

// The whole content of a newly made report file, kReportTemplateSize bytes.
QByteArray reportTemplate();

// The record of one channel: the four texts, each padded with blanks on the right or cut to
// its column, with the blanks between them; always kReportRecordLength bytes.
QByteArray reportRecord(const QString& loVolts, const QString& hiVolts, const QString& rangeLo,
                        const QString& rangeHi);

// The first kReportDataColumn bytes of a channel's row, "CH" + the channel + five blanks: where
// they stand, the row is laid out as the record expects.
QByteArray reportRowLabel(const ChannelInfo& channel);

// Whether a report file of `fileSize` bytes can take the channel's record: the file reaches to
// the end of the row's data area, and `labelBytes` (the bytes just before the data area) are
// the channel's row label.
bool reportRowTakesRecord(qint64 fileSize, const ChannelInfo& channel,
                          const QByteArray& labelBytes);

// What became of a record.
enum class RecordOutcome {
    Stored,         // in the channel's row and written through to the disk
    CannotOpen,     // no regular file of that name could be opened; nothing was written
    LayoutMismatch, // the file is not laid out as the report file is; nothing was written
    WriteFailed,    // the disk refused a write or could not confirm it
};

struct RecordResult {
    RecordOutcome outcome = RecordOutcome::Stored;
    // The operating system's reason when the file could not be opened or written.
    QString reason;
};

// Writes `record` into the channel's row of the report file `fileName`, and nothing else, in
// one request to the operating system, then writes the file through to the disk. An empty
// file first gets the template. The record goes in only when the channel's row label stands
// just before the data area and the file reaches to the end of it; otherwise the file keeps
// every byte. Never makes a file.
RecordResult storeReportRecord(const QString& fileName, const ChannelInfo& channel,
                               const QByteArray& record);

// Full name of the report file: the program's directory, or the directory set below, followed
// by "/CalData.txt".
QString reportFilePath();

// Puts the report file into `directory` instead of the program's directory (tests); an empty
// text goes back to the program's directory.
void setReportDirectoryForTests(const QString& directory);

} // namespace records
