// Every line fault against every kind of command, through the program as it runs: the
// workbench shown, the program's own waits in real time and its own serial port, talking to the
// simulated controller over a pseudo-terminal. Each cell faults one kind of command only and
// checks how often that command went on the line, the boxes the operator saw, that the run
// ended in time with nothing crashed, and what the report file holds afterwards.
//
// How the program meets a fault, and so what each cell expects:
//  - An exchange sends the command, then waits in passes. Identity (wait for 22 characters):
//    110 ms passes. Table read (13 characters): a 200 ms pass, then 65 ms passes. Live
//    reading and the three write commands: whatever came within one 1000 ms pass, never a
//    failure from silence.
//  - A reply not complete by the end of the second pass fails the attempt; a failed first
//    attempt is sent once more; two failed attempts are status 4, "RS-232 Retry Error".
//  - A command that cannot be handed to the line (the device is gone) fails at once with
//    status 4; a lost device is opened again once per later exchange (never within an Accept
//    once its first write command has gone), in vain here, since the simulated controller has
//    gone for good.
//  - The identity read and a channel load show the communications box on status 4, a load at
//    most once; a table reply whose byte fields read as no byte (a fraction, below 0, above
//    255) is a failed read too.
//  - An Accept shows at most one box, when a write command could not be sent, and writes the
//    channel's row to the report file whatever became of the writes.
#include "fakes.h"
#include "form_controls.h"
#include "link/identity_block.h"
#include "link/serial_port.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "platform/system/waits.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

using testsupport::kBoxTitle;
using testsupport::kCalibrationLine;
using testsupport::kChannel30Record;
using testsupport::kChannel30RecordAt;
using testsupport::kWriteFailureText;
using workbench::frmCalibrateSensor;

namespace {

enum class Fault {
    Silent,         // the controller never answers
    LateSecondPass, // the reply comes within the second wait pass
    LatePastPasses, // the reply comes after both passes of both attempts
    Partial,        // only the first half of the reply comes
    Garbage,        // pseudo-random bytes of the reply's length
    FirstDropped,   // the first command goes unanswered, the next is answered
    GoneInReply,    // half the reply comes, then the device goes away
};

enum class Kind { Identity, Table, Live, TOn, TC, TOff };

enum class Box { LinkFailure, WriteFailure };

struct Cell {
    Fault fault;
    Kind kind;
    // How often each faulted command line went on the line (see faultedLines).
    std::vector<int> sends;
    std::vector<Box> boxes;
};

// The box when the line fails, exactly as the operator sees it (the box title and the write
// failure's text are the harness's).
const QString kLinkFailureText =
    QStringLiteral("Communication ERROR Occurred. iStatus =  4, RS-232 Retry Error\r\n"
                   "Make sure TQ-8400 is powered, and communication cable is connected!");

// The lines of a kind the cell faults. A load reads two table lines, both table reads.
std::vector<QByteArray> faultedLines(Kind kind) {
    switch (kind) {
    case Kind::Identity:
        return {">(00F00 RX 22)"};
    case Kind::Table:
        return {">(00TRX 112)", ">(00TRX 113)"};
    case Kind::Live:
        return {">(0140A RX 11)"};
    case Kind::TOn:
        return {">(00T ON)"};
    case Kind::TC:
        return {kCalibrationLine};
    case Kind::TOff:
        return {">(00T OFF)"};
    }
    return {};
}

QString simKindName(Kind kind) {
    switch (kind) {
    case Kind::Identity:
        return QStringLiteral("identity");
    case Kind::Table:
        return QStringLiteral("table");
    case Kind::Live:
        return QStringLiteral("live");
    case Kind::TOn:
        return QStringLiteral("ton");
    case Kind::TC:
        return QStringLiteral("tc");
    case Kind::TOff:
        return QStringLiteral("toff");
    }
    return {};
}

bool isWrite(Kind kind) {
    return kind == Kind::TOn || kind == Kind::TC || kind == Kind::TOff;
}

// Half the reply of the kind: 22 identity characters, 13 of a table line, 11 of a reading,
// 3 of "OK" CR.
int halfReply(Kind kind) {
    switch (kind) {
    case Kind::Identity:
        return 11;
    case Kind::Table:
        return 6;
    case Kind::Live:
        return 5;
    default:
        return 1;
    }
}

// Reply delays. Within the second pass: identity 140 ms (passes end at 110 and 220), table
// 215 ms (200 and 265); the one-pass kinds 1500 ms, where a second 1000 ms pass would be.
// Past both passes of both attempts: identity 800 ms (a failed attempt waits at most three
// 110 ms passes, so the resend's second pass ends by 550 ms); table 1500 ms (the resend's
// second pass ends by 660 ms, and the load's second line has failed by 1320 ms, so the late
// replies land in the live reading that ends the load); the one-pass kinds 2500 ms.
int delayMs(Fault fault, Kind kind) {
    const bool second = fault == Fault::LateSecondPass;
    switch (kind) {
    case Kind::Identity:
        return second ? 140 : 800;
    case Kind::Table:
        return second ? 215 : 1500;
    default:
        return second ? 1500 : 2500;
    }
}

QStringList simArguments(const Cell& cell) {
    const QStringList faultOn{QStringLiteral("--fault-on"), simKindName(cell.kind)};
    switch (cell.fault) {
    case Fault::Silent:
        return faultOn + QStringList{QStringLiteral("--silent")};
    case Fault::LateSecondPass:
    case Fault::LatePastPasses:
        return faultOn + QStringList{QStringLiteral("--delay"),
                                     QString::number(delayMs(cell.fault, cell.kind))};
    case Fault::Partial:
        return faultOn +
               QStringList{QStringLiteral("--partial"), QString::number(halfReply(cell.kind))};
    case Fault::Garbage:
        return faultOn + QStringList{QStringLiteral("--garbage")};
    case Fault::FirstDropped: {
        const QByteArray line = faultedLines(cell.kind).front();
        return {QStringLiteral("--ignore-first"),
                QString::fromLatin1(line.mid(2, line.size() - 3))};
    }
    case Fault::GoneInReply:
        return faultOn + QStringList{QStringLiteral("--hangup-in-reply"),
                                     QString::number(halfReply(cell.kind))};
    }
    return {};
}

// How long the faulted step may take at most: the longest the waits can last under the rules,
// with every attempt failing after a third pass and a resent table read starting with its
// 200 ms pass again, plus 1.5 s for a busy machine.
//   identity: 2 attempts x 3 x 110 ms = 660 ms
//   a load:   2 table lines x 2 attempts x (200 + 65 + 65) ms + one 1000 ms reading = 2320 ms
//   an Accept: 3 writes and a reading, one 1000 ms pass each = 4000 ms
qint64 boundMs(Kind kind) {
    constexpr qint64 kSlackMs = 1500;
    switch (kind) {
    case Kind::Identity:
        return 660 + kSlackMs;
    case Kind::Table:
    case Kind::Live:
        return 2320 + kSlackMs;
    default:
        return 4000 + kSlackMs;
    }
}

using enum Fault;
using enum Kind;
constexpr Box kLink = Box::LinkFailure;
constexpr Box kWrite = Box::WriteFailure;

const Cell kCells[] = {
    // Silent. Identity and table reads wait for characters that never come: both attempts
    // fail, two sends each; the load's two failed lines make one box. A reading or a write
    // takes what came in its one pass and never fails from silence: one send, no box (the
    // controller also never took T ON, so it refuses the calibration, which the program does
    // not read).
    {Silent, Identity, {2}, {kLink}},
    {Silent, Table, {2, 2}, {kLink}},
    {Silent, Live, {1}, {}},
    {Silent, TOn, {1}, {}},
    {Silent, TC, {1}, {}},
    {Silent, TOff, {1}, {}},

    // Late into the second pass: the reply is complete by the end of the second pass, so the
    // first attempt succeeds: one send, no box. The one-pass kinds have ended their exchange
    // by then and go on without the reply: one send, no box.
    {LateSecondPass, Identity, {1}, {}},
    {LateSecondPass, Table, {1, 1}, {}},
    {LateSecondPass, Live, {1}, {}},
    {LateSecondPass, TOn, {1}, {}},
    {LateSecondPass, TC, {1}, {}},
    {LateSecondPass, TOff, {1}, {}},

    // Late past both passes: both attempts miss their reply, as if silent: two sends and the
    // retry error for identity and table reads; one send and no box for the one-pass kinds.
    {LatePastPasses, Identity, {2}, {kLink}},
    {LatePastPasses, Table, {2, 2}, {kLink}},
    {LatePastPasses, Live, {1}, {}},
    {LatePastPasses, TOn, {1}, {}},
    {LatePastPasses, TC, {1}, {}},
    {LatePastPasses, TOff, {1}, {}},

    // Partial reply: the length waited for never comes, so identity and table reads fail
    // both attempts; the one-pass kinds take the half: one send, no box.
    {Partial, Identity, {2}, {kLink}},
    {Partial, Table, {2, 2}, {kLink}},
    {Partial, Live, {1}, {}},
    {Partial, TOn, {1}, {}},
    {Partial, TC, {1}, {}},
    {Partial, TOff, {1}, {}},

    // Garbage of the right length: every exchange is complete at its first attempt, one send.
    // Only a table read looks inside, and reads its byte fields by the number rule: this
    // garbage holds no number there that no byte has, so no box. The identity block is cut into
    // fields whatever it holds: no box.
    {Garbage, Identity, {1}, {}},
    {Garbage, Table, {1, 1}, {}},
    {Garbage, Live, {1}, {}},
    {Garbage, TOn, {1}, {}},
    {Garbage, TC, {1}, {}},
    {Garbage, TOff, {1}, {}},

    // First command dropped: identity and the first table line fail their first attempt and
    // get their reply to the resend: two sends, no box; the second table line is answered at
    // once. A dropped reading or write is silence within its one pass: one send, no box.
    {FirstDropped, Identity, {2}, {}},
    {FirstDropped, Table, {2, 1}, {}},
    {FirstDropped, Live, {1}, {}},
    {FirstDropped, TOn, {1}, {}},
    {FirstDropped, TC, {1}, {}},
    {FirstDropped, TOff, {1}, {}},

    // Device gone in the middle of a reply: the half never completes an identity or table
    // read, and its resend cannot be handed to the line: one send, status 4, the box; the
    // load's second table line cannot be sent either (no send). A reading or a write takes the
    // half: one send. After T ON or TC, the next write cannot be sent: the Accept's one box.
    // After T OFF only the closing reading is left, which shows no box.
    {GoneInReply, Identity, {1}, {kLink}},
    {GoneInReply, Table, {1, 0}, {kLink}},
    {GoneInReply, Live, {1}, {}},
    {GoneInReply, TOn, {1}, {kWrite}},
    {GoneInReply, TC, {1}, {kWrite}},
    {GoneInReply, TOff, {1}, {}},
};

const char* faultName(Fault fault) {
    switch (fault) {
    case Silent:
        return "Silent";
    case LateSecondPass:
        return "LateSecondPass";
    case LatePastPasses:
        return "LatePastPasses";
    case Partial:
        return "Partial";
    case Garbage:
        return "Garbage";
    case FirstDropped:
        return "FirstDropped";
    case GoneInReply:
        return "GoneInReply";
    }
    return "?";
}

const char* kindName(Kind kind) {
    switch (kind) {
    case Identity:
        return "Identity";
    case Table:
        return "Table";
    case Live:
        return "Live";
    case TOn:
        return "TOn";
    case TC:
        return "TC";
    case TOff:
        return "TOff";
    }
    return "?";
}

void PrintTo(const Cell& cell, std::ostream* out) {
    *out << faultName(cell.fault) << ' ' << kindName(cell.kind);
}

class FaultMatrix : public ::testing::TestWithParam<Cell> {
  protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(testsupport::openRealLine(sim, reportDir)); }

    void TearDown() override {
        ui.reset();
        form.reset();
        testsupport::closeRealLine();
    }

    // Shows the workbench; its activation loads channel 30. Returns once the load has ended.
    void showAndLoad() {
        form = std::make_unique<frmCalibrateSensor>();
        ui.emplace(*form);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return Module1::vChannelIndex.has_value() && !form->isBusy(); },
            int(boundMs(Table))));
        // The refresh would add readings the cell does not count.
        ui->Timer1->stop();
    }

    // The commands the simulator received, once it has logged every one the program sent.
    // When the device has gone the simulator ends after it; otherwise a marker line goes after
    // them and is waited for.
    std::vector<QByteArray> settledCommands(bool deviceGone) {
        if (deviceGone) {
            EXPECT_TRUE(testsupport::waitUntil([&] { return sim.exitCode() >= 0; }, 5000))
                << "the simulator did not hang up";
            return sim.commands();
        }
        const QByteArray marker = ">(end of cell)";
        EXPECT_TRUE(platform::PDQ().Comm1().output(marker + "\r\n"));
        EXPECT_TRUE(testsupport::waitUntil(
            [&] {
                const auto lines = sim.commands();
                return !lines.empty() && lines.back() == marker;
            },
            5000));
        auto lines = sim.commands();
        if (!lines.empty() && lines.back() == marker)
            lines.pop_back();
        return lines;
    }

    QByteArray report() const {
        QFile file(records::reportFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    QTemporaryDir reportDir;
    testsupport::SimProcess sim{simArguments(GetParam())};
    testsupport::BoxAnswerer boxes;
    std::unique_ptr<frmCalibrateSensor> form;
    std::optional<testsupport::WorkbenchControls> ui;
};

TEST_P(FaultMatrix, Cell) {
    const Cell& cell = GetParam();
    QElapsedTimer clock;
    if (cell.kind == Identity) {
        clock.start();
        workbench::ControllerIdentity::instance().ReadIdentityBlock(
            Module1::vDisplayMicroDate, Module1::vDisplayMicroInfo, Module1::sTerminalMicroDate);
    } else if (!isWrite(cell.kind)) {
        clock.start();
        showAndLoad();
        if (HasFatalFailure())
            return;
    } else {
        showAndLoad();
        if (HasFatalFailure())
            return;
        // The load touches no write command, so the fault has not shown yet.
        ASSERT_TRUE(boxes.shown.empty()) << boxes.shown.front().text.toStdString();
        clock.start();
        ui->cmdAccept->click();
        ui->Timer1->stop();
    }
    const qint64 elapsedMs = clock.elapsed();
    EXPECT_LE(elapsedMs, boundMs(cell.kind));

    // Sends of each faulted line.
    const std::vector<QByteArray> commands = settledCommands(cell.fault == GoneInReply);
    const std::vector<QByteArray> lines = faultedLines(cell.kind);
    ASSERT_EQ(cell.sends.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(std::count(commands.begin(), commands.end(), lines[i]), cell.sends[i])
            << lines[i].constData();
    if (cell.fault == FirstDropped) {
        // The simulator did drop it: the first of these lines in its log went unanswered.
        const auto log = sim.log();
        const auto first = std::find_if(log.begin(), log.end(),
                                        [&](const auto& l) { return l.text == lines.front(); });
        ASSERT_NE(first, log.end());
        EXPECT_TRUE(first->ignored);
    }

    // The boxes, in order, exactly as shown.
    std::vector<std::pair<std::string, std::string>> shown;
    for (const testsupport::ShownBox& box : boxes.shown)
        shown.emplace_back(box.title.toStdString(), box.text.toStdString());
    std::vector<std::pair<std::string, std::string>> expected;
    for (Box box : cell.boxes)
        expected.emplace_back(
            kBoxTitle.toStdString(),
            (box == Box::LinkFailure ? kLinkFailureText : kWriteFailureText).toStdString());
    EXPECT_EQ(shown, expected);

    // Nothing crashed: the workbench is still open and idle, and the simulator is still running
    // unless it was told to go.
    if (form) {
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->isBusy());
    }
    if (cell.fault == GoneInReply)
        EXPECT_EQ(sim.exitCode(), 0);
    else
        EXPECT_EQ(sim.exitCode(), -1) << "the simulator ended";

    // The report file: an Accept writes channel 30's row, whatever became of the writes;
    // nothing else touches the file.
    QByteArray expectedReport = records::reportTemplate();
    if (isWrite(cell.kind))
        expectedReport.replace(kChannel30RecordAt, kChannel30Record.size(), kChannel30Record);
    EXPECT_EQ(report(), expectedReport);

    RecordProperty("elapsed_ms", int(elapsedMs));
}

INSTANTIATE_TEST_SUITE_P(Workbench, FaultMatrix, ::testing::ValuesIn(kCells),
                         [](const ::testing::TestParamInfo<Cell>& info) {
                             return std::string(faultName(info.param.fault)) + "_" +
                                    kindName(info.param.kind);
                         });

} // namespace
