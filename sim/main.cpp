// tq8400-sim: plays a TQ-8400 controller on a pseudo-terminal, for demos, training and tests.
// What the controller answers is in controller.cpp, the options in options.cpp, the reply
// timing in reply_scheduler.cpp, the pty in pty_link.cpp and the loop in simulator.cpp.
#include "sim/controller.h"
#include "sim/options.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
constexpr int kExitUsage = 2;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tq8400-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    const sim::CommandLine commandLine = sim::parseCommandLine(app.arguments());
    switch (commandLine.action) {
    case sim::CommandLine::Action::Refuse:
        std::fprintf(stderr, "tq8400-sim: %s\nTry 'tq8400-sim --help'.\n",
                     qPrintable(commandLine.text));
        return kExitUsage;
    case sim::CommandLine::Action::ShowHelp:
    case sim::CommandLine::Action::ShowVersion:
        std::fputs(qPrintable(commandLine.text), stdout);
        return 0;
    case sim::CommandLine::Action::Run:
        break;
    }

    sim::Controller controller;
    sim::configure(commandLine.options, controller);
    if (!sim::installStopSignals())
        return sim::kExitFailure;
    sim::Simulator simulator(controller, commandLine.options);
    if (!simulator.open())
        return sim::kExitFailure;
    simulator.announceReady();
    const int status = simulator.run();
    simulator.shutDown();
    simulator.noteDropTotals();
    return status;
}
