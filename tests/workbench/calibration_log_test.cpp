// The calibration log: made with its header by the first Accept, one line added by every
// Accept whatever became of the write and the record, quoted where a field needs it, and never
// rewritten.
#include "app/module1.h"
#include "platform/port_path.h"
#include "platform/signed_in_user.h"
#include "workbench/calibration_log.h"
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
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class CalibrationLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir.isValid());
        workbench::setReportDirectoryForTests(dir.path());
        form.Timer1->stop();
    }
    void TearDown() override {
        workbench::setReportDirectoryForTests(QString());
        platform::setSignedInUser(QString());
        QLocale::setDefault(QLocale::system());
    }

    void load(const QString& channel) {
        form.iChannelButton = 1;
        form.cboChannelNumber->setCurrentText(channel);
        form.iChannelButton = 0;
        form.LoadChannel();
        harness.forget();
    }
    static QByteArray contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    QTemporaryDir dir;
    testsupport::WorkbenchHarness harness;
    frmCalibrateSensor form;
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
    form.cmdAccept_Click();
    harness.port->failOutput = false;
    ASSERT_EQ(harness.boxes.shown.size(), 2u); // the write's box, then the report file's
    const QByteArray first = contents(logPath);

    // Channel 40 written and recorded.
    load(QStringLiteral("40"));
    form.cmdAccept_Click();
    EXPECT_TRUE(harness.boxes.shown.empty());
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
    form.cmdAccept_Click();
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
                                   "high_count,controller_write,report_file"));

    const QString expected[] = {
        session + QStringLiteral("30,0 - 50,PSIG,0.500,4.500,+000.0,+050.0,0409,3685,"
                                 "status 4: RS-232 Retry Error,stored"),
        session + QStringLiteral("40,0 - 5000,PSIG,0.500,4.500,+0000.,+5000.,0409,3685,ok,stored"),
        session + QStringLiteral("30,0 - 50,PSIG,0.500,4.500,+000.0,+050.0,0409,3685,ok,"
                                 "not stored: the file does not have the CalData.txt layout"),
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
        EXPECT_EQ(line.mid(comma + 1), expected[i]);
    }

    // A log that cannot take the line: one box, and the Accept is written and recorded.
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
    EXPECT_EQ(contents(logPath), third);
}

} // namespace
