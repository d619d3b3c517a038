// The tool against the simulated controller over a pseudo-terminal, driven as a technician
// drives it: sign in, step through all fourteen channels, calibrate each with keys and
// clicks (one entry corrected by a message), leave with Exit. Then the controller's wire log
// and the report file are checked byte for byte.
#include "app/startup.h"
#include "fakes.h"
#include "form_controls.h"
#include "login/frm_login.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "platform/system/program_end.h"
#include "platform/widgets/masked_edit.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "sim_process.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>

using login::frmLogin;

using workbench::frmCalibrateSensor;

namespace {

const char* const kChannels[] = {"30", "31", "32", "33", "34", "35", "36",
                                 "37", "40", "41", "42", "43", "44", "45"};

// What the technician types into the range fields, by the field's mask: digits and sign
// only, the point being in the mask already.
struct RangeEntry {
    const char* lowKeys;
    const char* low;
    const char* highKeys;
    const char* high;
};
const std::map<QString, RangeEntry> kRangeEntries = {
    {QStringLiteral("&###.#"), {"+0010", "+001.0", "+0400", "+040.0"}},
    {QStringLiteral("&####."), {"+0010", "+0010.", "+0100", "+0100."}},
    {QStringLiteral("&#.###"), {"+0100", "+0.100", "+4000", "+4.000"}},
    {QStringLiteral("&##.##"), {"+0100", "+01.00", "+2000", "+20.00"}},
};

// The exchange on the wire as text, one line a command or reply, non-printing bytes as \xHH.
// The timer's live readings repeat as often as time allows; a run of the same exchange counts
// once, so that two runs of the same scenario give the same text on any system.
QByteArray wireTranscript(const std::vector<testsupport::WireLogLine>& log) {
    const auto lineOf = [](const testsupport::WireLogLine& entry) {
        QByteArray line = entry.dir.toLatin1() + ' ';
        for (const char c : entry.text) {
            const auto byte = static_cast<unsigned char>(c);
            line += byte >= 0x20 && byte < 0x7F && c != '\\'
                        ? QByteArray(1, c)
                        : "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        }
        return line + '\n';
    };
    QByteArray transcript;
    QByteArray previous;
    for (size_t i = 0; i < log.size(); ++i) {
        QByteArray exchange = lineOf(log[i]);
        // A command and its reply are one exchange.
        if (log[i].dir == QLatin1String("in") && i + 1 < log.size() &&
            log[i + 1].dir == QLatin1String("out"))
            exchange += lineOf(log[++i]);
        if (exchange != previous)
            transcript += exchange;
        previous = exchange;
    }
    return transcript;
}

// With TQ_E2E_RECORD_DIR set, the wire transcript and the report file are kept there, so that
// the runs on two systems can be compared byte for byte.
void keepRecord(const QString& name, const QByteArray& contents) {
    const QString directory = qEnvironmentVariable("TQ_E2E_RECORD_DIR");
    if (directory.isEmpty())
        return;
    QFile file(directory + QLatin1Char('/') + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        << qPrintable(file.fileName());
    ASSERT_EQ(file.write(contents), contents.size());
}

// Converter count of a voltage text, worked out independently of the tool.
QByteArray count(QString volts) {
    const int millivolts = volts.remove(QLatin1Char('.')).toInt();
    return QByteArray::number(millivolts * 4095 / 5000).rightJustified(4, '0');
}

// The live-reading command of a channel slot.
QByteArray liveCommand(int slot) {
    return ">(0" + QByteArray::number(0x140A + 0x40 * slot, 16).toUpper() + " RX 11)";
}

template <typename Form> Form* visibleForm() {
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<Form*>(top); form && form->isVisible())
            return form;
    return nullptr;
}

struct ChannelRecord {
    QString sensor, unit, rangeLo, rangeHi, voltsLo, voltsHi; // as loaded
    QString lo, hi, vlo, vhi;                                 // as accepted
};

class EndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Module1::ResetSharedState();
        workbench::ControllerIdentity::instance().reset();
        records::setReportDirectoryForTests(reportDir.path());
        platform::setProgramEndHook([this](int) { ++programEnds; });
    }
    void TearDown() override {
        platform::setProgramEndHook({});
        records::setReportDirectoryForTests(QString());
        platform::PDQ().replaceComm1(nullptr);
    }

    // Types into a setpoint field reached with Tab, as the technician does.
    static void typeInto(platform::MaskEdBox* field, const char* keys) {
        ASSERT_TRUE(field->hasFocus()) << qPrintable(field->objectName());
        QTest::keyClicks(field, QString::fromLatin1(keys));
    }

    // Calibrates the channel on display with keys; returns what was accepted.
    void calibrate(frmCalibrateSensor& form, ChannelRecord& record, bool overshootHigh) {
        const testsupport::WorkbenchControls ui(form);
        const RangeEntry entry = kRangeEntries.at(ui.medSensorRangeLo->Mask());
        ui.cboChannelNumber->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // live reading field
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // low range
        typeInto(ui.medSensorRangeLo, entry.lowKeys);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        const bool voltsEditable = ui.medSensorLoVolts->isEnabled();
        if (voltsEditable) {
            typeInto(ui.medSensorLoVolts, "0400");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        typeInto(ui.medSensorRangeHi, overshootHigh ? "+1500" : entry.highKeys);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        if (voltsEditable) {
            typeInto(ui.medSensorHiVolts, "4600");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        ASSERT_EQ(QApplication::focusWidget(), ui.cmdAccept);
        record.lo = ui.medSensorRangeLo->Text();
        record.hi = ui.medSensorRangeHi->Text();
        record.vlo = ui.medSensorLoVolts->Text();
        record.vhi = ui.medSensorHiVolts->Text();
        EXPECT_EQ(record.lo, QString::fromLatin1(entry.low));
        if (!overshootHigh) {
            EXPECT_EQ(record.hi, QString::fromLatin1(entry.high));
        }
        QTest::keyClick(ui.cmdAccept, Qt::Key_Space);
    }

    QTemporaryDir reportDir;
    int programEnds = 0;
};

TEST_F(EndToEndTest, CalibrateAllFourteenChannelsAndLeave) {
    testsupport::SimProcess sim;
    ASSERT_TRUE(sim.start());
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));
    testsupport::BoxAnswerer boxes; // OK and Yes to everything, each box recorded

    std::vector<ChannelRecord> records(14);
    bool scriptRan = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (auto* login = visibleForm<frmLogin>(); login && !login->portOpened()) {
            const testsupport::LoginControls ui(*login);
            QTest::keyClicks(ui.txtUserName, QStringLiteral("tech"));
            QTest::mouseClick(ui.cmdOK, Qt::LeftButton);
            return;
        }
        auto* form = visibleForm<frmCalibrateSensor>();
        if (form == nullptr || scriptRan || form->isBusy() ||
            testsupport::control<QLineEdit>(*form, "cboSensor")->text().isEmpty())
            return;
        const testsupport::WorkbenchControls ui(*form);
        scriptRan = true;
        driver.stop();
        for (int slot = 0; slot < 14; ++slot) {
            if (slot > 0)
                QTest::mouseClick(ui.cmdNextChannel, Qt::LeftButton);
            ChannelRecord& r = records[size_t(slot)];
            EXPECT_EQ(ui.cboChannelNumber->currentText(), QString::fromLatin1(kChannels[slot]));
            r.sensor = ui.cboSensor->text();
            r.unit = ui.cboRange->text();
            r.rangeLo = ui.medSensorRangeLo->Text();
            r.rangeHi = ui.medSensorRangeHi->Text();
            r.voltsLo = ui.medSensorLoVolts->Text();
            r.voltsHi = ui.medSensorHiVolts->Text();
            calibrate(*form, r, slot == 0);
        }
        QTest::mouseClick(ui.cmdCancel, Qt::LeftButton); // "Are You SURE ...?" Yes
    });
    driver.start(10);

    app::Main();
    ASSERT_TRUE(scriptRan);
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(platform::PDQ().Comm1().portOpen());

    // The channels as loaded: each shows its own sensor type, unit and defaults.
    EXPECT_EQ(records[0].sensor, QStringLiteral("0 - 100"));
    EXPECT_EQ(records[0].unit, QStringLiteral("PSIG"));
    EXPECT_EQ(records[0].rangeHi, QStringLiteral("+100.0"));
    EXPECT_EQ(records[1].sensor, QStringLiteral("Deg2 Type"));
    EXPECT_EQ(records[1].unit, QStringLiteral("Fahrenheit"));
    EXPECT_EQ(records[1].rangeLo, QStringLiteral("-0040."));
    EXPECT_EQ(records[1].voltsLo, QStringLiteral("1.320"));
    EXPECT_EQ(records[7].unit, QStringLiteral("BAR"));
    EXPECT_EQ(records[7].rangeHi, QStringLiteral("+172.0"));
    EXPECT_EQ(records[13].sensor, QStringLiteral("0 - 50"));
    EXPECT_EQ(records[13].rangeHi, QStringLiteral("+050.0"));
    EXPECT_EQ(records[13].voltsHi, QStringLiteral("4.500"));

    // The one correction: 150 is above channel 30's limit of 125.
    EXPECT_EQ(records[0].hi, QStringLiteral("+125.0"));
    int rangeMessages = 0;
    for (const auto& box : boxes.shown) {
        if (box.title == QLatin1String("Invalid Data")) {
            ++rangeMessages;
            EXPECT_EQ(box.text, QStringLiteral("Invalid Data, Valid Values are -25 to  125!"));
        }
    }
    EXPECT_EQ(rangeMessages, 1);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown.back().title, QStringLiteral("Exit Program"));
    EXPECT_EQ(int(boxes.shown.size()), 3); // range message, new report file, exit

    // The wire: identity first; then per channel its two table reads and one live reading,
    // and an accept of exactly T ON, TC, T OFF and a live reading with nothing in between.
    std::vector<QByteArray> wire = sim.commands();
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire[0], QByteArray(">(00F00 RX 22)"));
    size_t at = 1;
    const auto skipTimerReadings = [&](int slot) {
        while (at < wire.size() && wire[at] == liveCommand(slot))
            ++at;
    };
    for (int slot = 0; slot < 14; ++slot) {
        SCOPED_TRACE(slot);
        const ChannelRecord& r = records[size_t(slot)];
        const QByteArray address = QByteArray::number(112 + slot);
        const QByteArray next = QByteArray::number(113 + slot);
        const QByteArray tc = ">(00TC " + QByteArray::number(slot).rightJustified(2, '0') + " " +
                              count(r.vlo) + " " + r.lo.toLatin1() + " " + count(r.vhi) + " " +
                              r.hi.toLatin1() + ")";
        const std::vector<QByteArray> expected = {">(00TRX " + address + ")",
                                                  ">(00TRX " + next + ")",
                                                  liveCommand(slot),
                                                  ">(00T ON)",
                                                  tc,
                                                  ">(00T OFF)",
                                                  liveCommand(slot)};
        ASSERT_LE(at + 3, wire.size());
        EXPECT_EQ(std::vector<QByteArray>(wire.begin() + long(at), wire.begin() + long(at) + 3),
                  std::vector<QByteArray>(expected.begin(), expected.begin() + 3));
        at += 3;
        skipTimerReadings(slot);
        ASSERT_LE(at + 4, wire.size());
        EXPECT_EQ(std::vector<QByteArray>(wire.begin() + long(at), wire.begin() + long(at) + 4),
                  std::vector<QByteArray>(expected.begin() + 3, expected.end()));
        at += 4;
        skipTimerReadings(slot);
    }
    EXPECT_EQ(at, wire.size());

    // The report file: the template with every channel's row filled in.
    QByteArray expected = "CHANNEL  LoVolt   HiVolt   LoRange   HiRange";
    for (int slot = 0; slot < 14; ++slot) {
        const ChannelRecord& r = records[size_t(slot)];
        expected += "\r\nCH" + QByteArray(kChannels[slot]) + "     " + r.vlo.toLatin1() + "    " +
                    r.vhi.toLatin1() + "    " + r.lo.toLatin1() + "    " + r.hi.toLatin1();
    }
    QFile report(reportDir.filePath(QStringLiteral("CalData.txt")));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray written = report.readAll();
    EXPECT_EQ(written.size(), 674);
    EXPECT_EQ(written, expected);
    keepRecord(QStringLiteral("wire.txt"), wireTranscript(sim.log()));
    keepRecord(QStringLiteral("CalData.txt"), written);
}

} // namespace
