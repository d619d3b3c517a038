#include "bench/report.h"

#include "link/serial_port.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"

#include <algorithm>
#include <cstdio>

namespace bench {

bool attachPort(const sim::Launcher& simulator, QString& error) {
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(simulator.directory()));
    if (devicelink::OpenPort(1))
        return true;
    error = QStringLiteral("port 1 did not open: ") + devicelink::OpenPortError();
    return false;
}

void printTable(const QString& heading, const std::vector<Row>& rows) {
    const QString titles[4] = {QStringLiteral("measurement"), QStringLiteral("value"),
                               QStringLiteral("nominal/goal"), QStringLiteral("ratio or verdict")};
    qsizetype widths[4];
    for (int c = 0; c < 4; ++c)
        widths[c] = titles[c].size();
    for (const Row& row : rows) {
        widths[0] = std::max(widths[0], row.measurement.size());
        widths[1] = std::max(widths[1], row.value.size());
        widths[2] = std::max(widths[2], row.nominal.size());
        widths[3] = std::max(widths[3], row.verdict.size());
    }
    const auto line = [&](const QString(&cells)[4]) {
        QString text = QStringLiteral("|");
        for (int c = 0; c < 4; ++c)
            text += QLatin1Char(' ') + cells[c].leftJustified(widths[c]) + QStringLiteral(" |");
        std::printf("%s\n", qPrintable(text));
    };
    std::printf("\n## %s\n\n", qPrintable(heading));
    line(titles);
    QString rule = QStringLiteral("|");
    for (int c = 0; c < 4; ++c)
        rule += QString(widths[c] + 2, QLatin1Char('-')) + QLatin1Char('|');
    std::printf("%s\n", qPrintable(rule));
    for (const Row& row : rows) {
        const QString cells[4] = {row.measurement, row.value, row.nominal, row.verdict};
        line(cells);
    }
    std::fflush(stdout);
}

} // namespace bench
