#include "bench/sim_runner.h"

#include "link/serial_port.h"
#include "platform/pdq.h"
#include "platform/pdq_comm.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <cstdio>

namespace bench {

QString binDirectory() {
    const QString fromEnvironment = qEnvironmentVariable("TQ_BIN_DIR");
    return fromEnvironment.isEmpty() ? QCoreApplication::applicationDirPath() : fromEnvironment;
}

SimRunner::SimRunner(QStringList extraArguments) : m_extra(std::move(extraArguments)) {}

SimRunner::~SimRunner() {
    stop();
}

QString SimRunner::linkPath() const {
    return m_dir.filePath(QStringLiteral("COM1"));
}

QString SimRunner::logPath() const {
    return m_dir.filePath(QStringLiteral("wire.jsonl"));
}

bool SimRunner::start() {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory: ") + m_dir.errorString();
        return false;
    }
    const QString program = binDirectory() + QStringLiteral("/tq8400-sim");
    QStringList arguments{QStringLiteral("--link"), linkPath(), QStringLiteral("--log"), logPath()};
    arguments += m_extra;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(10000)) {
        m_error = program + QStringLiteral(": ") + m_process.errorString();
        return false;
    }
    QByteArray output;
    QDeadlineTimer deadline(10000);
    while (!output.contains("tq8400-sim: ready on")) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("tq8400-sim did not report ready");
            stop();
            return false;
        }
        m_process.waitForReadyRead(100);
        output += m_process.readAllStandardOutput();
    }
    return true;
}

void SimRunner::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool SimRunner::attachPort() {
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(directory()));
    if (Module1::OpenPort(1))
        return true;
    m_error = QStringLiteral("port 1 did not open: ") + Module1::OpenPortError();
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
