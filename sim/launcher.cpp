#include "sim/launcher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace sim {

QString binDirectory() {
    const QString fromEnvironment = qEnvironmentVariable("TQ_BIN_DIR");
    return fromEnvironment.isEmpty() ? QCoreApplication::applicationDirPath() : fromEnvironment;
}

Launcher::Launcher(QStringList extraArguments, int portNumber)
    : m_extra(std::move(extraArguments)), m_portNumber(portNumber) {}

Launcher::~Launcher() {
    stop();
}

QString Launcher::linkPath() const {
    return m_dir.filePath(QStringLiteral("COM%1").arg(m_portNumber));
}

QString Launcher::logPath() const {
    return m_dir.filePath(QStringLiteral("wire.jsonl"));
}

bool Launcher::start() {
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

void Launcher::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool Launcher::terminate(int timeoutMs) {
    if (m_process.state() == QProcess::NotRunning)
        return false;
    m_process.terminate();
    return m_process.waitForFinished(timeoutMs);
}

int Launcher::exitCode() const {
    if (m_process.state() != QProcess::NotRunning || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}

std::vector<WireLogLine> Launcher::log() const {
    std::vector<WireLogLine> lines;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        if (raw.trimmed().isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(raw).object();
        WireLogLine line;
        line.t = o.value(QStringLiteral("t")).toDouble();
        line.dir = o.value(QStringLiteral("dir")).toString();
        line.text = o.value(QStringLiteral("text")).toString().toLatin1();
        line.ignored = o.value(QStringLiteral("ignored")).toBool();
        line.unknown = o.value(QStringLiteral("unknown")).toBool();
        lines.push_back(line);
    }
    return lines;
}

std::vector<QByteArray> Launcher::commands() const {
    std::vector<QByteArray> result;
    for (const WireLogLine& line : log())
        if (line.dir == QLatin1String("in"))
            result.push_back(line.text);
    return result;
}

} // namespace sim
