// Record updates for the report file's crash test, which starts this program and kills it at
// random points. Arguments: the report file, the first update and the end (one past the
// last). Update n writes testsupport::crashTestRecord(n) into the row of channel n modulo 14
// through the workbench's own record code, then prints n on a line of its own; so every
// update printed is one the workbench would count as recorded.
#include "report_update_child.h"
#include "records/channel_table.h"
#include "records/report_file.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s REPORT-FILE FIRST END\n", argv[0]);
        return 2;
    }
    const QString fileName = QString::fromLocal8Bit(argv[1]);
    bool firstOk = false;
    bool endOk = false;
    const int first = QByteArray(argv[2]).toInt(&firstOk);
    const int end = QByteArray(argv[3]).toInt(&endOk);
    if (!firstOk || !endOk || first < 0 || end < first) {
        std::fprintf(stderr, "bad update numbers: %s %s\n", argv[2], argv[3]);
        return 2;
    }

    const auto& channels = records::channelTable();
    for (int n = first; n < end; ++n) {
        const records::ChannelInfo& channel = channels[static_cast<size_t>(n) % channels.size()];
        const records::RecordResult result =
            records::storeReportRecord(fileName, channel, testsupport::crashTestRecord(n));
        if (result.outcome != records::RecordOutcome::Stored) {
            std::fprintf(stderr, "update %d not stored (outcome %d): %s\n", n,
                         static_cast<int>(result.outcome), qPrintable(result.reason));
            return 1;
        }
        std::printf("%d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
