// The simulator for a Windows test run under Wine. tq8400-sim needs a pseudo-terminal, so it
// cannot run as a Windows program; scripts/sim-host runs it on the Linux side instead. The
// two meet in a spool directory both can see ($TQ_SIM_SPOOL): each simulator gets a
// directory there, and the runner asks for a start or a stop by dropping a file into it. The
// host links the simulator's pty as the Wine prefix's COMn, so the Windows serial control
// reaches the simulator exactly as it would reach a controller on a COM port.
//
// Files in a simulator's directory, N counting the starts:
//   start-N          the arguments, one a line (the runner writes it; the host takes it)
//   stop-N-TERM/KILL a stop with that signal (the runner writes it; the host takes it)
//   output-N         what the simulator printed (the host writes it)
//   exit-N           its exit status, once it has ended (the host writes it)
#include "sim/launcher.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace sim {

namespace {

constexpr int kStartTimeoutMs = 15000;

// The spool as this program sees it: a Linux path is the same place on Wine's drive Z:.
QString spoolDirectory() {
    const QString spool = qEnvironmentVariable("TQ_SIM_SPOOL");
    if (spool.startsWith(QLatin1Char('/')))
        return QStringLiteral("Z:") + spool;
    return spool;
}

bool writeWhole(const QString& path, const QByteArray& contents) {
    // Written under another name first, so that the host never takes half a request.
    const QString partial = path + QStringLiteral(".part");
    QFile file(partial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(contents) != contents.size())
        return false;
    file.close();
    QFile::remove(path);
    return QFile::rename(partial, path);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class RemoteRunner final : public Runner {
  public:
    // Windows' own port: the host makes COMn lead to the simulator's pty.
    QString linkPath(const QString& /*directory*/, int portNumber) const override {
        return QStringLiteral("COM%1").arg(portNumber);
    }

    bool start(const QString& directory, const QStringList& arguments, QString& error) override {
        if (spoolDirectory().isEmpty()) {
            error = QStringLiteral("no simulator host: TQ_SIM_SPOOL is not set (scripts/"
                                   "test-windows starts the host and sets it)");
            return false;
        }
        stop();
        m_directory = directory;
        ++m_generation;
        if (!writeWhole(file(QStringLiteral("start")),
                        arguments.join(QLatin1Char('\n')).toUtf8() + '\n')) {
            error = QStringLiteral("cannot write the start request in ") + directory;
            return false;
        }
        QDeadlineTimer deadline(kStartTimeoutMs);
        while (!readAll(file(QStringLiteral("output"))).contains("tq8400-sim: ready on")) {
            if (hasEnded() || deadline.hasExpired()) {
                error = QStringLiteral("tq8400-sim did not report ready: ") +
                        QString::fromUtf8(readAll(file(QStringLiteral("output")))).trimmed();
                stop();
                return false;
            }
            QThread::msleep(10);
        }
        return true;
    }

    void stop() override {
        if (!running())
            return;
        if (!signalAndWait("TERM", 5000))
            signalAndWait("KILL", 5000);
    }

    bool terminate(int timeoutMs) override {
        if (!running())
            return false;
        return signalAndWait("TERM", timeoutMs);
    }

    int exitCode() const override {
        if (!hasEnded())
            return -1;
        bool ok = false;
        const int status = readAll(file(QStringLiteral("exit"))).trimmed().toInt(&ok);
        // The shell reports a program a signal ended as 128 + the signal.
        return ok && status < 128 ? status : -1;
    }

  private:
    QString file(const QString& kind) const {
        return QDir(m_directory).filePath(kind + QLatin1Char('-') + QString::number(m_generation));
    }
    bool hasEnded() const { return QFile::exists(file(QStringLiteral("exit"))); }
    bool running() const { return m_generation > 0 && !hasEnded(); }

    bool signalAndWait(const char* signal, int timeoutMs) {
        writeWhole(file(QStringLiteral("stop")) + QLatin1Char('-') + QLatin1String(signal), "\n");
        QDeadlineTimer deadline(timeoutMs);
        while (!hasEnded()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(10);
        }
        return true;
    }

    QString m_directory;
    int m_generation = 0;
};

} // namespace

std::unique_ptr<Runner> makeRunner() {
    return std::make_unique<RemoteRunner>();
}

QString runnerDirectoryTemplate() {
    const QString spool = spoolDirectory();
    return (spool.isEmpty() ? QDir::tempPath() : spool) + QStringLiteral("/launch-XXXXXX");
}

} // namespace sim
