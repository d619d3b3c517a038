#include "sim/launcher.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace sim {

QString binDirectory() {
    const QString fromEnvironment = qEnvironmentVariable("TQ_BIN_DIR");
    return fromEnvironment.isEmpty() ? QCoreApplication::applicationDirPath() : fromEnvironment;
}

Launcher::Launcher(QStringList extraArguments, int portNumber, QString linkDirectory)
    : m_dir(runnerDirectoryTemplate()), m_linkDirectory(std::move(linkDirectory)),
      m_runner(makeRunner()), m_extra(std::move(extraArguments)), m_portNumber(portNumber) {}

Launcher::~Launcher() {
    stop();
}

QString Launcher::linkPath() const {
    return m_runner->linkPath(m_linkDirectory.isEmpty() ? m_dir.path() : m_linkDirectory,
                              m_portNumber);
}

QString Launcher::logPath() const {
    return m_dir.filePath(QStringLiteral("wire.jsonl"));
}

bool Launcher::start() {
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory: ") + m_dir.errorString();
        return false;
    }
    QStringList arguments{QStringLiteral("--link"), linkPath(), QStringLiteral("--log"), logPath()};
    arguments += m_extra;
    return m_runner->start(m_dir.path(), arguments, m_error);
}

void Launcher::stop() {
    m_runner->stop();
}

bool Launcher::terminate(int timeoutMs) {
    return m_runner->terminate(timeoutMs);
}

int Launcher::exitCode() const {
    return m_runner->exitCode();
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
