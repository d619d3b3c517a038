// The simulated controller's command line, read in-process: what each wrong option is told,
// and what the right ones set.
#include "sim/controller.h"
#include "sim/options.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using sim::CommandKind;
using sim::CommandKinds;
using sim::CommandLine;

CommandLine parse(const QStringList& arguments) {
    return sim::parseCommandLine(QStringList{QStringLiteral("tq8400-sim")} + arguments);
}

TEST(SimOptions, WrongOptionsAreToldAndRightOnesSetTheRun) {
    // Each wrong command line and what the program says about it; the first wrong option, in
    // the order the options are checked, is the one told.
    const std::vector<std::pair<QStringList, QString>> refused = {
        {{"--bogus"}, "Unknown option 'bogus'."},
        {{"--delay"}, "Missing value after '--delay'."},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"--link", ""}, "--link needs a path"},
        {{"--log", ""}, "--log needs a file name"},
        {{"--setup", "38=1"}, "--setup '38=1': expected CH=VALUE with CH one of 30..37, 40..45"},
        {{"--setup", "=1"}, "--setup '=1': expected CH=VALUE with CH one of 30..37, 40..45"},
        {{"--setup", "30=70000"}, "--setup: '70000' is not a word 0..65535 (decimal or 0x hex)"},
        {{"--setup", "30=0xG1"}, "--setup: '0xG1' is not a word 0..65535 (decimal or 0x hex)"},
        {{"--voltage", "30=5.01"}, "--voltage '30=5.01': volts must be 0..5"},
        {{"--voltage", "39=1"},
         "--voltage '39=1': expected CH=VALUE with CH one of 30..37, 40..45"},
        {{"--range", "30=0"}, "--range '30=0': expected CH=LOW:HIGH with two numbers"},
        {{"--range", "30=0:x"}, "--range '30=0:x': expected CH=LOW:HIGH with two numbers"},
        {{"--range", "29=0:90"},
         "--range '29=0:90': expected CH=VALUE with CH one of 30..37, 40..45"},
        {{"--input-file", ""}, "--input-file needs a file name"},
        {{"--partial", "-1"}, "--partial needs a whole number of at least 0, not '-1'"},
        {{"--seed", "-5"}, "--seed needs a whole number 0..4294967295"},
        {{"--delay", "x"}, "--delay needs a whole number of at least 0, not 'x'"},
        {{"--hangup-after", "0"}, "--hangup-after needs a whole number of at least 1, not '0'"},
        {{"--hangup-in-reply", "-2"},
         "--hangup-in-reply needs a whole number of at least 0, not '-2'"},
        {{"--fault-on", "live", "--fault-on", "TON"},
         "--fault-on 'TON': expected one of identity, table, live, ton, tc, toff"},
        {{"--delay", "x", "--setup", "38=1"},
         "--setup '38=1': expected CH=VALUE with CH one of 30..37, 40..45"},
    };
    for (const auto& [arguments, told] : refused) {
        const CommandLine line = parse(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::Refuse) << qPrintable(arguments.join(' '));
        EXPECT_EQ(line.text, told) << qPrintable(arguments.join(' '));
    }

    // Help and version come before any other check.
    const CommandLine help = parse({"--delay", "x", "--help"});
    EXPECT_EQ(help.action, CommandLine::Action::ShowHelp);
    for (const char* part : {"--fault-on <KIND>", "--hangup-in-reply <N>", "--ignore-first <TEXT>",
                             "--input-file <PATH>", "\nCommands and replies:\n",
                             "\n--fault-on KIND confines ", "\nInput file: --input-file PATH "})
        EXPECT_TRUE(help.text.contains(QLatin1String(part))) << part;
    const CommandLine version = parse({"--version"});
    EXPECT_EQ(version.action, CommandLine::Action::ShowVersion);
    EXPECT_EQ(version.text, "tq8400-sim " + QCoreApplication::applicationVersion() + "\n");

    // Nothing given: a plain controller that answers every command at once.
    const CommandLine plain = parse({});
    ASSERT_EQ(plain.action, CommandLine::Action::Run) << qPrintable(plain.text);
    EXPECT_TRUE(plain.options.linkPath.isEmpty());
    EXPECT_TRUE(plain.options.inputFilePath.isEmpty());
    EXPECT_FALSE(plain.options.identity.has_value());
    EXPECT_EQ(plain.options.faultKinds, CommandKinds::all());
    EXPECT_EQ(plain.options.delayMs, 0);
    EXPECT_EQ(plain.options.partialLength, -1);
    EXPECT_EQ(plain.options.hangupAfter, 0);
    EXPECT_EQ(plain.options.hangupInReply, -1);
    EXPECT_FALSE(plain.options.silent || plain.options.garbage || plain.options.pace ||
                 plain.options.verbose);

    // Everything given.
    const CommandLine full = parse({"--link",
                                    "/tmp/COM1",
                                    "--log",
                                    "/tmp/wire.jsonl",
                                    "-v",
                                    "--pace",
                                    "--identity",
                                    "SHORT",
                                    "--setup",
                                    "30=0x9100",
                                    "--setup",
                                    "45=513",
                                    "--voltage",
                                    "31=0.5",
                                    "--range",
                                    "30=0:90",
                                    "--input-file",
                                    "/tmp/volts.txt",
                                    "--silent",
                                    "--ignore-first",
                                    "00T ON",
                                    "--partial",
                                    "6",
                                    "--garbage",
                                    "--seed",
                                    "7",
                                    "--delay",
                                    "250",
                                    "--hangup-after",
                                    "3",
                                    "--hangup-in-reply",
                                    "2",
                                    "--fault-on",
                                    "table",
                                    "--fault-on",
                                    "toff"});
    ASSERT_EQ(full.action, CommandLine::Action::Run) << qPrintable(full.text);
    const sim::Options& o = full.options;
    EXPECT_EQ(o.linkPath, "/tmp/COM1");
    EXPECT_EQ(o.logPath, "/tmp/wire.jsonl");
    EXPECT_EQ(o.inputFilePath, "/tmp/volts.txt");
    EXPECT_TRUE(o.verbose && o.pace && o.silent && o.garbage);
    EXPECT_EQ(o.seed, 7u);
    EXPECT_EQ(o.delayMs, 250);
    EXPECT_EQ(o.partialLength, 6);
    EXPECT_EQ(o.hangupAfter, 3);
    EXPECT_EQ(o.hangupInReply, 2);
    EXPECT_EQ(o.ignoreFirst, QByteArrayList{"00T ON"});
    const std::vector<std::pair<int, quint16>> words = {{0, 0x9100}, {13, 513}};
    EXPECT_EQ(o.setupWords, words);
    const std::vector<std::pair<int, double>> volts = {{1, 0.5}};
    EXPECT_EQ(o.voltages, volts);
    CommandKinds kinds;
    kinds.insert(CommandKind::TableRead);
    kinds.insert(CommandKind::WriteOff);
    EXPECT_EQ(o.faultKinds, kinds);

    // What the options say about the controller goes into it.
    sim::Controller controller;
    sim::configure(o, controller);
    EXPECT_EQ(controller.identity(), "SHORT");
    EXPECT_EQ(controller.setupWord(0), 0x9100);
    EXPECT_EQ(controller.setupWord(13), 513);
    EXPECT_EQ(controller.setupWord(1), sim::Controller::defaultSetupWord(1));
    EXPECT_DOUBLE_EQ(controller.voltage(1), 0.5);
    // A range held from before, after the setup word: 4.5 V reads 90 where it would read 100.
    EXPECT_DOUBLE_EQ(controller.calibration(0).hiRange, 90);
    controller.setVoltage(0, 4.5);
    EXPECT_DOUBLE_EQ(controller.engineeringValue(0), 90);
    EXPECT_EQ(controller.faultKinds(), kinds);
    // Silence reaches only the kinds named: the identity is answered, a table read is not.
    EXPECT_EQ(controller.handle(">(00F00 RX 22)").bytes, "SHORT");
    EXPECT_EQ(controller.handle(">(00TRX 112)").kind, sim::Response::Kind::Ignored);
}

} // namespace
