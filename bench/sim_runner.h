// The simulated controller for the benchmarks: started on a pseudo-terminal in a fresh
// temporary directory, where the link appears as COM1.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace bench {

class SimRunner {
  public:
    explicit SimRunner(QStringList extraArguments = {});
    ~SimRunner();
    SimRunner(const SimRunner&) = delete;
    SimRunner& operator=(const SimRunner&) = delete;

    // Starts the simulator and waits (at most ten seconds) for its ready line. On failure the
    // reason is in error().
    bool start();
    void stop();

    QString directory() const { return m_dir.path(); }
    QString linkPath() const;
    QString logPath() const;
    QString error() const { return m_error; }

    // Points the program's port lookup at this directory and opens port 1.
    bool attachPort();

  private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QStringList m_extra;
    QString m_error;
};

// Directory of the built programs: $TQ_BIN_DIR, else the benchmark's own directory.
QString binDirectory();

// One row of a result table.
struct Row {
    QString measurement;
    QString value;
    QString nominal;
    QString verdict;
};

// Prints the rows as a pipe table under a heading.
void printTable(const QString& heading, const std::vector<Row>& rows);

} // namespace bench
