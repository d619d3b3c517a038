// The calibration log: made with its header by the first Accept, one line added by every
// Accept whatever became of the write and the record, quoted where a field needs it, and never
// rewritten; each line chained to the one before it, free text kept from being a formula.
#include "form_controls.h"
#include "platform/port_path.h"
#include "platform/signed_in_user.h"
#include "shell/module1.h"
#include "workbench/calibration_log.h"
#include "workbench/calibration_log_reader.h"
#include "workbench/frm_calibrate_sensor.h"
#include "workbench/report_file.h"
#include "workbench_harness.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using workbench::frmCalibrateSensor;

namespace {

class CalibrationLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir.isValid());
        workbench::setReportDirectoryForTests(dir.path());
        ui.Timer1->stop();
    }
    void TearDown() override {
        workbench::setReportDirectoryForTests(QString());
        platform::setSignedInUser(QString());
        QLocale::setDefault(QLocale::system());
    }

    void load(const QString& channel) {
        testsupport::loadChannel(form, channel);
        harness.forget();
    }
    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // Accepts the channel on display; the Current Data text before and after.
    std::pair<QString, QString> accept() {
        const QString before = ui.cboAnalogData->text();
        form.cmdAccept_Click();
        return {before, ui.cboAnalogData->text()};
    }

    QTemporaryDir dir;
    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
    testsupport::WorkbenchControls ui{form};
};

TEST_F(CalibrationLogTest, EveryAcceptAddsOneLineAndNothingIsRewritten) {
    const QString logPath = dir.filePath(QStringLiteral("CalLog.csv"));
    ASSERT_EQ(workbench::calibrationLogPath(), logPath);
    ASSERT_FALSE(QFile::exists(logPath));

    // The session as start-up leaves it: a user whose name needs quoting, port 4, and the
    // controller's identity.
    platform::setSignedInUser(QStringLiteral("O\"Neil, Pat"));
    Module1::iComPort = 4;
    const QString device = platform::devicePathForPort(4, QCoreApplication::applicationDirPath());
    ASSERT_FALSE(QFileInfo(device).isSymLink()) << qPrintable(device);
    Module1::vDisplayMicroDate = QDate(2000, 5, 19);
    Module1::vDisplayMicroInfo = QStringLiteral("DB 1.2");
    Module1::sTerminalMicroDate = QStringLiteral("05/02/00");
    // The controller's own block, as the identity read after the first Accept's reading (which
    // could not be sent) finds it: the same fields.
    harness.controller.setIdentity("--------DB 1.205/02/00");
    const QString session = QStringLiteral("\"O\"\"Neil, Pat\",4,") + device +
                            QStringLiteral(",5/19/00,DB 1.2,05/02/00,");
    const qint64 startedAt = QDateTime::currentSecsSinceEpoch();

    // Channel 30 with the line gone: every write fails, and the report file is made.
    harness.controller.setSetupWord(0, 0x0200);
    load(QStringLiteral("30"));
    harness.port->failOutput = true;
    const auto [before30, after30] = accept();
    harness.port->failOutput = false;
    ASSERT_EQ(harness.boxes.shown.size(), 2u); // the write's box, then the report file's
    EXPECT_FALSE(before30.isEmpty());
    EXPECT_TRUE(after30.isEmpty()); // no reading could be taken
    const QByteArray first = contents(logPath);

    // Channel 40 written and recorded; its T ON answered with bytes of every kind, which the
    // Accept neither reads nor acts on (the controller, never told T ON, refuses the TC).
    load(QStringLiteral("40"));
    harness.replies[">(00T ON)"] = QByteArray("OK\r\n\x07|\\\xe9\0", 9);
    const auto [before40, after40] = accept();
    harness.replies.clear();
    EXPECT_TRUE(harness.boxes.shown.empty());
    EXPECT_FALSE(after40.isEmpty());
    const QByteArray second = contents(logPath);

    // Channel 30 again, written, but the report file was saved with line feeds only.
    const QString reportPath = dir.filePath(QStringLiteral("CalData.txt"));
    {
        QFile report(reportPath);
        ASSERT_TRUE(report.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray lineFeeds = workbench::reportTemplate().replace("\r\n", "\n");
        ASSERT_EQ(report.write(lineFeeds), lineFeeds.size());
    }
    load(QStringLiteral("30"));
    const auto [before30again, after30again] = accept();
    EXPECT_EQ(harness.boxes.shown.size(), 1u); // the layout box
    const QByteArray third = contents(logPath);
    const qint64 endedAt = QDateTime::currentSecsSinceEpoch();

    // Lines are only ever added.
    EXPECT_TRUE(second.startsWith(first));
    EXPECT_TRUE(third.startsWith(second));
    QList<QByteArray> lines = third.split('\n');
    ASSERT_EQ(lines.size(), 5) << third.constData(); // header, three lines, nothing after
    EXPECT_TRUE(lines.takeLast().isEmpty());
    for (QByteArray& line : lines) {
        ASSERT_TRUE(line.endsWith('\r')) << line.constData();
        line.chop(1);
    }
    EXPECT_EQ(first.count('\n'), 2);
    EXPECT_EQ(lines[0], QByteArray("date_time,user,port,device,display_micro_date,"
                                   "display_micro_info,terminal_micro_date,channel,sensor_type,"
                                   "unit,low_volts,high_volts,low_range,high_range,low_count,"
                                   "high_count,controller_write,report_file,reading_before,"
                                   "reading_after,write_replies,chain"));

    // The readings as the window showed them; the replies as they came, escaped.
    const QString expected[] = {
        session +
            QStringLiteral("30,0 - 50,PSIG,0.500,4.500,+000.0,+050.0,0409,3685,"
                           "status 4: RS-232 Retry Error,stored,") +
            before30 + QStringLiteral(",,||"),
        session +
            QStringLiteral("40,0 - 5000,PSIG,0.500,4.500,+0000.,+5000.,0409,3685,ok,stored,") +
            before40 + QLatin1Char(',') + after40 +
            QStringLiteral(",OK\\r\\n\\x07\\x7c\\\\\\xe9\\x00|ER\\r|OK\\r"),
        session +
            QStringLiteral("30,0 - 50,PSIG,0.500,4.500,+000.0,+050.0,0409,3685,ok,"
                           "not stored: the file does not have the CalData.txt layout,") +
            before30again + QLatin1Char(',') + after30again + QStringLiteral(",OK\\r|OK\\r|OK\\r"),
    };
    const QRegularExpression isoTime(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QString line = QString::fromUtf8(lines[i + 1]);
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        const QString time = line.left(comma);
        ASSERT_TRUE(isoTime.match(time).hasMatch()) << qPrintable(time);
        const QDateTime at = QDateTime::fromString(time, Qt::ISODate);
        EXPECT_GE(at.toSecsSinceEpoch(), startedAt);
        EXPECT_LE(at.toSecsSinceEpoch(), endedAt);
        EXPECT_EQ(at.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());
        // The chain value last: 64 hexadecimal digits, checked below.
        const qsizetype chainAt = line.lastIndexOf(QLatin1Char(','));
        EXPECT_EQ(line.mid(comma + 1, chainAt - comma - 1), expected[i]);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                        .match(line.mid(chainAt + 1))
                        .hasMatch());
    }
    const workbench::CalibrationLogReading reading = workbench::readCalibrationLog(logPath);
    EXPECT_TRUE(reading.error.isEmpty()) << qPrintable(reading.error);
    ASSERT_EQ(reading.lines.size(), 3u);
    EXPECT_TRUE(reading.intact());

    // A log that cannot take the line: one box, and the Accept is written and recorded; the
    // next Accept of the session shows no box again.
    QTemporaryDir blocked;
    ASSERT_TRUE(QDir(blocked.path()).mkdir(QStringLiteral("CalLog.csv")));
    workbench::setReportDirectoryForTests(blocked.path());
    load(QStringLiteral("40"));
    form.cmdAccept_Click();
    ASSERT_EQ(harness.boxes.shown.size(), 2u); // a new report file is made, then the log's box
    EXPECT_TRUE(harness.boxes.shown[1].text.startsWith(
        QStringLiteral("Error!  Cannot add the Accept of channel 40 to the calibration log ")))
        << qPrintable(harness.boxes.shown[1].text);
    EXPECT_EQ(harness.count(">(00T OFF)"), 1);
    EXPECT_EQ(contents(blocked.filePath(QStringLiteral("CalData.txt"))).size(),
              workbench::kReportTemplateSize);
    load(QStringLiteral("41"));
    form.cmdAccept_Click();
    EXPECT_TRUE(harness.boxes.shown.empty());
    EXPECT_EQ(harness.count(">(00T OFF)"), 1);
    EXPECT_EQ(contents(logPath), third);
}

TEST_F(CalibrationLogTest, AfterTheExitBoxTheLogLineIsWrittenIfItCanBeAndNoBoxFollows) {
    // A report file that can be neither opened nor made ends the workbench; the log beside it
    // takes the line where it can, and says nothing where it cannot.
    for (const bool logWritable : {true, false}) {
        SCOPED_TRACE(logWritable);
        QTemporaryDir here;
        ASSERT_TRUE(QDir(here.path()).mkdir(QStringLiteral("CalData.txt")));
        if (!logWritable) {
            ASSERT_TRUE(QDir(here.path()).mkdir(QStringLiteral("CalLog.csv")));
        }
        workbench::setReportDirectoryForTests(here.path());
        frmCalibrateSensor session; // a session of its own: no log box shown in it yet
        testsupport::WorkbenchControls sessionUi{session};
        sessionUi.Timer1->stop();
        testsupport::loadChannel(session, QStringLiteral("31"));
        harness.forget();
        session.cmdAccept_Click();
        ASSERT_EQ(harness.boxes.shown.size(), 2u);
        EXPECT_TRUE(harness.boxes.shown[1].text.endsWith(QStringLiteral("Click OK to EXIT")));
        EXPECT_EQ(harness.count(">(00T OFF)"), 1);
        const workbench::CalibrationLogReading log =
            workbench::readCalibrationLog(here.filePath(QStringLiteral("CalLog.csv")));
        if (logWritable) {
            ASSERT_EQ(log.lines.size(), 1u) << qPrintable(log.error);
            EXPECT_EQ(log.cell(log.lines[0], QStringLiteral("channel")), QStringLiteral("31"));
            EXPECT_EQ(log.cell(log.lines[0], QStringLiteral("controller_write")),
                      QStringLiteral("ok"));
            EXPECT_TRUE(log.cell(log.lines[0], QStringLiteral("report_file"))
                            .startsWith(QStringLiteral("not stored: cannot open")));
        }
    }
}

TEST_F(CalibrationLogTest, AnEditedLineBreaksTheChainThereAndAnOlderLogIsSetAside) {
    const QString logPath = workbench::calibrationLogPath();
    // A log of the layout before the chain: renamed aside whole, and a new log begun.
    const QByteArray older = "date_time,user,port\r\n2024-01-01T00:00:00+00:00,pat,1\r\n";
    write(logPath, older);
    for (const char* channel : {"30", "31", "32"}) {
        load(QString::fromLatin1(channel));
        form.cmdAccept_Click();
    }
    const QString aside =
        dir.filePath(QStringLiteral("CalLog-until-") + QDate::currentDate().toString(Qt::ISODate) +
                     QStringLiteral(".csv"));
    EXPECT_EQ(contents(aside), older);
    const QByteArray log = contents(logPath);
    ASSERT_TRUE(log.startsWith(workbench::calibrationLogHeader())) << log.constData();
    ASSERT_TRUE(workbench::readCalibrationLog(logPath).intact());

    // The second line (file line 3) changed to name another channel: the chain breaks at that
    // line alone; the next Accept still adds its line, chained to the log as it stands.
    QByteArray edited = log;
    const qsizetype second = edited.indexOf("\r\n", edited.indexOf("\r\n") + 2) + 2;
    const qsizetype channel = edited.indexOf(",31,", second);
    ASSERT_GT(channel, second);
    ASSERT_LT(channel, edited.indexOf("\r\n", second));
    edited.replace(channel, 4, ",37,");
    write(logPath, edited);
    load(QStringLiteral("33"));
    form.cmdAccept_Click();
    const workbench::CalibrationLogReading reading = workbench::readCalibrationLog(logPath);
    ASSERT_EQ(reading.lines.size(), 4u);
    EXPECT_EQ(reading.brokenFileLines(), std::vector<int>{3});
    EXPECT_EQ(reading.cell(reading.lines[1], QStringLiteral("channel")), QStringLiteral("37"));

    // A second header change the same day keeps the first log set aside, too.
    write(logPath, older + "more\r\n");
    form.cmdAccept_Click();
    EXPECT_EQ(contents(aside), older);
    EXPECT_EQ(contents(dir.filePath(QStringLiteral("CalLog-until-") +
                                    QDate::currentDate().toString(Qt::ISODate) +
                                    QStringLiteral("-2.csv"))),
              older + "more\r\n");
    EXPECT_EQ(workbench::readCalibrationLog(logPath).lines.size(), 1u);
}

} // namespace

namespace {

TEST(CalibrationLogCells, FreeTextIsKeptFromBeingAFormulaAndNumbersAreWrittenAsTheyAre) {
    const struct {
        const char* text;
        const char* cell;
    } cells[] = {
        {"=1+2", "'=1+2"},
        {"+49 30 1234", "'+49 30 1234"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tpat", "'\tpat"},
        {"\rpat", "'\rpat"},
        {"'quoted", "''quoted"},
        {"pat", "pat"},
        {"", ""},
        {" =1", " =1"},
        {"a=b", "a=b"},
    };
    for (const auto& c : cells) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(workbench::formulaSafe(QString::fromLatin1(c.text)), QString::fromLatin1(c.cell));
        EXPECT_EQ(workbench::formulaSafeText(QString::fromLatin1(c.cell)),
                  QString::fromLatin1(c.text));
    }

    // In the log: every free-text column made safe and read back as it was; the sign of a
    // setpoint text, the counts and the outcomes written as they are.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    workbench::setReportDirectoryForTests(dir.path());
    workbench::CalibrationLogEntry entry;
    entry.time = QDateTime::currentDateTime();
    entry.user = QStringLiteral("=cmd|' /C calc'!A0");
    entry.port = 2;
    entry.device = QStringLiteral("@dev");
    entry.displayMicroDate = QStringLiteral("+1");
    entry.displayMicroInfo = QStringLiteral("-2");
    entry.terminalMicroDate = QStringLiteral("\tx");
    entry.channel = QStringLiteral("31");
    entry.sensorType = QStringLiteral("Deg2 Type");
    entry.unit = QStringLiteral("Fahrenheit");
    entry.loVolts = QStringLiteral("1.320");
    entry.hiVolts = QStringLiteral("4.600");
    entry.rangeLo = QStringLiteral("-0040.");
    entry.rangeHi = QStringLiteral("+0100.");
    entry.loCount = QStringLiteral("1081");
    entry.hiCount = QStringLiteral("3767");
    entry.controllerWrite = workbench::kWriteOk;
    entry.reportFile = QStringLiteral("stored");
    entry.readingBefore = QStringLiteral("-12.5\u00b0F");
    entry.readingAfter = QStringLiteral("\r=2");
    entry.writeReplies = QStringLiteral("=OK|OK|OK");
    ASSERT_TRUE(workbench::appendCalibrationLog(entry));
    const workbench::CalibrationLogReading log =
        workbench::readCalibrationLog(workbench::calibrationLogPath());
    workbench::setReportDirectoryForTests(QString());
    ASSERT_EQ(log.lines.size(), 1u) << qPrintable(log.error);
    const workbench::LogLine& line = log.lines[0];
    EXPECT_TRUE(line.chained);
    const struct {
        const char* column;
        QString written;
        QString read;
    } columns[] = {
        {"user", QLatin1Char('\'') + entry.user, entry.user},
        {"device", QStringLiteral("'@dev"), entry.device},
        {"display_micro_date", QStringLiteral("'+1"), entry.displayMicroDate},
        {"display_micro_info", QStringLiteral("'-2"), entry.displayMicroInfo},
        {"terminal_micro_date", QStringLiteral("'\tx"), entry.terminalMicroDate},
        {"reading_before", QStringLiteral("'-12.5\u00b0F"), entry.readingBefore},
        {"reading_after", QStringLiteral("'\r=2"), entry.readingAfter},
        {"write_replies", QStringLiteral("'=OK|OK|OK"), entry.writeReplies},
        {"port", QStringLiteral("2"), QStringLiteral("2")},
        {"low_range", QStringLiteral("-0040."), entry.rangeLo},
        {"high_range", QStringLiteral("+0100."), entry.rangeHi},
        {"low_count", QStringLiteral("1081"), entry.loCount},
        {"sensor_type", QStringLiteral("Deg2 Type"), entry.sensorType},
    };
    for (const auto& c : columns) {
        SCOPED_TRACE(c.column);
        const qsizetype at = log.columns.indexOf(QLatin1String(c.column));
        ASSERT_GE(at, 0);
        EXPECT_EQ(line.cells[at], c.written);
        EXPECT_EQ(log.cell(line, QLatin1String(c.column)), c.read);
    }
}

} // namespace
