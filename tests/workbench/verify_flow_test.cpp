// A calibration as a technician makes one, through the workbench's own windows and the real
// waits, against the simulated controller program: a channel calibrated wrongly before fails
// its as-found test, Accept writes the right setpoints, and the as-left test passes; the log
// holds the job change, every point, the Accept and both verdicts in one chain.
#include "fakes.h"
#include "form_controls.h"
#include "link/serial_port.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "platform/system/waits.h"
#include "records/calibration_log_reader.h"
#include "records/job.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench/job_dialog.h"
#include "workbench/verify_window.h"
#include "workbench_harness.h"

#include <QApplication>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

using testsupport::control;
using workbench::frmCalibrateSensor;
using workbench::VerifyWindow;

namespace {

class VerifyFlow : public ::testing::Test {
  protected:
    void SetUp() override {
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
        platform::setWaits(nullptr); // the program's own waits: real time
        ASSERT_NO_FATAL_FAILURE(testsupport::putReportTemplateIn(reportDir));
        // The channel holds 0 - 90 PSIG from an earlier, wrong calibration; the reference's
        // voltages come from a file the test writes as it goes.
        inputPath = sim.directory() + QStringLiteral("/volts.txt");
        applyVolts(0.5);
        sim.addArguments({QStringLiteral("--range"), QStringLiteral("30=0:90"),
                          QStringLiteral("--input-file"), inputPath});
        ASSERT_TRUE(sim.start()) << sim.error().toStdString();
        platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));
        ASSERT_TRUE(devicelink::OpenPort(1)) << devicelink::OpenPortError().toStdString();
        workbench::ControllerIdentity::instance().ReadIdentityBlock(
            Module1::vDisplayMicroDate, Module1::vDisplayMicroInfo, Module1::sTerminalMicroDate);
    }

    void TearDown() override {
        form.reset();
        devicelink::ClosePort();
        platform::PDQ().replaceComm1(nullptr);
        records::setReportDirectoryForTests(QString());
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
    }

    // The reference at channel 30's terminals, as the simulator reads it before each reading.
    void applyVolts(double volts) {
        QFile file(inputPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("30=%1\n").arg(volts, 0, 'f', 3).toLatin1());
    }

    void writeReference(const QString& dueDate) {
        records::JobSettings settings;
        settings.job.organisation = QStringLiteral("Test Lab");
        settings.reference.description = QStringLiteral("Voltage calibrator");
        settings.reference.serial = QStringLiteral("VC-1");
        settings.reference.certificate = QStringLiteral("CERT-42");
        settings.reference.laboratory = QStringLiteral("National Lab");
        settings.reference.dueDate = dueDate;
        settings.reference.uncertaintyVolts = QStringLiteral("0.0005");
        ASSERT_EQ(records::writeJobSettings(
                      QDir(reportDir.path()).filePath(QLatin1String(records::kJobSettingsFileName)),
                      settings),
                  QString());
    }

    void showWorkbench() {
        form = std::make_unique<frmCalibrateSensor>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return Module1::vChannelIndex.has_value() && !form->isBusy(); }, 10000));
    }

    // Runs `act` on the modal window of type T as soon as it is the one open, from inside its
    // own event loop; gives up after `timeoutMs`. It looks again and again without waiting
    // itself, so that a dialog before it (whose loop it may run in first) can close.
    template <class T> void onModal(std::function<void(T&)> act, bool& ran, int timeoutMs = 15000) {
        const QDeadlineTimer deadline(timeoutMs);
        auto look = std::make_shared<std::function<void()>>();
        *look = [act, &ran, deadline, weak = std::weak_ptr(look)] {
            if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
                act(*window);
                ran = true;
            } else if (!deadline.hasExpired()) {
                if (auto again = weak.lock())
                    QTimer::singleShot(20, [again] { (*again)(); });
            }
        };
        QTimer::singleShot(0, [look] { (*look)(); });
    }

    // In the Verify window: each point applied at its nominal volts and recorded with Enter.
    void recordEveryPoint(VerifyWindow& window) {
        for (int i = 0; i < 5; ++i) {
            auto* field =
                control<QLineEdit>(window, qPrintable(QStringLiteral("txtApplied%1").arg(i)));
            ASSERT_NE(field, nullptr);
            applyVolts(field->text().toDouble());
            QTest::keyClick(field, Qt::Key_Return);
            ASSERT_TRUE(testsupport::waitUntil(
                [&] { return window.recorded().size() == size_t(i) + 1; }, 20000))
                << "point " << i << ": "
                << qPrintable(boxes.shown.empty() ? QString() : boxes.shown.back().text);
        }
    }

    QTemporaryDir reportDir;
    QString inputPath;
    testsupport::SimProcess sim;
    testsupport::BoxAnswerer boxes;
    std::unique_ptr<frmCalibrateSensor> form;
};

TEST_F(VerifyFlow, WrongRangeFailsAsFoundThenAcceptThenAsLeftPassesAllInOneChain) {
    ASSERT_NO_FATAL_FAILURE(writeReference(QStringLiteral("2099-12-31")));
    ASSERT_NO_FATAL_FAILURE(showWorkbench());
    auto* verify = control<QPushButton>(*form, "cmdVerify");

    // The first test shows the Job dialog first; the tag given there is a record of its own.
    std::optional<records::PhaseVerdict> asFound;
    bool jobShown = false;
    bool tested = false;
    onModal<workbench::JobDialog>(
        [](workbench::JobDialog& job) {
            EXPECT_EQ(job.windowTitle(), QStringLiteral("Job"));
            control<QLineEdit>(job, "txtControllerTag")->setText(QStringLiteral("PUMP-7"));
            control<QPushButton>(job, "cmdOK")->click();
        },
        jobShown);
    onModal<VerifyWindow>(
        [&](VerifyWindow& window) {
            EXPECT_EQ(window.phase(), VerifyWindow::Phase::AsFound);
            recordEveryPoint(window);
            asFound = window.verdict();
            EXPECT_EQ(control<QLabel>(window, "lblVerdict")->text(),
                      QStringLiteral("As-Found: FAIL (4 of 5 points)"));
            QTest::keyClick(&window, Qt::Key_Escape);
        },
        tested);
    verify->click();
    ASSERT_TRUE(jobShown && tested);
    ASSERT_EQ(asFound, records::PhaseVerdict::Fail);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !form->isBusy(); }, 5000));

    // The fields hold 0 - 100 PSIG: Accept writes them.
    control<QPushButton>(*form, "cmdAccept")->click();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !form->isBusy(); }, 10000));

    std::optional<records::PhaseVerdict> asLeft;
    tested = false;
    onModal<VerifyWindow>(
        [&](VerifyWindow& window) {
            EXPECT_EQ(window.phase(), VerifyWindow::Phase::AsLeft);
            recordEveryPoint(window);
            asLeft = window.verdict();
            QTest::keyClick(&window, Qt::Key_Escape);
        },
        tested);
    verify->click();
    ASSERT_TRUE(tested);
    EXPECT_EQ(asLeft, records::PhaseVerdict::Pass);
    EXPECT_TRUE(boxes.shown.empty()) << qPrintable(boxes.shown.front().text);

    // One chain: the tag; the settings file's job and reference, which the log did not tell
    // yet, before the first test and not again; five points, the verdict, the Accept, five
    // points, the verdict.
    const records::CalibrationLogReading log =
        records::readCalibrationLog(QDir(reportDir.path()).filePath(QStringLiteral("CalLog.csv")));
    ASSERT_TRUE(log.error.isEmpty()) << qPrintable(log.error);
    EXPECT_TRUE(log.intact());
    QStringList kinds;
    for (const records::LogLine& line : log.lines)
        kinds << log.cell(line, QStringLiteral("record")) + QLatin1Char(' ') +
                     log.cell(line, QStringLiteral("phase")) + QLatin1Char(' ') +
                     log.cell(line, QStringLiteral("verdict"));
    const QStringList expected{"job  ",
                               "job  ",
                               "job  ",
                               "job  ",
                               "job  ",
                               "job  ",
                               "job  ",
                               "job  ",
                               "point as-found pass",
                               "point as-found fail",
                               "point as-found fail",
                               "point as-found fail",
                               "point as-found fail",
                               "verdict as-found fail",
                               "accept  ",
                               "point as-left pass",
                               "point as-left pass",
                               "point as-left pass",
                               "point as-left pass",
                               "point as-left pass",
                               "verdict as-left pass"};
    EXPECT_EQ(kinds, expected);
    ASSERT_EQ(log.lines.size(), size_t(expected.size()));
    EXPECT_EQ(log.cell(log.lines[0], QStringLiteral("value_after")), QStringLiteral("PUMP-7"));
    QStringList settings;
    for (size_t i = 1; i < 8; ++i)
        settings << log.cell(log.lines[i], QStringLiteral("setting")) + QLatin1Char('=') +
                        log.cell(log.lines[i], QStringLiteral("value_after"));
    EXPECT_EQ(settings,
              QStringList({"job/organisation=Test Lab", "reference/description=Voltage calibrator",
                           "reference/serial=VC-1", "reference/certificate=CERT-42",
                           "reference/laboratory=National Lab", "reference/due_date=2099-12-31",
                           "reference/uncertainty_volts=0.0005"}));
    EXPECT_EQ(log.cell(log.lines[12], QStringLiteral("error_percent")), QStringLiteral("-10"));
    for (const records::LogLine& line : log.lines) {
        EXPECT_EQ(log.cell(line, QStringLiteral("controller_tag")), QStringLiteral("PUMP-7"));
        if (log.cell(line, QStringLiteral("record")) == QStringLiteral("point")) {
            EXPECT_EQ(log.cell(line, QStringLiteral("reference_certificate")),
                      QStringLiteral("CERT-42"));
        }
    }
}

TEST_F(VerifyFlow, AReferencePastItsDueDateRefusesTheTestAndNothingElse) {
    ASSERT_NO_FATAL_FAILURE(
        writeReference(QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyy-MM-dd"))));
    ASSERT_NO_FATAL_FAILURE(showWorkbench());
    bool jobShown = false;
    onModal<workbench::JobDialog>(
        [](workbench::JobDialog& job) { control<QPushButton>(job, "cmdOK")->click(); }, jobShown);
    control<QPushButton>(*form, "cmdVerify")->click();
    ASSERT_TRUE(jobShown);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(
        QStringLiteral("No test can be made with this reference: ")));
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("due")))
        << qPrintable(boxes.shown[0].text);
    EXPECT_FALSE(QFile::exists(QDir(reportDir.path()).filePath(QStringLiteral("CalLog.csv"))));
    // The workbench goes on as before.
    EXPECT_FALSE(form->isBusy());
    EXPECT_TRUE(control<QPushButton>(*form, "cmdAccept")->isEnabled());
}

TEST_F(VerifyFlow, SettingsThatCannotBeReadRefuseTestsAndTheJobDialogButNothingElse) {
    // Something that is no file stands where the settings should be.
    ASSERT_TRUE(QDir(reportDir.path()).mkdir(QLatin1String(records::kJobSettingsFileName)));
    ASSERT_NO_FATAL_FAILURE(showWorkbench());
    for (const char* button : {"cmdVerify", "cmdJob"}) {
        SCOPED_TRACE(button);
        boxes.shown.clear();
        control<QPushButton>(*form, button)->click();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("The job settings in ")))
            << qPrintable(boxes.shown[0].text);
        EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("cannot be read")));
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
    EXPECT_FALSE(form->isBusy());
    EXPECT_TRUE(control<QPushButton>(*form, "cmdAccept")->isEnabled());
}

TEST_F(VerifyFlow, TheLineLostMidTestRecordsNoPointAndSaysSo) {
    ASSERT_NO_FATAL_FAILURE(writeReference(QStringLiteral("2099-12-31")));
    ASSERT_NO_FATAL_FAILURE(showWorkbench());
    bool jobShown = false;
    bool tested = false;
    onModal<workbench::JobDialog>(
        [](workbench::JobDialog& job) { control<QPushButton>(job, "cmdOK")->click(); }, jobShown);
    onModal<VerifyWindow>(
        [&](VerifyWindow& window) {
            QTest::keyClick(control<QLineEdit>(window, "txtApplied0"), Qt::Key_Return);
            ASSERT_TRUE(
                testsupport::waitUntil([&] { return window.recorded().size() == 1; }, 20000));
            sim.stop(); // the cable pulled
            QTest::keyClick(control<QLineEdit>(window, "txtApplied1"), Qt::Key_Return);
            ASSERT_TRUE(testsupport::waitUntil([&] { return !boxes.shown.empty(); }, 20000));
            QTest::keyClick(&window, Qt::Key_Escape);
        },
        tested);
    control<QPushButton>(*form, "cmdVerify")->click();
    ASSERT_TRUE(jobShown && tested);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_TRUE(boxes.shown.back().text.startsWith(
        QStringLiteral("The controller did not answer: the point at 25 % of span is not recorded")))
        << qPrintable(boxes.shown.back().text);
    const records::CalibrationLogReading log =
        records::readCalibrationLog(QDir(reportDir.path()).filePath(QStringLiteral("CalLog.csv")));
    // The settings file's job and reference, the point recorded, and the test left incomplete.
    ASSERT_EQ(log.lines.size(), 9u);
    EXPECT_EQ(log.cell(log.lines[7], QStringLiteral("record")), QStringLiteral("point"));
    EXPECT_EQ(log.cell(log.lines[8], QStringLiteral("verdict")), QStringLiteral("incomplete"));
}

} // namespace
