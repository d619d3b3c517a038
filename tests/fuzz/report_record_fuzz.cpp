// The record of an Accept stored in a real report file of any content by the code that writes
// it.
//
// Property: the record is the four texts in their columns; an empty file first becomes the
// template; a file laid out for the record (the
// channel's row label "CH" + channel + five blanks right before the data area, and the data
// area inside the file) changes in the channel's data area only, and any other file keeps
// every byte.
#include "fuzz_check.h"

#include "records/channel_table.h"
#include "records/report_file.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// The data area of a row: two voltages of 5 characters, two range values of 6, 4 blanks
// between them.
constexpr qsizetype kDataLength = 5 + 4 + 5 + 4 + 6 + 4 + 6;

QString reportPath;
// The directory holding the report file, removed when the run ends.
std::string directoryPath;

constexpr std::array<const char*, 14> kChannelNumbers = {"30", "31", "32", "33", "34", "35", "36",
                                                         "37", "40", "41", "42", "43", "44", "45"};

// The template as the report file lays it out: the header, then a row per channel, CR LF
// between the lines.
QByteArray expectedTemplate() {
    QByteArray bytes = "CHANNEL  LoVolt   HiVolt   LoRange   HiRange";
    for (const char* channel : kChannelNumbers)
        bytes += QByteArray("\r\nCH") + channel + "     xxx.x    x.xxx    +xxx.x    +xxx.x";
    return bytes;
}

// One text in its column: a byte per character ("?" for one beyond Latin-1), blanks after it,
// cut at the width.
QByteArray column(const QString& text, int width) {
    QByteArray bytes;
    for (const QChar c : text)
        bytes += c.unicode() < 0x100 ? char(c.unicode()) : '?';
    bytes = bytes.left(width);
    return bytes + QByteArray(width - bytes.size(), ' ');
}

// A file to write the record into: any bytes, or the template with bytes laid over it, cut
// short, lengthened, or with its line ends changed.
QByteArray fileContent(FuzzedDataProvider& input) {
    const QByteArray blank = records::reportTemplate();
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0: {
        QByteArray bytes = blank;
        const int pieces = input.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < pieces; ++i) {
            const auto at = input.ConsumeIntegralInRange<qsizetype>(0, bytes.size());
            const std::string piece = input.ConsumeRandomLengthString(16);
            bytes.replace(at, qsizetype(piece.size()), QByteArray::fromStdString(piece));
        }
        return bytes;
    }
    case 1:
        return blank.left(input.ConsumeIntegralInRange<qsizetype>(0, blank.size()));
    case 2:
        return blank + QByteArray::fromStdString(input.ConsumeRandomLengthString(64));
    case 3: {
        QByteArray bytes = blank;
        return bytes.replace("\r\n", input.ConsumeBool() ? "\n" : "\n\r");
    }
    default:
        return QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    }
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // A directory in memory when there is one: every input writes the file through to disk.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir directory(base + QStringLiteral("/tq-fuzz-report-XXXXXX"));
    if (!directory.isValid()) {
        std::fprintf(stderr, "Cannot make a directory for the report file under %s\n",
                     qPrintable(base));
        std::abort();
    }
    // Kept for the whole run, and removed without Qt when the program ends (Qt's own objects
    // may be gone by then).
    directory.setAutoRemove(false);
    directoryPath = QFile::encodeName(directory.path()).toStdString();
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(directoryPath, ignored);
    });
    reportPath = directory.filePath(QString::fromLatin1(records::kReportFileName));
    FUZZ_CHECK(records::reportTemplate() == expectedTemplate());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto slot = input.ConsumeIntegralInRange<std::size_t>(0, 13);
    const records::ChannelInfo& channel = records::channelTable()[slot];
    FUZZ_CHECK(channel.listText == QLatin1String(kChannelNumbers[slot]));
    FUZZ_CHECK(channel.reportOffset == 55 + 45 * int(slot));

    std::array<QString, 4> texts;
    for (QString& text : texts) {
        const std::string bytes = input.ConsumeRandomLengthString(10);
        text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
    const QByteArray record = records::reportRecord(texts[0], texts[1], texts[2], texts[3]);
    const QByteArray expectedRecord = column(texts[0], 5) + "    " + column(texts[1], 5) + "    " +
                                      column(texts[2], 6) + "    " + column(texts[3], 6);
    FUZZ_CHECK_SHOW(record == expectedRecord, fuzz::shown(record) + QLatin1String(" expected ") +
                                                  fuzz::shown(expectedRecord));

    const QByteArray file = fileContent(input);
    const QByteArray before = file.isEmpty() ? expectedTemplate() : file;
    const qsizetype offset = 55 + 45 * qsizetype(slot);
    const QByteArray label = QByteArray("CH") + kChannelNumbers[slot] + "     ";
    const bool laidOut =
        before.size() >= offset + kDataLength && before.mid(offset - 9, 9) == label;

    const auto detail = [&] {
        return QString(QStringLiteral("channel %1, file of %2 bytes")
                           .arg(QLatin1String(kChannelNumbers[slot]))
                           .arg(file.size()));
    };

    writeFile(reportPath, file);
    const records::RecordResult result = records::storeReportRecord(reportPath, channel, record);
    const QByteArray onDisk = readFile(reportPath);
    if (laidOut) {
        FUZZ_CHECK_SHOW(result.outcome == records::RecordOutcome::Stored,
                        detail() + QLatin1String(": ") + result.reason);
        FUZZ_CHECK_SHOW(onDisk.size() == before.size(), detail());
        FUZZ_CHECK_SHOW(onDisk.mid(offset, kDataLength) == record, detail());
        FUZZ_CHECK_SHOW(onDisk.left(offset) == before.left(offset), detail());
        FUZZ_CHECK_SHOW(onDisk.mid(offset + kDataLength) == before.mid(offset + kDataLength),
                        detail());
    } else {
        FUZZ_CHECK_SHOW(result.outcome == records::RecordOutcome::LayoutMismatch,
                        detail() + QLatin1String(": ") + result.reason);
        FUZZ_CHECK_SHOW(onDisk == file, detail());
    }
    return 0;
}
