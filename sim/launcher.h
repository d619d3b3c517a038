// Starting the simulated controller program for tests and benchmarks, and reading its wire
// log afterwards.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace sim {

// What starts and stops the simulator program: a child process where the program runs on this
// system, or the simulator host of a Windows test run (see remote_runner.cpp).
class Runner {
  public:
    virtual ~Runner() = default;
    // The link the tool opens for port `portNumber`, when the simulator's directory is
    // `directory`.
    virtual QString linkPath(const QString& directory, int portNumber) const = 0;
    // Starts tq8400-sim with `arguments` and waits (at most ten seconds) until it reports its
    // link ready; the reason in `error` when it did not.
    virtual bool start(const QString& directory, const QStringList& arguments, QString& error) = 0;
    virtual void stop() = 0;
    virtual bool terminate(int timeoutMs) = 0;
    virtual int exitCode() const = 0;
};

// The runner of this system, and where its simulators' directories are made (a QTemporaryDir
// template).
std::unique_ptr<Runner> makeRunner();
QString runnerDirectoryTemplate();

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

// tq8400-sim in a fresh temporary directory, its link made as port <portNumber> (a COMn link
// in that directory, or Windows' COMn) and its wire log written in the directory. Stopped when
// the object goes. With a `linkDirectory` (another simulator's directory) the link is made
// there instead, over the link already there: this simulator then stands in for the other one
// on the same port, as another controller on the same cable, while its wire log and its
// runner's files stay in its own directory.
class Launcher {
  public:
    explicit Launcher(QStringList extraArguments = {}, int portNumber = 1,
                      QString linkDirectory = QString());
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // More arguments for the next start, e.g. naming a file in directory().
    void addArguments(const QStringList& arguments) { m_extra += arguments; }
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
    QString m_linkDirectory;
    std::unique_ptr<Runner> m_runner;
    QStringList m_extra;
    int m_portNumber;
    QString m_error;
};

} // namespace sim
