#include "sim_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace testsupport {

QString binDirectory() {
    const QString fromEnvironment = qEnvironmentVariable("TQ_BIN_DIR");
    return fromEnvironment.isEmpty() ? QCoreApplication::applicationDirPath() : fromEnvironment;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

SimProcess::SimProcess(QStringList extraArguments, int portNumber)
    : m_extra(std::move(extraArguments)), m_portNumber(portNumber) {}

SimProcess::~SimProcess() {
    stop();
}

QString SimProcess::linkPath() const {
    return m_dir.filePath(QStringLiteral("COM%1").arg(m_portNumber));
}

QString SimProcess::logPath() const {
    return m_dir.filePath(QStringLiteral("wire.jsonl"));
}

bool SimProcess::start() {
    QStringList arguments{QStringLiteral("--link"), linkPath(), QStringLiteral("--log"), logPath()};
    arguments += m_extra;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(binDirectory() + QStringLiteral("/tq8400-sim"), arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    return waitUntil([this] {
               return QFileInfo(linkPath()).isSymLink() ||
                      m_process.state() == QProcess::NotRunning;
           }) &&
           m_process.state() == QProcess::Running;
}

void SimProcess::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

std::vector<WireLogLine> SimProcess::log() const {
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

std::vector<QByteArray> SimProcess::commands() const {
    std::vector<QByteArray> result;
    for (const WireLogLine& line : log())
        if (line.dir == QLatin1String("in"))
            result.push_back(line.text);
    return result;
}

} // namespace testsupport
