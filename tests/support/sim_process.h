// The simulated controller, started for a test on a pseudo-terminal.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

namespace testsupport {

// Directory of the built programs.
QString binDirectory();

// Waits, processing events, until `condition` holds or `timeoutMs` has passed.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// One line of the simulator's wire log.
struct WireLogLine {
    double t = 0;
    QString dir; // "in" or "out"
    QByteArray text;
    bool ignored = false;
    bool unknown = false;
};

class SimProcess {
  public:
    // The simulator's link is made as COM<portNumber> in a fresh temporary directory.
    explicit SimProcess(QStringList extraArguments = {}, int portNumber = 1);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Starts the simulator and waits until its link exists.
    bool start();
    void stop();

    QString directory() const { return m_dir.path(); }
    QString linkPath() const;
    QString logPath() const;

    std::vector<WireLogLine> log() const;
    // The commands the simulator received, in order, without CR LF.
    std::vector<QByteArray> commands() const;

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_extra;
    int m_portNumber;
};

} // namespace testsupport
