// The simulator as a child process of the test, on a system that runs it itself.
#include "sim/launcher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

namespace sim {

namespace {

class LocalRunner final : public Runner {
  public:
    QString linkPath(const QString& directory, int portNumber) const override {
        return QDir(directory).filePath(QStringLiteral("COM%1").arg(portNumber));
    }

    bool start(const QString& /*directory*/, const QStringList& arguments,
               QString& error) override {
        const QString program = binDirectory() + QStringLiteral("/tq8400-sim");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
        if (!m_process.waitForStarted(10000)) {
            error = program + QStringLiteral(": ") + m_process.errorString();
            return false;
        }
        QByteArray output;
        QDeadlineTimer deadline(10000);
        while (!output.contains("tq8400-sim: ready on")) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
                error = QStringLiteral("tq8400-sim did not report ready");
                stop();
                return false;
            }
            m_process.waitForReadyRead(100);
            output += m_process.readAllStandardOutput();
        }
        return true;
    }

    void stop() override {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    bool terminate(int timeoutMs) override {
        if (m_process.state() == QProcess::NotRunning)
            return false;
        m_process.terminate();
        return m_process.waitForFinished(timeoutMs);
    }

    int exitCode() const override {
        if (m_process.state() != QProcess::NotRunning ||
            m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }

  private:
    QProcess m_process;
};

} // namespace

std::unique_ptr<Runner> makeRunner() {
    return std::make_unique<LocalRunner>();
}

QString runnerDirectoryTemplate() {
    return QDir::temp().filePath(QStringLiteral("tq8400-sim-XXXXXX"));
}

} // namespace sim
