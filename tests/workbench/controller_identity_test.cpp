// The controller's identity as the workbench holds it. The identity block read on a fake port
// with scripted replies. The identity read again after a silence or a reopen, before the next
// command goes on: the same controller is simply confirmed, another one is told of once and
// named from then on, a read that fails leaves the identity unconfirmed in the log; a line that
// stays well sends exactly what it always sent. Last, another controller put on the line in
// the middle of an Accept or between two, over a pseudo-terminal with the simulated controller.
#include "fakes.h"
#include "form_controls.h"
#include "link/identity_block.h"
#include "link/serial_port.h"
#include "link/transact.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "platform/system/waits.h"
#include "records/report_file.h"
#include "shell/about.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

using shell::frmAbout;
using testsupport::BoxAnswerer;
using testsupport::Delivery;
using testsupport::FakePort;
using testsupport::FakeWaits;
using testsupport::kBoxTitle;
using testsupport::kCalibrationLine;
using testsupport::kChannel30Record;
using testsupport::kChannel30RecordAt;
using testsupport::kWriteFailureText;
using testsupport::SimProcess;

using workbench::frmCalibrateSensor;

namespace {

enum class Gap { None, Silence, Reopen };
enum class Answer { Same, Another, NoIdentity };

struct Recheck {
    const char* name;
    Gap gap;                      // what happened to the line before the next reading
    Answer answer;                // who answers after it
    std::vector<QByteArray> wire; // the next reading, then an Accept
    bool told;                    // the box that another controller answers
    const char* logged;           // the identity fields of the Accept's log line
    const char* about;            // the about box's display board line after it
};

const QByteArray kIdentity = ">(00F00 RX 22)";
const QByteArray kReading = ">(0140A RX 11)";
const QByteArray kOn = ">(00T ON)";
const QByteArray kOff = ">(00T OFF)";
const char kFirst[] = "11/03/00,V2.1,10/27/00";
const char kFirstAbout[] = "Display  Board Micro Version : 11/03/00 V2.1";

const Recheck kRechecks[] = {
    {"LineStaysWell",
     Gap::None,
     Answer::Same,
     {kReading, kOn, kCalibrationLine, kOff, kReading},
     false,
     kFirst,
     kFirstAbout},
    {"SilenceThenSameController",
     Gap::Silence,
     Answer::Same,
     {kIdentity, kReading, kOn, kCalibrationLine, kOff, kReading},
     false,
     kFirst,
     kFirstAbout},
    {"ReopenedOnSameController",
     Gap::Reopen,
     Answer::Same,
     {kIdentity, kReading, kOn, kCalibrationLine, kOff, kReading},
     false,
     kFirst,
     kFirstAbout},
    // Read twice as it differs; the channel is read again from the other controller.
    {"ReopenedOnAnotherController",
     Gap::Reopen,
     Answer::Another,
     {kIdentity, kIdentity, kReading, ">(00TRX 112)", ">(00TRX 113)", kReading, kOn,
      kCalibrationLine, kOff, kReading},
     true,
     "12/01/05,V3.0,11/30/05",
     "Display  Board Micro Version : 12/01/05 V3.0"},
    // Both attempts of the identity read go unanswered: no box, and no controller named.
    {"ReReadFails",
     Gap::Silence,
     Answer::NoIdentity,
     {kIdentity, kIdentity, kReading, kOn, kCalibrationLine, kOff, kReading},
     false,
     "unconfirmed,unconfirmed,unconfirmed",
     kFirstAbout},
};

void PrintTo(const Recheck& recheck, std::ostream* out) {
    *out << recheck.name;
}

class IdentityRecheck : public ::testing::TestWithParam<Recheck> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testsupport::putReportTemplateIn(dir));
        ui.Timer1->stop();
        // As start-up leaves it: the identity read, then channel 30 loaded.
        workbench::ControllerIdentity::instance().ReadIdentityBlock(
            Module1::vDisplayMicroDate, Module1::vDisplayMicroInfo, Module1::sTerminalMicroDate);
        testsupport::loadChannel(form, QStringLiteral("30"));
    }
    void TearDown() override { records::setReportDirectoryForTests(QString()); }

    // Runs what the work just ended left to do (a channel read again).
    void runDeferredWork() {
        QCoreApplication::processEvents();
        ui.Timer1->stop();
    }

    QStringList logLines() const {
        QFile file(QDir(dir.path()).filePath(QStringLiteral("CalLog.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines.mid(1);
    }

    QTemporaryDir dir;
    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
    testsupport::WorkbenchControls ui{form};
};

TEST_P(IdentityRecheck, NextCommandWaitsForTheIdentity) {
    const Recheck& recheck = GetParam();
    if (recheck.gap == Gap::Silence) {
        harness.silent = true;
        form.Timer1_Timer();
        harness.silent = false;
    } else if (recheck.gap == Gap::Reopen) {
        harness.port->loseDevice();
        harness.port->deviceBack = true;
    }
    if (recheck.answer == Answer::Another)
        harness.controller.setIdentity("12/01/05 V3.0 11/30/05");
    else if (recheck.answer == Answer::NoIdentity)
        harness.replies[kIdentity] = QByteArray();
    harness.forget();

    form.Timer1_Timer();
    runDeferredWork();
    form.cmdAccept_Click();
    ui.Timer1->stop();

    EXPECT_EQ(harness.commands(), recheck.wire);
    std::vector<std::string> titles;
    for (const testsupport::ShownBox& box : harness.boxes.shown)
        titles.push_back(box.title.toStdString());
    EXPECT_EQ(titles, recheck.told ? std::vector<std::string>{"Another Controller"}
                                   : std::vector<std::string>{});
    const QStringList log = logLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(
        log[0].contains(QLatin1Char(',') + QLatin1String(recheck.logged) + QStringLiteral(",,30,")))
        << qPrintable(log[0]);
    EXPECT_TRUE(log[0].contains(QStringLiteral(",ok,stored,"))) << qPrintable(log[0]);
    frmAbout about;
    EXPECT_EQ(about.lblDBMicro->text(), QLatin1String(recheck.about));

    // A failed read is tried again at the next silence, and then names the controller again.
    if (recheck.answer == Answer::NoIdentity) {
        harness.replies.clear();
        harness.silent = true;
        form.Timer1_Timer();
        harness.silent = false;
        harness.forget();
        form.Timer1_Timer();
        ui.Timer1->stop();
        EXPECT_EQ(harness.commands(), (std::vector<QByteArray>{kIdentity, kReading}));
        EXPECT_FALSE(workbench::ControllerIdentity::instance().unconfirmed());
        EXPECT_TRUE(harness.boxes.shown.empty());
    }
}

TEST(IdentityBeforeCommand, AHeldLostDeviceStaysLostAndTheNextCommandAsksWhoAnswers) {
    testsupport::WorkbenchHarness harness;
    workbench::ControllerIdentity& identity = workbench::ControllerIdentity::instance();
    QSignalSpy confirmations(&identity, &workbench::ControllerIdentity::confirmationChanged);
    harness.port->loseDevice();
    harness.port->deviceBack = true;
    {
        const devicelink::LostDeviceHold hold;
        identity.recheckBeforeCommand();
        const devicelink::ExchangeResult off = devicelink::Exchange(
            QStringLiteral(">(00T OFF)\r\n"), devicelink::ReplyWait::OneSecond);
        EXPECT_EQ(off.status, 4);
        EXPECT_EQ(off.errorText, QStringLiteral("RS-232 Retry Error"));
        EXPECT_EQ(harness.port->reopenAttempts, 0);
        EXPECT_TRUE(harness.waits.sleeps.empty()) << "failed at once";
        EXPECT_TRUE(confirmations.isEmpty());
    }
    // The hold has ended: the device opens again, and the identity is read before the command.
    identity.recheckBeforeCommand();
    EXPECT_FALSE(
        devicelink::Exchange(QStringLiteral(">(0140A RX 11)\r\n"), devicelink::ReplyWait::OneSecond)
            .failed());
    EXPECT_EQ(harness.port->reopenAttempts, 1);
    EXPECT_EQ(harness.commands(), (std::vector<QByteArray>{kIdentity, kReading}));
    EXPECT_FALSE(identity.unconfirmed());
    EXPECT_FALSE(identity.readOwed());
    // Unconfirmed by the reopen, confirmed by the identity read.
    ASSERT_EQ(confirmations.size(), 2);
    EXPECT_TRUE(confirmations[0][0].toBool());
    EXPECT_FALSE(confirmations[1][0].toBool());
}

TEST(IdentityBeforeCommand, ALostDeviceBackOnTheLineIsAskedWhoAnswersFirst) {
    workbench::ControllerIdentity::instance().reset();
    SimProcess sim({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    ASSERT_TRUE(sim.start());
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));
    ASSERT_TRUE(devicelink::OpenPort(1)) << devicelink::OpenPortError().toStdString();
    const auto command = [](const QString& line, devicelink::ReplyWait wait) {
        workbench::ControllerIdentity::instance().recheckBeforeCommand();
        return devicelink::Exchange(line, wait);
    };
    const QString identityLine = QStringLiteral(">(00F00 RX 22)\r\n");
    EXPECT_FALSE(command(identityLine, devicelink::ReplyWait::IdentityBlock).failed());
    // The controller hangs up; while it is gone every exchange fails and none hangs.
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return command(QStringLiteral(">(0140A RX 11)\r\n"), devicelink::ReplyWait::OneSecond)
            .failed();
    }));
    EXPECT_TRUE(platform::PDQ().Comm1().deviceLost());

    // The same port comes back (a new pty behind the same COM1): the next command opens it,
    // and asks who answers there before it goes on.
    ASSERT_TRUE(testsupport::waitUntil([&] { return sim.exitCode() == 0; }));
    SimProcess back({}, 1, sim.directory());
    ASSERT_TRUE(back.start()) << back.error().toStdString();
    const devicelink::ExchangeResult read =
        command(identityLine, devicelink::ReplyWait::IdentityBlock);
    EXPECT_FALSE(read.failed());
    EXPECT_EQ(read.reply, QByteArray("11/03/00 V2.1 10/27/00"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return back.commands().size() >= 2; }));
    EXPECT_EQ(back.commands(), (std::vector<QByteArray>{">(00F00 RX 22)", ">(00F00 RX 22)"}));
    devicelink::ClosePort();
    platform::PDQ().replaceComm1(nullptr);
    workbench::ControllerIdentity::instance().reset();
}

INSTANTIATE_TEST_SUITE_P(Workbench, IdentityRecheck, ::testing::ValuesIn(kRechecks),
                         [](const ::testing::TestParamInfo<Recheck>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

// --- The identity block read ---

namespace {

class IdentityBlockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    void replyWith(const QByteArray& bytes) {
        port->responder = [bytes](const QByteArray&, int) {
            return std::vector<Delivery>{{20, bytes}};
        };
    }

    void read() {
        workbench::ControllerIdentity::instance().ReadIdentityBlock(displayDate, displayInfo,
                                                                    terminalDate);
    }

    testsupport::FakeLink link;
    FakeWaits& waits = link.waits;
    FakePort* port = link.port;
    BoxAnswerer boxes;
    QVariant displayDate;
    QString displayInfo;
    QString terminalDate;
};

TEST_F(IdentityBlockTest, WellFormedBlockIsCutIntoThreeFields) {
    replyWith("11/03/00DB-2.110/27/00");
    read();
    ASSERT_EQ(port->sent.size(), 1u);
    EXPECT_EQ(port->sent[0], QByteArray(">(00F00 RX 22)\r\n"));
    EXPECT_EQ(displayDate, QVariant(QStringLiteral("11/03/00")));
    EXPECT_EQ(displayInfo, QStringLiteral("DB-2.1"));
    EXPECT_EQ(terminalDate, QStringLiteral("10/27/00"));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(IdentityBlockTest, NoReplyGivesOneBoxAndBothSubstitutes) {
    read();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Communications Error"));
    EXPECT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(displayDate.typeId(), QMetaType::QDate);
    EXPECT_EQ(displayDate.toDate(), QDate(2000, 5, 19));
    EXPECT_TRUE(displayInfo.isEmpty());
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));
    EXPECT_EQ(devicelink::DateFieldText(displayDate), QStringLiteral("5/19/00"));
}

TEST_F(IdentityBlockTest, DateThenNonDateKeepsTheFirstAndSubstitutesTheLast) {
    replyWith("05/19/00ABCDEFrev 1.23");
    read();
    EXPECT_EQ(displayDate, QVariant(QStringLiteral("05/19/00")));
    EXPECT_EQ(displayInfo, QStringLiteral("ABCDEF"));
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));
}

TEST_F(IdentityBlockTest, BlanksAroundFieldsGoAndBlanksInsideStay) {
    replyWith("02-29-00 A B  31.12.99");
    read();
    EXPECT_EQ(displayDate, QVariant(QStringLiteral("02-29-00")));
    EXPECT_EQ(displayInfo, QStringLiteral("A B"));
    EXPECT_EQ(terminalDate, QStringLiteral("31.12.99"));

    // Only blanks are trimmed: tabs and line ends are the controller's text and stay.
    replyWith("11/03/00\tV2.1\r11/03/00");
    read();
    EXPECT_EQ(displayInfo, QStringLiteral("\tV2.1\r"));
}

TEST_F(IdentityBlockTest, LongShortAndOddRepliesNeverBreakTheCut) {
    replyWith("11/03/00DB-2.110/27/00TRAILING");
    read();
    EXPECT_EQ(terminalDate, QStringLiteral("10/27/00"));

    replyWith(QByteArray("\x00\x00\xff\xfe\x80", 5));
    read();
    EXPECT_EQ(displayDate.toDate(), QDate(2000, 5, 19));
    EXPECT_TRUE(displayInfo.isEmpty());
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));

    replyWith(QByteArray(30, '\0'));
    read();
    EXPECT_EQ(displayDate.toDate(), QDate(2000, 5, 19));
    EXPECT_EQ(terminalDate, QStringLiteral("5/2/00"));
}

} // namespace

// --- Another controller on the line ---

namespace {

// Another controller put on the same port while the first goes away: the first hangs up after a
// given number of commands, the second takes over the port's link. A device lost during an Accept
// stays lost until the Accept has ended, so the rest of its commands fail at once and reach
// neither controller; the Accept shows its one box, logs the failure and why, and records the
// row. The next exchange opens the port again, finds the other controller by its identity and
// says so once; the channel is read again from it. Swapped between two Accepts, the second Accept
// finds the other controller before its first command and sends nothing.
struct Swap {
    const char* name;
    int hangupAfter;   // commands the first controller takes: identity, load (3), then the Accept's
    int writesToFirst; // how many of T ON, TC and T OFF reached the first controller
    bool lostInTheWrite; // the first Accept's writes failed (otherwise it went through)
    const char* why;     // what the log says after the status when the writes failed
};

const QString kSecondIdentity = QStringLiteral("12/01/05 V3.0 11/30/05");
const char kLostBefore[] = "not sent: the device is lost and did not open again (";
const char kLostDuring[] =
    "not sent: the device was lost during the Accept and is not opened again before it ends (";

const Swap kSwaps[] = {
    {"LostBeforeTOn", 4, 0, true, kLostBefore},
    {"LostBetweenTOnAndTC", 5, 1, true, kLostDuring},
    {"LostBetweenTCAndTOff", 6, 2, true, kLostDuring},
    {"SwappedBetweenTwoAccepts", 8, 3, false, nullptr},
};

void PrintTo(const Swap& swap, std::ostream* out) {
    *out << swap.name;
}

// Command lines as plain strings, so that a failure prints them readably.
std::vector<std::string> readable(const std::vector<QByteArray>& lines) {
    std::vector<std::string> out;
    for (const QByteArray& line : lines)
        out.push_back(line.toStdString());
    return out;
}

class SwapOnTheLine : public ::testing::TestWithParam<Swap> {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(testsupport::openRealLine(first, reportDir));
        workbench::ControllerIdentity::instance().ReadIdentityBlock(
            Module1::vDisplayMicroDate, Module1::vDisplayMicroInfo, Module1::sTerminalMicroDate);
        form = std::make_unique<frmCalibrateSensor>();
        ui.emplace(*form);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return Module1::vChannelIndex.has_value() && !form->isBusy(); }));
        ui->Timer1->stop();
        ASSERT_TRUE(boxes.shown.empty());
    }

    void TearDown() override {
        ui.reset();
        form.reset();
        testsupport::closeRealLine();
    }

    // The lines of the calibration log after its header.
    QStringList logLines() const {
        QFile file(QDir(reportDir.path()).filePath(QStringLiteral("CalLog.csv")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        lines.removeFirst();
        lines.removeAll(QString());
        return lines;
    }

    QByteArray report() const {
        QFile file(records::reportFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    QTemporaryDir reportDir;
    testsupport::SimProcess first{
        {QStringLiteral("--hangup-after"), QString::number(GetParam().hangupAfter)}};
    testsupport::SimProcess second{
        {QStringLiteral("--identity"), kSecondIdentity}, 1, first.directory()};
    testsupport::BoxAnswerer boxes;
    std::unique_ptr<frmCalibrateSensor> form;
    std::optional<testsupport::WorkbenchControls> ui;
};

TEST_P(SwapOnTheLine, OneAcceptReachesOneControllerAndTheNextIsToldOfTheOther) {
    const Swap& swap = GetParam();
    const std::vector<QByteArray> writes = {">(00T ON)", kCalibrationLine, ">(00T OFF)"};
    if (swap.writesToFirst == 0) {
        // Gone before the Accept, with nothing on the port yet.
        ASSERT_TRUE(testsupport::waitUntil([&] { return first.exitCode() == 0; }));
        ASSERT_TRUE(testsupport::waitUntil([] { return platform::PDQ().Comm1().deviceLost(); }));
    }
    // The other controller takes the port as soon as the Accept has shown its box.
    bool secondStarted = false;
    boxes.onShow = [&](const testsupport::ShownBox&) {
        if (!std::exchange(secondStarted, true)) {
            EXPECT_TRUE(second.start()) << second.error().toStdString();
        }
    };
    ui->cmdAccept->click();
    ui->Timer1->stop();
    const std::vector<QByteArray> secondDuringAccept = second.commands();

    // What reached the first controller: identity, the load, and the writes before it went.
    std::vector<QByteArray> toFirst = {kIdentity, ">(00TRX 112)", ">(00TRX 113)", ">(0140A RX 11)"};
    toFirst.insert(toFirst.end(), writes.begin(), writes.begin() + swap.writesToFirst);
    if (!swap.lostInTheWrite)
        toFirst.push_back(">(0140A RX 11)");
    ASSERT_TRUE(testsupport::waitUntil([&] { return first.exitCode() == 0; }));
    EXPECT_EQ(readable(first.commands()), readable(toFirst));
    // Nothing of the Accept reached the other controller.
    EXPECT_EQ(readable(secondDuringAccept), std::vector<std::string>{});

    // One box; the log says the write failed and why; the row is recorded all the same.
    std::vector<std::string> titles;
    for (const testsupport::ShownBox& box : boxes.shown)
        titles.push_back(box.title.toStdString());
    QStringList log = logLines();
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].contains(QStringLiteral(",11/03/00,V2.1,10/27/00,,30,")))
        << qPrintable(log[0]);
    EXPECT_TRUE(log[0].contains(QStringLiteral(",stored,"))) << qPrintable(log[0]);
    if (swap.lostInTheWrite) {
        EXPECT_EQ(titles, std::vector<std::string>{kBoxTitle.toStdString()});
        EXPECT_EQ(boxes.shown.front().text, kWriteFailureText);
        EXPECT_TRUE(log[0].contains(QStringLiteral(",status 4: RS-232 Retry Error: ") +
                                    QLatin1String(swap.why)))
            << qPrintable(log[0]);
    } else {
        EXPECT_TRUE(titles.empty());
        EXPECT_TRUE(log[0].contains(QStringLiteral(",ok,stored"))) << qPrintable(log[0]);
        // Swapped between the two Accepts.
        ASSERT_TRUE(second.start()) << second.error().toStdString();
    }
    QByteArray expectedReport = records::reportTemplate();
    expectedReport.replace(kChannel30RecordAt, kChannel30Record.size(), kChannel30Record);
    EXPECT_EQ(report(), expectedReport);

    // The next exchange: a live reading after a failed Accept, the second Accept otherwise. The
    // port opens again, the identity block is read (twice, as it differs), and the channel is
    // read again from the controller now answering.
    boxes.shown.clear();
    boxes.onShow = nullptr;
    std::vector<QByteArray> toSecond = {kIdentity, kIdentity};
    if (swap.lostInTheWrite)
        toSecond.push_back(">(0140A RX 11)");
    toSecond.insert(toSecond.end(), {">(00TRX 112)", ">(00TRX 113)", ">(0140A RX 11)"});
    if (swap.lostInTheWrite)
        form->Timer1_Timer();
    else
        ui->cmdAccept->click();
    // The channel is read again once that has ended.
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return second.commands().size() >= toSecond.size() && !form->isBusy(); }));
    ui->Timer1->stop();
    EXPECT_EQ(readable(second.commands()), readable(toSecond));
    QString told = QStringLiteral(
        "Another controller now answers on this port.\r\n"
        "Before: display board 11/03/00 V2.1, terminal board 10/27/00\r\n"
        "Now: display board 12/01/05 V3.0, terminal board 11/30/05\r\n"
        "CalData.txt may hold rows of the previous controller: a row stands for this controller "
        "only once its channel has been accepted again.\r\n"
        "The channel on display is read again from this controller.");
    if (!swap.lostInTheWrite)
        told += QStringLiteral(
            "\r\nThe Accept has sent nothing; check the setpoints and press Accept again.");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Another Controller"));
    EXPECT_EQ(boxes.shown[0].text, told);
    // An Accept that sent nothing is not logged; the identity is the new controller's now.
    EXPECT_EQ(logLines().size(), 1);
    EXPECT_EQ(Module1::vDisplayMicroInfo, QStringLiteral("V3.0"));
    EXPECT_FALSE(workbench::ControllerIdentity::instance().unconfirmed());
}

INSTANTIATE_TEST_SUITE_P(Workbench, SwapOnTheLine, ::testing::ValuesIn(kSwaps),
                         [](const ::testing::TestParamInfo<Swap>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
