// The controller's identity read again after a silence or a reopen, before the next command goes
// on: the same controller is simply confirmed, another one is told of once and named from then
// on, a read that fails leaves the identity unconfirmed in the log; a line that stays well sends
// exactly what it always sent.
#include "form_controls.h"
#include "link/identity_block.h"
#include "link/serial_port.h"
#include "link/transact.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "shell/about.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench/report_file.h"
#include "workbench_harness.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

using shell::frmAbout;
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
const QByteArray kCalibration = ">(00TC 00 0409 +000.0 3685 +100.0)";
const QByteArray kOn = ">(00T ON)";
const QByteArray kOff = ">(00T OFF)";
const char kFirst[] = "11/03/00,V2.1,10/27/00";
const char kFirstAbout[] = "Display  Board Micro Version : 11/03/00 V2.1";

const Recheck kRechecks[] = {
    {"LineStaysWell",
     Gap::None,
     Answer::Same,
     {kReading, kOn, kCalibration, kOff, kReading},
     false,
     kFirst,
     kFirstAbout},
    {"SilenceThenSameController",
     Gap::Silence,
     Answer::Same,
     {kIdentity, kReading, kOn, kCalibration, kOff, kReading},
     false,
     kFirst,
     kFirstAbout},
    {"ReopenedOnSameController",
     Gap::Reopen,
     Answer::Same,
     {kIdentity, kReading, kOn, kCalibration, kOff, kReading},
     false,
     kFirst,
     kFirstAbout},
    // Read twice as it differs; the channel is read again from the other controller.
    {"ReopenedOnAnotherController",
     Gap::Reopen,
     Answer::Another,
     {kIdentity, kIdentity, kReading, ">(00TRX 112)", ">(00TRX 113)", kReading, kOn, kCalibration,
      kOff, kReading},
     true,
     "12/01/05,V3.0,11/30/05",
     "Display  Board Micro Version : 12/01/05 V3.0"},
    // Both attempts of the identity read go unanswered: no box, and no controller named.
    {"ReReadFails",
     Gap::Silence,
     Answer::NoIdentity,
     {kIdentity, kIdentity, kReading, kOn, kCalibration, kOff, kReading},
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
    void TearDown() override { workbench::setReportDirectoryForTests(QString()); }

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
        log[0].contains(QLatin1Char(',') + QLatin1String(recheck.logged) + QStringLiteral(",30,")))
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
