// Accept: the three write commands, the counts and texts they carry, the report row, and
// leaving the workbench.
#include "form_controls.h"
#include "platform/widgets/masked_edit.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <string>

using workbench::frmCalibrateSensor;

namespace {

class AcceptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        records::setReportDirectoryForTests(dir.path());
        ui.Timer1->stop();
    }
    void TearDown() override { records::setReportDirectoryForTests(QString()); }

    // Shows the channel as a load leaves it, from the controller's own setup words.
    void load(const QString& channel) {
        testsupport::loadChannel(form, channel);
        harness.forget();
    }
    void setVolts(const QString& low, const QString& high) {
        ASSERT_TRUE(ui.medSensorLoVolts->setText(low));
        ASSERT_TRUE(ui.medSensorHiVolts->setText(high));
    }
    // The calibration command of the last accept.
    QByteArray calibrationCommand() const {
        for (const QByteArray& line : harness.commands())
            if (line.startsWith(">(00TC "))
                return line;
        return QByteArray("<none>");
    }
    QByteArray report() const {
        QFile file(dir.filePath(QStringLiteral("CalData.txt")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
    testsupport::WorkbenchControls ui{form};
};

TEST_F(AcceptTest, SendsOnCalibrationOffThenReadsAndRecords) {
    harness.controller.setSetupWord(0, 0x0200); // "0 - 50" in PSIG
    load(QStringLiteral("30"));
    ASSERT_EQ(ui.medSensorRangeHi->Text(), QStringLiteral("+050.0"));
    harness.boxes.answers = {platform::vbOK}; // the report file is made
    QTest::mouseClick(ui.cmdAccept, Qt::LeftButton);
    EXPECT_EQ(harness.commands(),
              (std::vector<QByteArray>{">(00T ON)", ">(00TC 00 0409 +000.0 3685 +050.0)",
                                       ">(00T OFF)", ">(0140A RX 11)"}));
    EXPECT_EQ(std::vector<int>(harness.waits.sleeps.begin(), harness.waits.sleeps.begin() + 4),
              std::vector<int>(4, 1000));
    const QByteArray file = report();
    ASSERT_EQ(file.size(), 674);
    EXPECT_EQ(file.mid(55, 34), QByteArray("0.500    4.500    +000.0    +050.0"));
    // Everything is back on, and the reading shows the controller's answer after the write.
    EXPECT_TRUE(ui.cmdAccept->isEnabled());
    EXPECT_TRUE(ui.cmdNextChannel->isEnabled());
    EXPECT_TRUE(ui.Timer1->isActive());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(ui.cboAnalogData->text().isEmpty());
}

TEST_F(AcceptTest, VoltagesBecomeFourDigitCounts) {
    load(QStringLiteral("30"));
    harness.boxes.answers = {platform::vbOK};
    const struct {
        const char* low;
        const char* high;
        const char* counts;
    } cases[] = {{"0.000", "2.500", "0000 +000.0 2047"},
                 {"0.100", "4.500", "0081 +000.0 3685"},
                 {"0.500", "4.900", "0409 +000.0 4013"},
                 {"1.000", "5.000", "0819 +000.0 4095"}};
    for (const auto& c : cases) {
        setVolts(QString::fromLatin1(c.low), QString::fromLatin1(c.high));
        harness.forget();
        form.cmdAccept_Click();
        EXPECT_TRUE(calibrationCommand().contains(c.counts)) << calibrationCommand().constData();
    }
}

TEST_F(AcceptTest, ChannelFieldIsTheChannelsPlace) {
    harness.boxes.answers = {platform::vbOK};
    for (const auto& [channel, field] :
         {std::pair{"30", "00"}, std::pair{"40", "08"}, std::pair{"45", "13"}}) {
        load(QString::fromLatin1(channel));
        form.cmdAccept_Click();
        EXPECT_TRUE(calibrationCommand().startsWith(QByteArray(">(00TC ") + field + " "))
            << calibrationCommand().constData();
    }
}

TEST_F(AcceptTest, SilentControllerStillGetsAllThreeCommands) {
    load(QStringLiteral("31"));
    harness.silent = true;
    harness.boxes.answers = {platform::vbOK};
    form.cmdAccept_Click();
    const auto lines = harness.commands();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], QByteArray(">(00T ON)"));
    EXPECT_TRUE(lines[1].startsWith(">(00TC 01 "));
    EXPECT_EQ(lines[2], QByteArray(">(00T OFF)"));
    // Nothing came back, which this wait mode takes as it is: only the report file's box.
    ASSERT_EQ(harness.boxes.shown.size(), 1u);
    EXPECT_TRUE(harness.boxes.shown[0].text.startsWith(QStringLiteral("Error!  Cannot Open ")));
    EXPECT_TRUE(ui.cboAnalogData->text().isEmpty());
}

TEST_F(AcceptTest, ALineThatIsGoneFailsTheWriteWithOneBoxAndTheRowIsStillRecorded) {
    const QString failure = QStringLiteral("ERROR Occurred. iStatus =  4, RS-232 Retry Error");
    // Gone before the Accept, and gone after T ON went out.
    for (const bool duringTheAccept : {false, true}) {
        SCOPED_TRACE(duringTheAccept);
        QFile::remove(dir.filePath(QStringLiteral("CalData.txt")));
        load(QStringLiteral("30"));
        harness.port->deviceBack = false;
        if (duringTheAccept) {
            harness.waits.onYield = [this] {
                harness.waits.onYield = nullptr;
                harness.port->loseDevice();
            };
        } else {
            harness.port->loseDevice();
        }
        harness.boxes.answers = {platform::vbOK, platform::vbOK};
        form.cmdAccept_Click();

        EXPECT_EQ(harness.commands().size(), duringTheAccept ? 1u : 0u);
        ASSERT_EQ(harness.boxes.shown.size(), 2u);
        EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Communications Error"));
        EXPECT_EQ(harness.boxes.shown[0].text, failure);
        // The file and the controller are independent: the row is recorded all the same.
        EXPECT_TRUE(harness.boxes.shown[1].text.startsWith(QStringLiteral("Error!  Cannot Open")));
        EXPECT_EQ(report().mid(55, 34), QByteArray("0.500    4.500    +000.0    +100.0"));
        // A device gone before the Accept is tried once, before its first command; one lost
        // during the Accept is not tried again until the Accept has ended.
        EXPECT_EQ(harness.port->reopenAttempts, duringTheAccept ? 0 : 1);
        EXPECT_TRUE(ui.cmdAccept->isEnabled());
        EXPECT_TRUE(ui.Timer1->isActive());
        ui.Timer1->stop();

        // The adapter is back: the next Accept works without a restart.
        harness.port->deviceBack = true;
        harness.forget();
        form.cmdAccept_Click();
        EXPECT_EQ(harness.count(">(00T OFF)"), 1);
        EXPECT_TRUE(harness.boxes.shown.empty());
        harness.port->reopenAttempts = 0;
    }

    // A record that cannot be stored either is not said to be in the controller.
    const QByteArray lfFile = records::reportTemplate().replace("\r\n", "\n");
    {
        QFile file(dir.filePath(QStringLiteral("CalData.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(lfFile), lfFile.size());
    }
    harness.port->deviceBack = false;
    harness.port->loseDevice();
    harness.forget();
    form.cmdAccept_Click();
    ASSERT_EQ(harness.boxes.shown.size(), 2u);
    EXPECT_EQ(harness.boxes.shown[0].text, failure);
    EXPECT_TRUE(harness.boxes.shown[1].text.endsWith(
        QStringLiteral("was not stored, and the file was left unchanged.\r\n"
                       "The write to the controller failed as well.")));
    EXPECT_EQ(report(), lfFile);
}

TEST_F(AcceptTest, FieldWithoutANumberSendsNothing) {
    load(QStringLiteral("30"));
    ui.medSensorRangeLo->setMask(ui.medSensorRangeLo->Mask()); // prompts only
    form.cmdAccept_Click();
    EXPECT_TRUE(harness.commands().empty());
    ASSERT_EQ(harness.boxes.shown.size(), 1u);
    EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Invalid Data"));
    EXPECT_TRUE(harness.boxes.shown[0].text.contains(QStringLiteral("Low Sensor Range")));
    EXPECT_TRUE(ui.cmdAccept->isEnabled());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("CalData.txt"))));
}

TEST_F(AcceptTest, ExitDuringAnAcceptWaitsForIt) {
    load(QStringLiteral("30"));
    harness.boxes.answers = {platform::vbOK, platform::vbYes};
    QSignalSpy finished(&form, &QDialog::finished);
    form.show();
    harness.waits.onYield = [this] {
        harness.waits.onYield = nullptr;
        QTest::mouseClick(ui.cmdCancel, Qt::LeftButton); // pressed while T ON waits
        QTest::mouseClick(ui.cmdAccept, Qt::LeftButton); // disabled while it runs
    };
    form.cmdAccept_Click();
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(harness.count(">(00T OFF)"), 1);
    ASSERT_TRUE(testsupport::waitUntil([&] { return finished.count() == 1; }, 5000));
    ASSERT_EQ(harness.boxes.shown.size(), 2u);
    EXPECT_EQ(harness.boxes.shown[1].title, QStringLiteral("Exit Program"));
    EXPECT_EQ(harness.boxes.shown[1].text, QStringLiteral("Are You SURE you want to EXIT?"));
    EXPECT_EQ(harness.boxes.shown[1].style, 4);
    EXPECT_EQ(harness.count(">(00T ON)"), 1); // one accept only
    EXPECT_FALSE(ui.Timer1->isActive());
}

TEST_F(AcceptTest, ExitAsksAndTitleBarCloseDoesNot) {
    load(QStringLiteral("30"));
    form.show();
    ui.Timer1->start();
    harness.boxes.answers = {platform::vbNo};
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(ui.Timer1->isActive());
    ASSERT_EQ(harness.boxes.shown.size(), 1u);

    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(ui.Timer1->isActive());
    EXPECT_EQ(harness.boxes.shown.size(), 1u);
}

TEST_F(AcceptTest, ExitYesEndsTheWorkbench) {
    load(QStringLiteral("30"));
    form.show();
    harness.boxes.answers = {platform::vbYes};
    QTest::mouseClick(ui.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), int(QDialog::Rejected));
    EXPECT_FALSE(ui.Timer1->isActive());
}

} // namespace

namespace {

// Random typing and pasting into the four fields, each entry left with Tab and accepted with
// the keyboard: every calibration command that goes out carries numbers only.
TEST_F(AcceptTest, RandomEntriesNeverSendANonNumber) {
    harness.boxes.answers = {platform::vbOK};
    const QRegularExpression wellFormed(
        QStringLiteral("^>\\(00TC \\d\\d \\d{4} [+-][0-9.]{5} \\d{4} [+-][0-9.]{5}\\)$"));
    const QString alphabet = QStringLiteral("0123456789+-._ ,aZ%");
    QRandomGenerator random(8400);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    platform::MaskEdBox* const fields[] = {ui.medSensorRangeLo, ui.medSensorLoVolts,
                                           ui.medSensorRangeHi, ui.medSensorHiVolts};
    int written = 0;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        for (platform::MaskEdBox* field : fields) {
            if (!field->isEnabled())
                continue;
            field->setFocus();
            QString keys;
            const int length = random.bounded(0, 8);
            for (int i = 0; i < length; ++i)
                keys += alphabet.at(random.bounded(int(alphabet.size())));
            if (random.bounded(4) == 0) {
                field->selectAll();
                field->insert(keys + QStringLiteral("\u00e9")); // a paste
            } else {
                QTest::keyClicks(field, keys);
            }
            if (random.bounded(3) == 0)
                QTest::keyClick(field, Qt::Key_Backspace);
        }
        ui.cmdAccept->setFocus(); // leaving the last field checks it
        harness.forget();
        QTest::keyClick(ui.cmdAccept, Qt::Key_Space);
        const QByteArray command = calibrationCommand();
        if (command != "<none>") {
            ++written;
            EXPECT_TRUE(wellFormed.match(QString::fromLatin1(command)).hasMatch())
                << command.constData();
        }
        EXPECT_TRUE(ui.cmdAccept->isEnabled());
    }
    // The checks on leaving put a valid value into every field, so the accepts do go out.
    EXPECT_EQ(written, 60);
}

} // namespace

namespace {

// Pairs checked at Accept: a low end above the high end is refused before anything is sent or
// recorded, with the high field's own message and the focus in that field; equal ends pass.
struct PairCase {
    const char* loVolts;
    const char* hiVolts;
    const char* rangeLo;
    const char* rangeHi;
    const char* title; // nullptr: accepted
    const char* text;
    const char* focused; // the field that gets the focus
};

const PairCase kPairCases[] = {
    {"4.900", "4.500", "+000.0", "+100.0", "Error-Invalid Data",
     "Cannot be less than Low Sensor Voltage", "medSensorHiVolts"},
    {"0.500", "4.500", "+080.0", "+050.0", "Invalid Data",
     "Invalid Data, Valid Values are -25 to  125!", "medSensorRangeHi"},
    {"0.500", "4.500", "-010.0", "-020.0", "Invalid Data",
     "Invalid Data, Valid Values are -25 to  125!", "medSensorRangeHi"},
    // Both pairs inverted: the voltages are told of first.
    {"4.900", "4.500", "+080.0", "+050.0", "Error-Invalid Data",
     "Cannot be less than Low Sensor Voltage", "medSensorHiVolts"},
    {"4.500", "4.500", "+050.0", "+050.0", nullptr, nullptr, nullptr},
};

TEST_F(AcceptTest, AnInvertedPairIsRefusedBeforeAnythingIsSent) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    for (const PairCase& c : kPairCases) {
        SCOPED_TRACE(std::string(c.loVolts) + " " + c.hiVolts + " " + c.rangeLo + " " + c.rangeHi);
        // Out of the fields first, so that no check on leaving one runs.
        ui.cmdAccept->setFocus();
        load(QStringLiteral("30")); // 0 - 100 in PSIG
        setVolts(QString::fromLatin1(c.loVolts), QString::fromLatin1(c.hiVolts));
        ASSERT_TRUE(ui.medSensorRangeLo->setText(QString::fromLatin1(c.rangeLo)));
        ASSERT_TRUE(ui.medSensorRangeHi->setText(QString::fromLatin1(c.rangeHi)));
        harness.forget();
        QTest::mouseClick(ui.cmdAccept, Qt::LeftButton);
        ui.Timer1->stop();

        if (c.title == nullptr) {
            EXPECT_EQ(calibrationCommand(), QByteArray(">(00TC 00 3685 +050.0 3685 +050.0)"));
            continue;
        }
        EXPECT_TRUE(harness.commands().empty());
        ASSERT_EQ(harness.boxes.shown.size(), 1u);
        EXPECT_EQ(harness.boxes.shown[0].title, QLatin1String(c.title));
        EXPECT_EQ(harness.boxes.shown[0].text, QLatin1String(c.text));
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QLatin1String(c.focused));
        // Nothing recorded, nothing logged, and the fields as they were.
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("CalData.txt"))));
        EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("CalLog.csv"))));
        EXPECT_EQ(ui.medSensorRangeLo->Text(), QLatin1String(c.rangeLo));
        EXPECT_TRUE(ui.cmdAccept->isEnabled());
    }
}

} // namespace
