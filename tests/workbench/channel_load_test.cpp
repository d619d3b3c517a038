// Loading a channel from scripted controller replies; the live reading; moving between
// channels.
#include "form_controls.h"
#include "platform/widgets/form_activation.h"
#include "platform/widgets/masked_edit.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench_harness.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using workbench::frmCalibrateSensor;

namespace {

// A table-read reply for a word given as its two bytes, laid out as the controller sends it.
QByteArray tableReply(int address, const QByteArray& low, const QByteArray& high) {
    return ">" + QByteArray::number(address) + ":" + low + "," + high + "\r";
}

class ChannelLoadTest : public ::testing::Test {
  protected:
    void SetUp() override { ui.Timer1->stop(); }

    // Loads channel 30 with the given reply to the read of its setup word.
    void loadChannel30With(const QByteArray& reply) {
        harness.replies[">(00TRX 112)"] = reply;
        form.LoadChannel();
    }

    QString lo() const { return ui.medSensorRangeLo->Text(); }
    QString hi() const { return ui.medSensorRangeHi->Text(); }

    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
    testsupport::WorkbenchControls ui{form};
};

TEST_F(ChannelLoadTest, SetupWordDecidesTypeUnitAndDefaults) {
    loadChannel30With(tableReply(112, "000", "018")); // word 4608
    EXPECT_EQ(Module1::sChannelSetup[0][1], QStringLiteral("12"));
    EXPECT_EQ(ui.cboSensor->text(), QStringLiteral("0 - 100"));
    EXPECT_EQ(ui.cboRange->text(), QStringLiteral("PSIG"));
    EXPECT_EQ(lo(), QStringLiteral("+000.0"));
    EXPECT_EQ(hi(), QStringLiteral("+100.0"));
    EXPECT_EQ(ui.medSensorRangeHi->Mask(), QStringLiteral("&###.#"));
    EXPECT_EQ(ui.medSensorLoVolts->Text(), QStringLiteral("0.500"));
    EXPECT_EQ(ui.medSensorHiVolts->Text(), QStringLiteral("4.500"));
    EXPECT_EQ(Module1::vEntryMask, QStringLiteral("#.###"));
    EXPECT_EQ(form.lastAddress(), 112);

    // The low byte never matters.
    loadChannel30With(tableReply(112, "255", "018"));
    EXPECT_EQ(Module1::sChannelSetup[0][1], QStringLiteral("12"));

    loadChannel30With(tableReply(112, "007", "144"));
    EXPECT_EQ(ui.cboSensor->text(), QStringLiteral("Deg2 Type"));
    EXPECT_EQ(ui.cboRange->text(), QStringLiteral("Fahrenheit"));
    EXPECT_EQ(lo(), QStringLiteral("-0040."));
    EXPECT_EQ(hi(), QStringLiteral("+0572."));
    EXPECT_EQ(ui.medSensorLoVolts->Text(), QStringLiteral("1.320"));
    EXPECT_EQ(ui.medSensorHiVolts->Text(), QStringLiteral("3.620"));
    EXPECT_FALSE(ui.medSensorLoVolts->isEnabled());

    loadChannel30With(tableReply(112, "000", "129"));
    EXPECT_EQ(ui.cboSensor->text(), QStringLiteral("Deg1 Type"));
    EXPECT_EQ(ui.cboRange->text(), QStringLiteral("Celsius"));
    EXPECT_EQ(lo(), QStringLiteral("-0015."));
    EXPECT_EQ(hi(), QStringLiteral("+0149."));

    loadChannel30With(tableReply(112, "000", "162")); // type 10
    EXPECT_EQ(Module1::sChannelSetup[0][1], QStringLiteral("102"));
    EXPECT_EQ(ui.cboSensor->text(), QStringLiteral("0 - 100"));
    EXPECT_EQ(ui.cboRange->text(), QStringLiteral("PSIG"));

    loadChannel30With(tableReply(112, "000", "002"));
    EXPECT_EQ(lo(), QStringLiteral("+000.0"));
    EXPECT_EQ(hi(), QStringLiteral("+050.0"));
    loadChannel30With(tableReply(112, "000", "006"));
    EXPECT_EQ(ui.medSensorRangeLo->Mask(), QStringLiteral("&#.###"));
    EXPECT_EQ(lo(), QStringLiteral("+0.000"));
    EXPECT_EQ(hi(), QStringLiteral("+4.309"));
    EXPECT_TRUE(harness.boxes.shown.empty());
}

TEST_F(ChannelLoadTest, SilentControllerGivesOneBoxAndTheFallbackChannel) {
    harness.silent = true;
    form.LoadChannel();
    ASSERT_EQ(harness.boxes.shown.size(), 1u);
    EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Communications Error"));
    EXPECT_EQ(ui.cboSensor->text(), QStringLiteral("0 - 50"));
    EXPECT_EQ(ui.cboRange->text(), QStringLiteral("Fahrenheit"));
    EXPECT_EQ(lo(), QStringLiteral("+005.0"));
    EXPECT_EQ(hi(), QStringLiteral("+300.0"));
    // The load ran to its end: refresh and stepping are back.
    EXPECT_TRUE(ui.Timer1->isActive());
    EXPECT_TRUE(ui.cmdNextChannel->isEnabled());
    EXPECT_TRUE(ui.cboAnalogData->text().isEmpty());
}

TEST_F(ChannelLoadTest, FailedFirstReadIsReportedOnce) {
    harness.replies[">(00TRX 112)"] = QByteArray();
    form.LoadChannel();
    EXPECT_EQ(harness.count(">(00TRX 112)"), 2);
    EXPECT_EQ(harness.count(">(00TRX 113)"), 1);
    EXPECT_EQ(harness.boxes.shown.size(), 1u);
}

TEST_F(ChannelLoadTest, ReadsTheChannelsOwnAddressesAndLiveCommand) {
    form.LoadChannel();
    EXPECT_EQ(harness.commands(),
              (std::vector<QByteArray>{">(00TRX 112)", ">(00TRX 113)", ">(0140A RX 11)"}));
    harness.forget();
    testsupport::loadChannel(form, QStringLiteral("45"));
    EXPECT_EQ(harness.commands(),
              (std::vector<QByteArray>{">(00TRX 125)", ">(00TRX 126)", ">(0174A RX 11)"}));
    EXPECT_EQ(*Module1::vChannelIndex, 29);
}

TEST_F(ChannelLoadTest, RepliesWithoutASetupWordAreFailedReadsShownAsTheFallbackChannel) {
    // Each reply is cut short (the read fails for want of characters), or one of its byte
    // fields, characters 6-8 and 10-12, reads as a number no byte has.
    const QByteArray replies[] = {
        QByteArray(),
        QByteArray(">11"),
        QByteArray(">112:000,300\r"), // a high byte above 255
        QByteArray(">112:999,018\r"),
        QByteArray(">112:000,-01\r"),
        QByteArray(">112:-12,-99\r"),
        QByteArray(">112:1.5,018\r"), // a low byte with a fraction
    };
    const QString retryError = QStringLiteral("Communication ERROR Occurred. iStatus =  4, "
                                              "RS-232 Retry Error\r\nMake sure TQ-8400 is "
                                              "powered, and communication cable is connected!");
    for (const QByteArray& reply : replies) {
        SCOPED_TRACE(reply.toHex().toStdString());
        harness.boxes.shown.clear();
        loadChannel30With(tableReply(112, "000", "018"));
        ASSERT_EQ(ui.cboRange->text(), QStringLiteral("PSIG"));
        ASSERT_TRUE(harness.boxes.shown.empty());

        loadChannel30With(reply);
        ASSERT_EQ(harness.boxes.shown.size(), 1u);
        EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Communications Error"));
        EXPECT_EQ(harness.boxes.shown[0].text, retryError);
        EXPECT_EQ(Module1::sChannelSetup[0][1], QStringLiteral("00"));
        EXPECT_EQ(ui.cboSensor->text(), QStringLiteral("0 - 50"));
        EXPECT_EQ(ui.cboRange->text(), QStringLiteral("Fahrenheit"));
        EXPECT_TRUE(ui.cmdNextChannel->isEnabled());
    }
    // Digits with more after them are still a table reply.
    harness.boxes.shown.clear();
    loadChannel30With(">112:000,144\r\n");
    EXPECT_TRUE(harness.boxes.shown.empty());
    EXPECT_EQ(Module1::sChannelSetup[0][1], QStringLiteral("90"));
}

TEST_F(ChannelLoadTest, ByteFieldsReadByTheNumberRuleAndOnlyTheUsedReplyIsChecked) {
    // The high byte decides the setup code (type in its upper four bits, unit in its lower
    // four); the low byte only has to be a byte. An empty code means the read failed: one
    // box, and the channel shown as the word 0 ("00").
    struct Row {
        QByteArray reply;
        QString setupCode;
    };
    const Row rows[] = {
        {">112:000, 18\r", QStringLiteral("12")},
        {">112:000,+18\r", QStringLiteral("12")},
        {">112:000,018\r", QStringLiteral("12")},
        {">112:000,18 \r", QStringLiteral("12")},
        {">112:  7,144\r", QStringLiteral("90")},
        {">112:+0 ,255\r", QStringLiteral("1515")},
        {">112:000,1.0\r", QStringLiteral("01")},
        {">112:000,-0 \r", QStringLiteral("00")},
        // The number rule reads the longest number a field begins with, and a field without
        // one as 0: a low field of blanks or letters leaves the high byte as it is.
        {">112:000,18x\r", QStringLiteral("12")},
        {">112:000,1 8\r", QStringLiteral("01")},
        {">112:000,+ 1\r", QStringLiteral("00")},
        {">112:000,   \r", QStringLiteral("00")},
        {">112:abc,018\r", QStringLiteral("12")},
        {">112:   ,018\r", QStringLiteral("12")},
        {">112:x1y,144\r", QStringLiteral("90")},
        {">112:abc,x9z\r", QStringLiteral("00")},
        {QByteArray(13, '\0'), QStringLiteral("00")},
        {"11/03/00 V2.1 10/27/00", QStringLiteral("00")}, // a late identity block
        {QByteArray("  41.9\xDF"
                    "F\0\0\0\r\n",
                    13),
         QStringLiteral("00")}, // a late reading's tail
        {QByteArray("\xff\xfe\x80\x81\x00garbage more than thirteen characters", 40),
         QStringLiteral("00")},
        // Only a value that would change the word is a failed read.
        {">112:000,-01\r", QString()},
        {">112:000,1.5\r", QString()},
        {">112:000,256\r", QString()},
        {">112:000,.18\r", QString()},
        {">112:1.5,018\r", QString()},
        {">112:256,018\r", QString()},
        {">112:-1 ,018\r", QString()},
        {">112:000,01", QString()}, // cut short
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply.toStdString());
        // The second line's content is never used: garbage there is no failed read.
        harness.replies[">(00TRX 113)"] = QByteArray("\x01garbage!?!\xff\r");
        loadChannel30With(tableReply(112, "000", "033"));
        ASSERT_EQ(Module1::sChannelSetup[0][1], QStringLiteral("21"));
        harness.boxes.shown.clear();
        loadChannel30With(row.reply);
        if (row.setupCode.isEmpty()) {
            ASSERT_EQ(harness.boxes.shown.size(), 1u);
            EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Communications Error"));
            EXPECT_EQ(Module1::sChannelSetup[0][1], QStringLiteral("00"));
        } else {
            EXPECT_TRUE(harness.boxes.shown.empty());
            EXPECT_EQ(Module1::sChannelSetup[0][1], row.setupCode);
        }
    }
}

TEST_F(ChannelLoadTest, LiveReadingShowsTheControllersTextWithItsDegreeSign) {
    // A tick before any load sends nothing and leaves the field alone.
    ui.cboAnalogData->setText(QStringLiteral("before"));
    form.Timer1_Timer();
    EXPECT_TRUE(harness.commands().empty());
    EXPECT_EQ(ui.cboAnalogData->text(), QStringLiteral("before"));

    Module1::vChannelIndex = 16;
    harness.replies[">(0140A RX 11)"] = QByteArray("  74.7\xDF"
                                                   "F\0\0\0",
                                                   11);
    form.Timer1_Timer();
    EXPECT_EQ(harness.commands().back(), QByteArray(">(0140A RX 11)"));
    EXPECT_EQ(ui.cboAnalogData->text(), QStringLiteral("  74.7\u00B0F   "));
    EXPECT_EQ(ui.cboAnalogData->text().size(), 11);
    EXPECT_TRUE(ui.Timer1->isActive());

    // Nothing within the second: the field empties, and no box.
    harness.replies.erase(">(0140A RX 11)");
    harness.silent = true;
    form.Timer1_Timer();
    EXPECT_TRUE(ui.cboAnalogData->text().isEmpty());
    EXPECT_TRUE(harness.boxes.shown.empty());
    EXPECT_EQ(harness.waits.sleeps.back(), 1000);
}

class NavigationTest : public ChannelLoadTest {
  protected:
    QString shown() const { return ui.cboChannelNumber->currentText(); }
    int tableReads() const {
        int n = 0;
        for (const QByteArray& line : harness.commands())
            n += line.startsWith(">(00TRX") ? 1 : 0;
        return n;
    }
};

TEST_F(NavigationTest, StepsWrapAroundAndLoadOncePerPress) {
    testsupport::loadChannel(form, QStringLiteral("37"));
    struct Step {
        QPushButton* button;
        const char* expected;
    };
    const Step steps[] = {{ui.cmdNextChannel, "40"},
                          {ui.cmdPrevChannel, "37"},
                          {ui.cmdPrevChannel, "36"},
                          {ui.cmdNextChannel, "37"}};
    for (const Step& step : steps) {
        harness.forget();
        QTest::mouseClick(step.button, Qt::LeftButton);
        EXPECT_EQ(shown(), QString::fromLatin1(step.expected));
        EXPECT_EQ(tableReads(), 2);
    }
    testsupport::loadChannel(form, QStringLiteral("45"));
    harness.forget();
    QTest::mouseClick(ui.cmdNextChannel, Qt::LeftButton);
    EXPECT_EQ(shown(), QStringLiteral("30"));
    EXPECT_EQ(harness.commands()[0], QByteArray(">(00TRX 112)"));
    QTest::mouseClick(ui.cmdPrevChannel, Qt::LeftButton);
    EXPECT_EQ(shown(), QStringLiteral("45"));

    // A pick in the list loads once: the selections the steps made themselves are over.
    harness.forget();
    ui.cboChannelNumber->setCurrentText(QStringLiteral("33"));
    EXPECT_EQ(tableReads(), 2);
    EXPECT_EQ(harness.commands()[0], QByteArray(">(00TRX 115)"));
}

TEST_F(NavigationTest, PicksDuringALiveReadingWaitAndTheLastOneWins) {
    QTemporaryDir reports;
    records::setReportDirectoryForTests(reports.path());
    Module1::vChannelIndex = 16;
    // While the reading waits for the controller, the operator picks 32, then 35, then
    // presses Accept.
    harness.waits.onYield = [this] {
        harness.waits.onYield = nullptr;
        ui.cboChannelNumber->setCurrentText(QStringLiteral("32"));
        ui.cboChannelNumber->setCurrentText(QStringLiteral("35"));
        QTest::mouseClick(ui.cmdAccept, Qt::LeftButton);
    };
    form.Timer1_Timer();
    EXPECT_EQ(harness.commands(), (std::vector<QByteArray>{">(0140A RX 11)"}));
    // Then, in the order asked for: the last pick is loaded, and the accept runs on it.
    ASSERT_TRUE(testsupport::waitUntil([this] { return harness.count(">(00T OFF)") == 1; }));
    const auto lines = harness.commands();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], QByteArray(">(00TRX 117)"));
    EXPECT_EQ(lines[2], QByteArray(">(00TRX 118)"));
    EXPECT_EQ(lines[3], QByteArray(">(0154A RX 11)"));
    EXPECT_EQ(lines[4], QByteArray(">(00T ON)"));
    EXPECT_TRUE(lines[5].startsWith(">(00TC 05 "));
    EXPECT_EQ(lines[7], QByteArray(">(0154A RX 11)"));
    EXPECT_EQ(*Module1::vChannelIndex, 21);
    records::setReportDirectoryForTests(QString());
}

TEST_F(NavigationTest, AcceptPressedDuringALoadIsDropped) {
    harness.waits.onYield = [this] {
        harness.waits.onYield = nullptr;
        QTest::mouseClick(ui.cmdAccept, Qt::LeftButton);
        QTest::mouseClick(ui.cmdNextChannel, Qt::LeftButton); // disabled during the load
    };
    form.LoadChannel();
    QTest::qWait(20);
    EXPECT_EQ(harness.count(">(00T ON)"), 0);
    EXPECT_EQ(tableReads(), 2);
    EXPECT_EQ(shown(), QStringLiteral("30"));
}

TEST_F(NavigationTest, ActivationReloadsAfterAnotherFormButNotAfterAMessageBox) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_TRUE(testsupport::waitUntil([this] { return tableReads() == 2; }));

    // A message box comes and goes: no reload.
    harness.forget();
    QDialog box(&form);
    box.setWindowTitle(QStringLiteral("message"));
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
    box.close();
    form.activateWindow(); // what the window manager does when a window closes
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::qWait(20);
    EXPECT_EQ(tableReads(), 0);

    // Another form of the program (as the about box is): back from it, the channel reloads.
    QDialog other(&form);
    platform::FormActivation::instance().track(&other);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    other.close();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ASSERT_TRUE(testsupport::waitUntil([this] { return tableReads() == 2; }));
}

} // namespace
