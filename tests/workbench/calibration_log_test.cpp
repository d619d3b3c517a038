// The calibration log: made with its header by the first Accept, one line added by every
// Accept whatever became of the write and the record, quoted where a field needs it, and never
// rewritten; each line chained to the one before it, free text kept from being a formula.
#include "form_controls.h"
#include "platform/files/file_hold.h"
#include "platform/serial/port_path.h"
#include "platform/system/signed_in_user.h"
#include "platform/widgets/message_box.h"
#include "records/calibration_log.h"
#include "records/calibration_log_reader.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "workbench/frm_calibrate_sensor.h"
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
        records::setReportDirectoryForTests(dir.path());
        ui.Timer1->stop();
    }
    void TearDown() override {
        records::setReportDirectoryForTests(QString());
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
    // The channels of the lines read, in order.
    static QStringList channels(const records::CalibrationLogReading& reading) {
        QStringList list;
        for (const records::LogLine& line : reading.lines)
            list << reading.cell(line, QStringLiteral("channel"));
        return list;
    }
    // Loads and accepts each channel in turn; the boxes shown.
    std::vector<testsupport::ShownBox> acceptEach(frmCalibrateSensor& session,
                                                  const QStringList& list) {
        std::vector<testsupport::ShownBox> shown;
        for (const QString& channel : list) {
            testsupport::loadChannel(session, channel);
            harness.forget();
            session.cmdAccept_Click();
            shown.insert(shown.end(), harness.boxes.shown.begin(), harness.boxes.shown.end());
        }
        return shown;
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
    ASSERT_EQ(records::calibrationLogPath(), logPath);
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
    const QString session = QStringLiteral("accept,\"O\"\"Neil, Pat\",4,") + device +
                            QStringLiteral(",5/19/00,DB 1.2,05/02/00,,");
    // An Accept leaves the columns of the other records empty.
    const QString noTestOrJob = QString(27, QLatin1Char(','));
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
        const QByteArray lineFeeds = records::reportTemplate().replace("\r\n", "\n");
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
    EXPECT_EQ(lines[0],
              QByteArray("date_time,record,user,port,device,display_micro_date,"
                         "display_micro_info,terminal_micro_date,controller_tag,channel,"
                         "sensor_type,unit,low_volts,high_volts,low_range,high_range,low_count,"
                         "high_count,controller_write,report_file,reading_before,"
                         "reading_after,write_replies,test_started,phase,mode,point,nominal,"
                         "applied,expected,reading,readings,error,error_percent,uncertainty,"
                         "uncertainty_percent,tolerance_percent,decision_rule,verdict,reason,"
                         "reference_serial,reference_certificate,reference_uncertainty,"
                         "setting,value_before,value_after,certificate_number,covered_lines,"
                         "covered_chain,replaces,chain"));

    // The readings as the window showed them; the replies as they came, escaped.
    const QString expected[] = {
        session +
            QStringLiteral("30,0 - 50,PSIG,0.500,4.500,+000.0,+050.0,0409,3685,"
                           "status 4: RS-232 Retry Error,stored,") +
            before30 + QStringLiteral(",,||") + noTestOrJob,
        session +
            QStringLiteral("40,0 - 5000,PSIG,0.500,4.500,+0000.,+5000.,0409,3685,ok,stored,") +
            before40 + QLatin1Char(',') + after40 +
            QStringLiteral(",OK\\r\\n\\x07\\x7c\\\\\\xe9\\x00|ER\\r|OK\\r") + noTestOrJob,
        session +
            QStringLiteral("30,0 - 50,PSIG,0.500,4.500,+000.0,+050.0,0409,3685,ok,"
                           "not stored: the file does not have the CalData.txt layout,") +
            before30again + QLatin1Char(',') + after30again + QStringLiteral(",OK\\r|OK\\r|OK\\r") +
            noTestOrJob,
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
    const records::CalibrationLogReading reading = records::readCalibrationLog(logPath);
    EXPECT_TRUE(reading.error.isEmpty()) << qPrintable(reading.error);
    ASSERT_EQ(reading.lines.size(), 3u);
    EXPECT_TRUE(reading.intact());

    // A log that cannot take the line: one box, and the Accept is written and recorded, its
    // line kept in the pending file; the next Accept of the session shows no box again.
    QTemporaryDir blocked;
    ASSERT_TRUE(QDir(blocked.path()).mkdir(QStringLiteral("CalLog.csv")));
    records::setReportDirectoryForTests(blocked.path());
    load(QStringLiteral("40"));
    form.cmdAccept_Click();
    ASSERT_EQ(harness.boxes.shown.size(), 2u); // a new report file is made, then the log's box
    EXPECT_TRUE(harness.boxes.shown[1].text.startsWith(
        QStringLiteral("Error!  Cannot add the Accept of channel 40 to the calibration log ")))
        << qPrintable(harness.boxes.shown[1].text);
    EXPECT_TRUE(harness.boxes.shown[1].text.endsWith(
        QStringLiteral("\r\nThe Accept is kept in %1 and will be added to the log when the log "
                       "can be written again.")
            .arg(QDir::toNativeSeparators(blocked.filePath(QStringLiteral("CalLog-pending.csv"))))))
        << qPrintable(harness.boxes.shown[1].text);
    EXPECT_EQ(harness.count(">(00T OFF)"), 1);
    EXPECT_EQ(contents(blocked.filePath(QStringLiteral("CalData.txt"))).size(),
              records::kReportTemplateSize);
    load(QStringLiteral("41"));
    form.cmdAccept_Click();
    EXPECT_TRUE(harness.boxes.shown.empty());
    EXPECT_EQ(harness.count(">(00T OFF)"), 1);
    EXPECT_EQ(contents(logPath), third);
    EXPECT_EQ(records::readCalibrationLogWithPending(records::calibrationLogPath()).lines.size(),
              2u);
}

TEST_F(CalibrationLogTest, AfterTheExitBoxTheLogLineIsWrittenIfItCanBeAndNoBoxFollows) {
    // A report file that can be neither opened nor made, or one the operator gave up retrying,
    // ends the workbench; the log beside it takes the line where it can, and says nothing
    // where it cannot.
    struct Case {
        const char* what;
        bool readOnlyReport; // a report file marked read-only; otherwise a folder of that name
        bool logWritable;
    };
    for (const Case& c : {Case{"a folder named CalData.txt", false, true},
                          Case{"the same, and the log cannot be written", false, false},
                          Case{"a read-only report file, Retry given up", true, true}}) {
        SCOPED_TRACE(c.what);
        const bool logWritable = c.logWritable;
        QTemporaryDir here;
        QFile report(here.filePath(QStringLiteral("CalData.txt")));
        if (c.readOnlyReport) {
            ASSERT_TRUE(report.open(QIODevice::WriteOnly));
            ASSERT_EQ(report.write(records::reportTemplate()), records::reportTemplate().size());
            report.close();
            ASSERT_TRUE(
                report.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        } else {
            ASSERT_TRUE(QDir(here.path()).mkdir(QStringLiteral("CalData.txt")));
        }
        if (!logWritable) {
            ASSERT_TRUE(QDir(here.path()).mkdir(QStringLiteral("CalLog.csv")));
        }
        records::setReportDirectoryForTests(here.path());
        frmCalibrateSensor session; // a session of its own: no log box shown in it yet
        testsupport::WorkbenchControls sessionUi{session};
        sessionUi.Timer1->stop();
        testsupport::loadChannel(session, QStringLiteral("31"));
        harness.forget();
        session.cmdAccept_Click();
        ASSERT_EQ(harness.boxes.shown.size(), 2u);
        // The Retry box's Cancel is the operator giving up.
        EXPECT_EQ(harness.boxes.shown[0].style,
                  c.readOnlyReport ? platform::vbRetryCancel : platform::vbOKOnly);
        EXPECT_TRUE(harness.boxes.shown[1].text.endsWith(QStringLiteral("Click OK to EXIT")));
        EXPECT_EQ(harness.count(">(00T OFF)"), 1);
        if (c.readOnlyReport) {
            EXPECT_TRUE(report.setPermissions(report.permissions() | QFile::WriteOwner));
            QFile kept(report.fileName());
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), records::reportTemplate());
        }
        const records::CalibrationLogReading log =
            records::readCalibrationLog(here.filePath(QStringLiteral("CalLog.csv")));
        if (logWritable) {
            ASSERT_EQ(log.lines.size(), 1u) << qPrintable(log.error);
            EXPECT_EQ(log.cell(log.lines[0], QStringLiteral("channel")), QStringLiteral("31"));
            EXPECT_EQ(log.cell(log.lines[0], QStringLiteral("controller_write")),
                      QStringLiteral("ok"));
            EXPECT_TRUE(log.cell(log.lines[0], QStringLiteral("report_file"))
                            .startsWith(QStringLiteral("not stored: cannot open")));
        } else {
            // Kept in the pending file, without a word.
            const records::CalibrationLogReading pending =
                records::readCalibrationLogWithPending(here.filePath(QStringLiteral("CalLog.csv")));
            ASSERT_EQ(pending.lines.size(), 1u) << qPrintable(pending.error);
            EXPECT_TRUE(pending.lines[0].pending);
            EXPECT_EQ(pending.cell(pending.lines[0], QStringLiteral("channel")),
                      QStringLiteral("31"));
        }
    }
}

TEST_F(CalibrationLogTest, AnEditedLineBreaksTheChainThereAndAnOlderLogIsSetAside) {
    const QString logPath = records::calibrationLogPath();
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
    ASSERT_TRUE(log.startsWith(records::calibrationLogHeader())) << log.constData();
    ASSERT_TRUE(records::readCalibrationLog(logPath).intact());

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
    const records::CalibrationLogReading reading = records::readCalibrationLog(logPath);
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
    EXPECT_EQ(records::readCalibrationLog(logPath).lines.size(), 1u);
}

TEST_F(CalibrationLogTest, AcceptsTheLogCannotTakeWaitPendingAndJoinItInOrderAtTheNextAccept) {
    const QString logPath = dir.filePath(QStringLiteral("CalLog.csv"));
    const QString pendingPath = dir.filePath(QStringLiteral("CalLog-pending.csv"));
    ASSERT_EQ(records::pendingLogPath(logPath), pendingPath);
    // A directory of the log's name: no program, root's included, can add a line to it.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("CalLog.csv")));
    const std::vector<testsupport::ShownBox> shown =
        acceptEach(form, {QStringLiteral("30"), QStringLiteral("31")});
    ASSERT_EQ(shown.size(), 2u); // the new report file's, then the log's, once a session
    const QString box = shown[1].text;
    EXPECT_TRUE(box.startsWith(QStringLiteral("Error!  Cannot add the Accept of channel 30 to the "
                                              "calibration log %1.\r\nReason: ")
                                   .arg(QDir::toNativeSeparators(logPath))))
        << qPrintable(box);
    EXPECT_TRUE(box.endsWith(QStringLiteral("The Accept is kept in %1 and will be added to the log "
                                            "when the log can be written again.")
                                 .arg(QDir::toNativeSeparators(pendingPath))))
        << qPrintable(box);

    // The two lines wait, chained from the header of the log they will begin.
    const QByteArray waiting = contents(pendingPath);
    ASSERT_TRUE(waiting.startsWith(records::calibrationLogHeader()));
    records::CalibrationLogReading reading = records::readCalibrationLogWithPending(logPath);
    ASSERT_TRUE(reading.error.isEmpty()) << qPrintable(reading.error);
    EXPECT_EQ(channels(reading), (QStringList{QStringLiteral("30"), QStringLiteral("31")}));
    EXPECT_TRUE(reading.intact());
    EXPECT_EQ(reading.pendingPath, pendingPath);
    ASSERT_EQ(reading.lines.size(), 2u);
    EXPECT_TRUE(reading.lines[1].pending);
    EXPECT_EQ(reading.lines[1].firstFileLine, 3);

    // The log free again: the next Accept adds them, byte for byte and in order, then its own
    // line, and the pending file is gone.
    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("CalLog.csv")));
    EXPECT_TRUE(acceptEach(form, {QStringLiteral("32")}).empty());
    const QByteArray log = contents(logPath);
    EXPECT_TRUE(log.startsWith(waiting)) << log.constData();
    EXPECT_EQ(log.count('\n'), waiting.count('\n') + 1);
    EXPECT_FALSE(QFileInfo::exists(pendingPath));
    reading = records::readCalibrationLog(logPath);
    EXPECT_EQ(channels(reading),
              (QStringList{QStringLiteral("30"), QStringLiteral("31"), QStringLiteral("32")}));
    EXPECT_TRUE(reading.intact());
}

TEST_F(CalibrationLogTest, AMoveCutShortOrNotFinishedByARemoveAddsNoLineTwice) {
    // The log as a move that stopped before removing the pending file left it: every pending
    // line in it, only the first, or the first and part of the second (which then reads as
    // the log's). The next Accept adds only what is missing, and its own line after it.
    const QString logPath = records::calibrationLogPath();
    const QString pendingPath = records::pendingLogPath(logPath);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("CalLog.csv")));
    acceptEach(form, {QStringLiteral("30"), QStringLiteral("31")});
    ASSERT_TRUE(QDir(dir.path()).rmdir(QStringLiteral("CalLog.csv")));
    const QByteArray waiting = contents(pendingPath);
    const qsizetype lastLine = waiting.size() - 1 - waiting.lastIndexOf('\n', waiting.size() - 2);
    for (const qsizetype missing : {qsizetype(0), lastLine, qsizetype(10)}) {
        SCOPED_TRACE(missing);
        write(logPath, waiting.chopped(missing));
        write(pendingPath, waiting);
        const records::CalibrationLogReading before =
            records::readCalibrationLogWithPending(logPath);
        EXPECT_EQ(channels(before), (QStringList{QStringLiteral("30"), QStringLiteral("31")}));
        EXPECT_TRUE(before.intact());
        EXPECT_EQ(before.lines.back().pending, missing == lastLine);

        acceptEach(form, {QStringLiteral("32")});
        EXPECT_FALSE(QFileInfo::exists(pendingPath));
        const QByteArray log = contents(logPath);
        EXPECT_TRUE(log.startsWith(waiting));
        const records::CalibrationLogReading after = records::readCalibrationLog(logPath);
        EXPECT_EQ(channels(after),
                  (QStringList{QStringLiteral("30"), QStringLiteral("31"), QStringLiteral("32")}));
        EXPECT_TRUE(after.intact());
    }
}

TEST_F(CalibrationLogTest, LeavingTheWorkbenchAddsThePendingAcceptsWhenTheLogCanTakeThem) {
    for (const bool heldAtExit : {false, true}) {
        SCOPED_TRACE(heldAtExit);
        QTemporaryDir here;
        const QString logPath = here.filePath(QStringLiteral("CalLog.csv"));
        const QString pendingPath = here.filePath(QStringLiteral("CalLog-pending.csv"));
        ASSERT_TRUE(QDir(here.path()).mkdir(QStringLiteral("CalLog.csv")));
        records::setReportDirectoryForTests(here.path());
        frmCalibrateSensor session;
        testsupport::WorkbenchControls sessionUi{session};
        sessionUi.Timer1->stop();
        acceptEach(session, {QStringLiteral("30")});
        const QByteArray waiting = contents(pendingPath);
        ASSERT_EQ(waiting.count('\n'), 2);
        if (!heldAtExit) {
            ASSERT_TRUE(QDir(here.path()).rmdir(QStringLiteral("CalLog.csv")));
        }

        harness.forget();
        sessionUi.cmdCancel->click(); // "Are You SURE you want to EXIT?" answered Yes
        ASSERT_EQ(harness.boxes.shown.size(), 1u);
        EXPECT_EQ(harness.boxes.shown[0].title, QStringLiteral("Exit Program"));
        EXPECT_EQ(session.result(), QDialog::Rejected);
        if (heldAtExit) {
            // Still held: the lines wait for the next session.
            EXPECT_EQ(contents(pendingPath), waiting);
            EXPECT_TRUE(QFileInfo(logPath).isDir());
        } else {
            EXPECT_EQ(contents(logPath), waiting);
            EXPECT_FALSE(QFileInfo::exists(pendingPath));
        }
    }
}

TEST_F(CalibrationLogTest, AnAcceptThePendingFileCannotTakeEitherIsToldNotRecorded) {
    // A pending file not begun by the tool (another header) is neither added to nor moved
    // into the log; a directory of its name holds nothing. Either way the Accept's line is
    // lost, and nothing else is: the pending file keeps its bytes, and no line of this
    // Accept goes ahead of the lines waiting.
    const QByteArray foreign = "date,who\r\n2024-01-01,pat\r\n";
    const struct {
        bool logHeld;
        bool pendingIsDirectory;
    } cases[] = {{true, true}, {true, false}, {false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.logHeld << c.pendingIsDirectory);
        QTemporaryDir here;
        const QString logPath = here.filePath(QStringLiteral("CalLog.csv"));
        const QString pendingPath = here.filePath(QStringLiteral("CalLog-pending.csv"));
        if (c.logHeld) {
            ASSERT_TRUE(QDir(here.path()).mkdir(QStringLiteral("CalLog.csv")));
        }
        if (c.pendingIsDirectory) {
            ASSERT_TRUE(QDir(here.path()).mkdir(QStringLiteral("CalLog-pending.csv")));
        } else {
            write(pendingPath, foreign);
        }
        records::setReportDirectoryForTests(here.path());
        frmCalibrateSensor session;
        testsupport::WorkbenchControls sessionUi{session};
        sessionUi.Timer1->stop();
        const std::vector<testsupport::ShownBox> shown =
            acceptEach(session, {QStringLiteral("30"), QStringLiteral("31")});
        ASSERT_EQ(shown.size(), 2u); // the new report file's, then the log's, once
        const QString box = shown[1].text;
        EXPECT_TRUE(box.contains(QStringLiteral("\r\nNor can it be kept in %1: ")
                                     .arg(QDir::toNativeSeparators(pendingPath))))
            << qPrintable(box);
        EXPECT_TRUE(box.endsWith(QStringLiteral(". The Accept is NOT recorded.\r\nThe calibration "
                                                "goes on; only the log lacks this Accept.")))
            << qPrintable(box);
        EXPECT_EQ(QFileInfo(logPath).isDir(), c.logHeld);
        EXPECT_FALSE(QFileInfo(logPath).isFile());
        if (!c.pendingIsDirectory) {
            EXPECT_EQ(contents(pendingPath), foreign);
        }
    }
}

TEST_F(CalibrationLogTest, ASpreadsheetHoldingTheLogOrThePendingFileLosesNoAccept) {
    // Held the way a spreadsheet that shows the file holds it: no sharing at all, so that it
    // can be neither written nor even read.
    const QString logPath = records::calibrationLogPath();
    const QString pendingPath = records::pendingLogPath(logPath);
    acceptEach(form, {QStringLiteral("30")});
    platform::ExclusiveFileHold logHold(logPath);
    if (!logHold.held())
        GTEST_SKIP() << qPrintable(logHold.reason());

    // The log held: the line waits, chained on from the log's last line, which the session
    // remembers from its own Accept.
    std::vector<testsupport::ShownBox> shown = acceptEach(form, {QStringLiteral("31")});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.contains(
        QStringLiteral("The Accept is kept in %1").arg(QDir::toNativeSeparators(pendingPath))))
        << qPrintable(shown[0].text);
    const QByteArray waiting = contents(pendingPath);
    ASSERT_EQ(waiting.count('\n'), 2) << waiting.constData();

    // The pending file held too: the next line is not recorded, and is told so although the
    // box about keeping lines was shown; the line waiting stays as it was.
    {
        platform::ExclusiveFileHold pendingHold(pendingPath);
        ASSERT_TRUE(pendingHold.held()) << qPrintable(pendingHold.reason());
        shown = acceptEach(form, {QStringLiteral("32")});
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("The Accept is NOT recorded.")))
        << qPrintable(shown[0].text);
    EXPECT_EQ(contents(pendingPath), waiting);

    // Let go: the next Accept moves the waiting line into the log ahead of its own.
    logHold.release();
    EXPECT_TRUE(acceptEach(form, {QStringLiteral("33")}).empty());
    EXPECT_FALSE(QFileInfo::exists(pendingPath));
    records::CalibrationLogReading reading = records::readCalibrationLog(logPath);
    EXPECT_EQ(channels(reading),
              (QStringList{QStringLiteral("30"), QStringLiteral("31"), QStringLiteral("33")}));
    EXPECT_TRUE(reading.intact());

    // Held again for an Accept and let go before the workbench is left: the exit moves it.
    {
        platform::ExclusiveFileHold again(logPath);
        ASSERT_TRUE(again.held()) << qPrintable(again.reason());
        EXPECT_TRUE(acceptEach(form, {QStringLiteral("34")}).empty()); // told already
        EXPECT_TRUE(QFileInfo::exists(pendingPath));
    }
    ui.cmdCancel->click();
    EXPECT_FALSE(QFileInfo::exists(pendingPath));
    reading = records::readCalibrationLog(logPath);
    EXPECT_EQ(channels(reading), (QStringList{QStringLiteral("30"), QStringLiteral("31"),
                                              QStringLiteral("33"), QStringLiteral("34")}));
    EXPECT_TRUE(reading.intact());
}

} // namespace

namespace {

TEST(CalibrationLogPending, TheLogIsReadWithThePendingLinesItDoesNotHoldYet) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString logPath = dir.filePath(QStringLiteral("CalLog.csv"));
    const QString pendingPath = records::pendingLogPath(logPath);
    const QByteArray header = records::calibrationLogHeader();
    // Lines chained one after the other, as the tool writes them.
    QByteArray chain = records::headerChain();
    const auto next = [&chain](const char* channel) {
        records::CalibrationLogEntry entry;
        entry.time = QDateTime::currentDateTime();
        entry.channel = QLatin1String(channel);
        const QByteArray line = records::calibrationLogLine(entry, chain);
        chain = line.chopped(2).mid(line.lastIndexOf(',') + 1);
        return line;
    };
    const QByteArray l30 = next("30"), l31 = next("31"), l32 = next("32"), l33 = next("33");
    chain = l31.chopped(2).mid(l31.lastIndexOf(',') + 1);
    const QByteArray other = next("39"); // the log gone on from line 31 without the pending ones
    QByteArray edited = l33;
    edited.replace(",33,", ",37,");

    const struct {
        const char* name;
        QByteArray log;     // empty: no log file
        QByteArray pending; // after the header
        const char* channels;
        const char* pendingFlags;
        std::vector<int> brokenLog;
        std::vector<int> brokenPending;
    } cases[] = {
        {"joined", header + l30 + l31, l32 + l33, "30 31 32 33", "0011", {}, {}},
        {"no log file yet", {}, l30 + l31, "30 31", "11", {}, {}},
        {"a pending line changed",
         header + l30 + l31,
         l32 + edited,
         "30 31 32 37",
         "0011",
         {},
         {3}},
        {"the log went on without them",
         header + l30 + l31 + other,
         l32 + l33,
         "30 31 39 32 33",
         "00011",
         {},
         {2}},
        {"moved, the pending file left",
         header + l30 + l31 + l32 + l33,
         l32 + l33,
         "30 31 32 33",
         "0000",
         {},
         {}},
        {"the log's last line unfinished",
         header + l30 + l31.chopped(2),
         l32 + l33,
         "30 31 32 33",
         "0011",
         {},
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(logPath);
        if (!c.log.isEmpty()) {
            QFile file(logPath);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(c.log), c.log.size());
        }
        {
            QFile file(pendingPath);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(header + c.pending);
        }
        const records::CalibrationLogReading reading =
            records::readCalibrationLogWithPending(logPath);
        ASSERT_TRUE(reading.error.isEmpty()) << qPrintable(reading.error);
        QStringList channels;
        QString flags;
        for (const records::LogLine& line : reading.lines) {
            channels << reading.cell(line, QStringLiteral("channel"));
            flags += line.pending ? QLatin1Char('1') : QLatin1Char('0');
        }
        EXPECT_EQ(channels.join(QLatin1Char(' ')), QLatin1String(c.channels));
        EXPECT_EQ(flags, QLatin1String(c.pendingFlags));
        EXPECT_EQ(reading.brokenFileLines(), c.brokenLog);
        EXPECT_EQ(reading.brokenPendingLines(), c.brokenPending);
        EXPECT_EQ(reading.pendingPath.isEmpty(), !flags.contains(QLatin1Char('1')));
        // A pending line's file line is its line in the pending file.
        if (flags.endsWith(QLatin1String("11"))) {
            EXPECT_EQ(reading.lines.back().firstFileLine, int(c.pending.count('\n')) + 1);
        }
    }
}

TEST(CalibrationLogPending, ThePendingLinesJoinTheLogAfterWhatItHoldsOfThemAlready) {
    const QByteArray one = "one,1\r\n", two = "two,2\r\n", three = "three,3\r\n";
    const QByteArray log = records::calibrationLogHeader() + "old,0\r\n";
    // A first pending line with a line break in a quoted cell: looked for whole.
    const QByteArray quoted = "\"a\r\nb\",1\r\n";
    const struct {
        const char* name;
        QByteArray log;
        QByteArray pending;
        QByteArray lineEnd;
        qsizetype held;
        bool conflict;
    } cases[] = {
        {"none of them there", log, one + two, "", 0, false},
        {"the log's last line unfinished", log + "torn", one + two, "\r\n", 0, false},
        {"all there", log + one + two, one + two, "", (one + two).size(), false},
        {"all there, then a newer line", log + one + two + three, one + two, "", (one + two).size(),
         false},
        {"cut short after the first", log + one, one + two, "", one.size(), false},
        {"cut short inside the second", log + one + "tw", one + two, "", one.size() + 2, false},
        {"a line that only ends like the first", log + "xone,1\r\n", one + two, "", 0, false},
        {"the first, then another line", log + one + three, one + two, "", 0, true},
        {"a quoted line break, another line", log + "\"a\r\nc\",1\r\n", quoted + two, "", 0, false},
        {"a quoted line break, all there", log + quoted + two, quoted + two, "",
         (quoted + two).size(), false},
        {"nothing pending", log + "torn", "", "", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const records::PendingJoin join = records::joinPendingLines(c.log, c.pending);
        EXPECT_EQ(join.lineEnd, c.lineEnd);
        EXPECT_EQ(join.held, c.held);
        EXPECT_EQ(join.conflict, c.conflict);
    }
}

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
        EXPECT_EQ(records::formulaSafe(QString::fromLatin1(c.text)), QString::fromLatin1(c.cell));
        EXPECT_EQ(records::formulaSafeText(QString::fromLatin1(c.cell)),
                  QString::fromLatin1(c.text));
    }

    // In the log: every free-text column made safe and read back as it was; the sign of a
    // setpoint text, the counts and the outcomes written as they are.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    records::setReportDirectoryForTests(dir.path());
    records::CalibrationLogEntry entry;
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
    entry.controllerWrite = records::kWriteOk;
    entry.reportFile = QStringLiteral("stored");
    entry.readingBefore = QStringLiteral("-12.5\u00b0F");
    entry.readingAfter = QStringLiteral("\r=2");
    entry.writeReplies = QStringLiteral("=OK|OK|OK");
    ASSERT_EQ(records::appendCalibrationLog(entry), records::LogOutcome::InLog);
    const records::CalibrationLogReading log =
        records::readCalibrationLog(records::calibrationLogPath());
    records::setReportDirectoryForTests(QString());
    ASSERT_EQ(log.lines.size(), 1u) << qPrintable(log.error);
    const records::LogLine& line = log.lines[0];
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
