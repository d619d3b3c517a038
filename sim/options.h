// The simulated controller's command line: what the program is asked to do, read without
// printing or exiting, so that the program decides what to say and every answer can be
// checked in-process.
#pragma once

#include "sim/controller.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace sim {

struct Options {
    // The line and the record.
    QString linkPath;
    QString logPath;
    bool verbose = false;

    // Reply timing.
    bool pace = false;
    int delayMs = 0;
    int hangupAfter = 0; // 0: never

    // What the controller holds.
    std::optional<QByteArray> identity;
    std::vector<std::pair<int, quint16>> setupWords; // slot, word, in the order given
    std::vector<std::pair<int, double>> voltages;    // slot, volts, in the order given
    // slot, low and high range value of a calibration held from before, in the order given
    std::vector<std::pair<int, std::pair<double, double>>> ranges;
    QString inputFilePath; // sensor voltages read again before each live reply; empty: none

    // Faults.
    CommandKinds faultKinds = CommandKinds::all();
    bool silent = false;
    QByteArrayList ignoreFirst;
    int partialLength = -1; // -1: whole replies
    bool garbage = false;
    quint32 seed = 8400;
    int hangupInReply = -1; // bytes of the cut reply; -1: never
};

// What the command line asks for.
struct CommandLine {
    enum class Action {
        Run,         // play the controller with `options`
        ShowHelp,    // print `text` (the options and the layouts) and end
        ShowVersion, // print `text` and end
        Refuse,      // a wrong option: `text` says what is wrong
    };
    Action action = Action::Refuse;
    Options options;
    QString text;
};

// Reads the program's arguments, the program's own name first.
CommandLine parseCommandLine(const QStringList& arguments);

// Puts what the options say about the controller's contents and faults into `controller`.
void configure(const Options& options, Controller& controller);

} // namespace sim
