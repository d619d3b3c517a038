// Starting the simulated controller program for tests and benchmarks, and reading its wire
// log afterwards.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <vector>

namespace sim {

// Directory of the built programs: $TQ_BIN_DIR, else the running program's own directory.
QString binDirectory();

// One line of the simulator's wire log.
struct WireLogLine {
    double t = 0;
    QString dir; // "in" or "out"
    QByteArray text;
    bool ignored = false;
    bool unknown = false;
};

// tq8400-sim in a fresh temporary directory, its link made there as COM<portNumber> and its
// wire log written beside it. Stopped when the object goes.
class Launcher {
  public:
    explicit Launcher(QStringList extraArguments = {}, int portNumber = 1);
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Starts the simulator and waits (at most ten seconds) until it reports its link ready.
    // On failure the reason is in error().
    bool start();
    void stop();
    // Sends SIGTERM and waits at most `timeoutMs` for the running program to end. True when it
    // ended in that time; exitCode() then says how.
    bool terminate(int timeoutMs);
    // Exit status once the program has exited; -1 while it runs or when a signal killed it.
    int exitCode() const;

    QString directory() const { return m_dir.path(); }
    QString linkPath() const;
    QString logPath() const;
    QString error() const { return m_error; }

    std::vector<WireLogLine> log() const;
    // The commands the simulator received, in order, without CR LF.
    std::vector<QByteArray> commands() const;

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_extra;
    int m_portNumber;
    QString m_error;
};

} // namespace sim
