// The simulated controller at work on its pseudo-terminal: commands in, replies out when the
// scheduler says they are due, every exchange recorded, until a stop signal or a hang-up.
#pragma once

#include "sim/controller.h"
#include "sim/framing.h"
#include "sim/input_file.h"
#include "sim/options.h"
#include "sim/pty_link.h"
#include "sim/reply_scheduler.h"
#include "sim/transcript.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace sim {

inline constexpr int kExitFailure = 1;

// SIGINT, SIGTERM and SIGHUP end the run; a write on a line nobody reads does not. False (the
// reason printed) when the stop signals cannot be set up.
bool installStopSignals();

class Simulator {
  public:
    Simulator(Controller& controller, const Options& options);
    ~Simulator() { shutDown(); }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the log, makes the pty and publishes its link; the reason is printed on failure.
    bool open();
    // Prints the ready line the tool (or the test) waits for.
    void announceReady();
    // Plays the controller until a stop signal or a hang-up; the exit status.
    int run();
    // Removes the link, hangs up the line and closes the log.
    void shutDown();
    // The replies lost to a full reply queue or a full line, if any, as a last note.
    void noteDropTotals();

  private:
    double nowMs() const { return clock_.nowNs() / 1e6; }
    void note(const QByteArray& text);
    void trace(const char* direction, QByteArrayView bytes, const LineNotes& notes);
    void record(Direction direction, QByteArrayView bytes, const LineNotes& notes = {});
    bool readInput();
    void handleLine(const LineAssembler::Line& line);
    void applyInputFile(QByteArrayView line);
    bool sendDue();

    Controller& controller_;
    const Options& options_;
    SteadyClock clock_;
    ReplyScheduler replies_;
    LineAssembler assembler_;
    PtyLink link_;
    std::optional<InputFile> inputFile_;
    QStringList inputProblems_; // the last ones noted
    std::FILE* log_ = nullptr;
    QByteArray hangupReason_; // for the trace
    // 64 bits: no flood lasts long enough to wrap them.
    quint64 linesReceived_ = 0;
    quint64 repliesCutShort_ = 0; // by a full tool's side of the pty
    quint64 bytesCutShort_ = 0;
};

} // namespace sim
