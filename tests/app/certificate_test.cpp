// The calibration certificate as an auditor gets it: the tool run with --certificate and no
// display, the PDF read back as text with pdftotext (Debian package poppler-utils).
#include "command_support.h"
#include "log_writer.h"
#include "records/calibration_log.h"
#include "records/calibration_log_reader.h"
#include "records/report_file.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <initializer_list>
#include <tuple>

namespace {

using command_test::Finished;
using command_test::runTool;

// The program that reads a PDF back as text: the one $TQ_PDFTOTEXT names (the Windows run
// under Wine names a Linux one there), else pdftotext on the path; empty when there is none.
QString pdftotextProgram() {
    const QString named = qEnvironmentVariable("TQ_PDFTOTEXT");
    return named.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("pdftotext")) : named;
}

// The PDF's text, blanks run together so that a table cell reads as one phrase, and letters
// the font joins ("fi") apart again. It is read from a text file beside the PDF. A Linux
// program started from a Windows one under Wine runs on its own, its end never told (its
// process reads as running, and waiting for it ends at once): the one TQ_PDFTOTEXT names there
// puts the text file in place, whole, once it is done, and the file is awaited instead.
QString pdfText(const QString& pdf) {
    const QString program = pdftotextProgram();
    if (program.isEmpty())
        return QStringLiteral("<pdftotext missing>");
    const QString textFile = pdf + QStringLiteral(".txt");
    QFile::remove(textFile);
    QProcess process;
    command_test::startTriedAgain(process, program, {QStringLiteral("-layout"), pdf, textFile});
    process.waitForFinished(60000);
    if (process.state() == QProcess::NotRunning) {
        if (process.error() == QProcess::FailedToStart ||
            process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return QStringLiteral("<%1 failed: %2 %3>")
                .arg(program, process.errorString(),
                     QString::fromLocal8Bit(process.readAllStandardError()));
    } else if (!QTest::qWaitFor([&] { return QFileInfo::exists(textFile); }, 60000)) {
        return QStringLiteral("<no text from %1 within a minute>").arg(program);
    }
    QFile text(textFile);
    if (!text.open(QIODevice::ReadOnly))
        return QStringLiteral("<cannot read %1>").arg(textFile);
    return QString::fromUtf8(text.readAll()).normalized(QString::NormalizationForm_KC).simplified();
}

records::CalibrationLogEntry accepted(const QString& channel, const QString& user,
                                      const QStringList& identity, const QString& before,
                                      const QString& after) {
    records::CalibrationLogEntry entry = command_test::acceptOf(channel, user);
    entry.time = QDateTime::currentDateTime();
    entry.displayMicroDate = identity[0];
    entry.displayMicroInfo = identity[1];
    entry.terminalMicroDate = identity[2];
    entry.readingBefore = before;
    entry.readingAfter = after;
    return entry;
}

// A certificate made and read back as text: the log is written into a folder of the test's
// own, and the PDF read with pdftotext.
class CertificateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (pdftotextProgram().isEmpty())
            GTEST_SKIP() << "no pdftotext on this system to read the PDF back with (Debian "
                            "package poppler-utils; under Wine, scripts/test-windows names one "
                            "in TQ_PDFTOTEXT)";
        ASSERT_TRUE(dir.isValid());
        records::setReportDirectoryForTests(dir.path());
    }
    void TearDown() override { records::setReportDirectoryForTests(QString()); }

    // Makes the certificate of `log` into `pdf`, expecting exit status 0 and every phrase in
    // it; returns its text.
    QString certificateWith(const QString& log, const QString& pdf,
                            std::initializer_list<const char*> phrases) {
        const Finished made =
            runTool({QStringLiteral("--certificate"), log, QStringLiteral("--out"), pdf});
        EXPECT_EQ(made.exitCode, 0) << qPrintable(made.err);
        const QString text = pdfText(pdf);
        for (const char* phrase : phrases)
            EXPECT_TRUE(text.contains(QString::fromUtf8(phrase))) << phrase << "\n"
                                                                  << qPrintable(text);
        return text;
    }

    QTemporaryDir dir;
    const QStringList controller = {QStringLiteral("11/03/00"), QStringLiteral("V2.1"),
                                    QStringLiteral("10/27/00")};
};

TEST_F(CertificateTest, NamesTheControllerItsChannelsAndTheChainAndShowsABreak) {
    const QStringList other = {QStringLiteral("01/02/99"), QStringLiteral("V1.0"),
                               QStringLiteral("01/05/99")};
    const QStringList unconfirmed(3, records::kIdentityUnconfirmed);
    // File line 2 is another controller's; lines 3 to 5 this one's, channel 30 twice; line 6
    // names no controller.
    const records::CalibrationLogEntry lines[] = {
        accepted(QStringLiteral("32"), QStringLiteral("kim"), other, QStringLiteral("OTHER-1"),
                 QStringLiteral("OTHER-2")),
        accepted(QStringLiteral("30"), QStringLiteral("pat"), controller,
                 QStringLiteral("OLD-BEFORE"), QStringLiteral("OLD-AFTER")),
        accepted(QStringLiteral("31"), QStringLiteral("-lee"), controller,
                 QStringLiteral("74.7\u00b0F"), QStringLiteral("7.2\u00b0F")),
        accepted(QStringLiteral("30"), QStringLiteral("pat"), controller,
                 QStringLiteral("12.5 PSIG"), QStringLiteral("18.7 PSIG")),
        // Written while no controller had confirmed who it is: on no certificate.
        accepted(QStringLiteral("33"), QStringLiteral("pat"), unconfirmed,
                 QStringLiteral("UNSURE-1"), QStringLiteral("UNSURE-2")),
    };
    for (const auto& entry : lines)
        ASSERT_EQ(records::appendCalibrationLog(entry), records::LogOutcome::InLog);
    const QString log = records::calibrationLogPath();
    records::setReportDirectoryForTests(QString());
    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));

    const QString text =
        certificateWith(log, pdf,
                        {"Calibration Certificate",
                         "TQ-8400 Sensor Calibration 1.0",
                         "11/03/00",
                         "V2.1",
                         "10/27/00",
                         "COM2 -> /dev/pts/7",
                         "pat, -lee",
                         "12.5 PSIG",
                         "18.7 PSIG",
                         "74.7\u00b0F",
                         "7.2\u00b0F",
                         "Made from lines 3-5 of",
                         "Chain intact",
                         "Page 1 of 2",
                         "Page 2 of 2",
                         "1 earlier attempt, log line 3",
                         "adjusted, not verified",
                         "The results relate only to the item calibrated.",
                         "This certificate shall not be reproduced except in full.",
                         "Reviewed by",
                         "End of certificate",
                         "covers the log's first 5 lines"});
    // Issued: its record is the log's next line, with its number, the lines it covers and the
    // chain value of the last of them.
    const auto issueOf = [&log] {
        const records::CalibrationLogReading read = records::readCalibrationLog(log);
        EXPECT_GE(read.lines.size(), 2u);
        const records::LogLine& issue = read.lines.back();
        EXPECT_EQ(read.cell(issue, QStringLiteral("record")), QStringLiteral("certificate"));
        return std::make_tuple(read.cell(issue, QStringLiteral("certificate_number")),
                               read.cell(issue, QStringLiteral("covered_lines")),
                               read.cell(issue, QStringLiteral("covered_chain")),
                               read.cell(issue, QStringLiteral("replaces")),
                               read.lines[read.lines.size() - 2].cells.back());
    };
    const auto [number, covered, coveredChain, replaces, chainBefore] = issueOf();
    EXPECT_TRUE(text.contains(QStringLiteral("Certificate number ") + number))
        << qPrintable(number);
    EXPECT_TRUE(number.startsWith(QStringLiteral("11_03_00_V2.1_10_27_00-") +
                                  QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                                  QLatin1Char('-') + chainBefore.left(8)))
        << qPrintable(number);
    EXPECT_EQ(covered, QStringLiteral("5"));
    EXPECT_EQ(coveredChain, chainBefore);
    EXPECT_TRUE(text.contains(coveredChain));
    EXPECT_TRUE(replaces.isEmpty());

    // Neither the other controller nor channel 30's earlier Accept; twelve channels without one.
    for (const char* phrase : {"V1.0", "kim", "OTHER", "OLD-", "BROKEN", "UNSURE", "unconfirmed"})
        EXPECT_FALSE(text.contains(QLatin1String(phrase))) << phrase;
    EXPECT_EQ(text.count(QStringLiteral("not calibrated")), 12);
    EXPECT_EQ(text.count(QStringLiteral("stored")), 2);

    // Channel 31's reading changed by hand: still a certificate, the break on it and on
    // standard error, and an exit status of its own.
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    ASSERT_EQ(bytes.count("7.2\u00b0F"), 1);
    bytes.replace("7.2\u00b0F", "9.9\u00b0F");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
    file.close();
    const Finished broken =
        runTool({QStringLiteral("--certificate"), log, QStringLiteral("--out"), pdf});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_TRUE(broken.err.contains(QStringLiteral("broken at line 4"))) << qPrintable(broken.err);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    bytes = file.readAll(); // with the record of the certificate's issue
    file.close();
    // The re-issue names the certificate it replaces.
    EXPECT_EQ(std::get<3>(issueOf()), number);
    EXPECT_EQ(std::get<1>(issueOf()), QStringLiteral("6"));
    const QString brokenText = pdfText(pdf);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("CHAIN BROKEN at line 4")))
        << qPrintable(brokenText);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("4 broken"))) << qPrintable(brokenText);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("9.9\u00b0F")));

    // No log: no certificate. Wrong arguments: told so.
    const QString missing = dir.filePath(QStringLiteral("none.pdf"));
    EXPECT_EQ(runTool({QStringLiteral("--certificate"), dir.filePath(QStringLiteral("no.csv")),
                       QStringLiteral("--out"), missing})
                  .exitCode,
              1);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(runTool({QStringLiteral("--certificate"), log, QStringLiteral("--out")}).exitCode, 2);
    EXPECT_EQ(
        runTool({QStringLiteral("--certificate"), log, QStringLiteral("--out"), log}).exitCode, 4);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes); // the log is never written over
}

TEST_F(CertificateTest, TheAcceptsWaitingInThePendingFileArePartOfTheRecordAndOfItsChain) {
    // Lines 2 and 3 in the log; then, while it was held, channel 31 again and channel 32 kept
    // pending, chained on from the log's last line as the tool keeps them.
    for (const auto& entry : {accepted(QStringLiteral("30"), QStringLiteral("pat"), controller,
                                       QStringLiteral("12.5 PSIG"), QStringLiteral("18.7 PSIG")),
                              accepted(QStringLiteral("31"), QStringLiteral("pat"), controller,
                                       QStringLiteral("OLD-BEFORE"), QStringLiteral("OLD-AFTER"))})
        ASSERT_EQ(records::appendCalibrationLog(entry), records::LogOutcome::InLog);
    const QString log = records::calibrationLogPath();
    records::setReportDirectoryForTests(QString());
    const QString pending = records::pendingLogPath(log);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray logBytes = file.readAll();
    file.close();
    QByteArray chain = logBytes.chopped(2).mid(logBytes.chopped(2).lastIndexOf(',') + 1);
    QByteArray waiting = records::calibrationLogHeader();
    for (const auto& entry : {accepted(QStringLiteral("31"), QStringLiteral("kim"), controller,
                                       QStringLiteral("74.7\u00b0F"), QStringLiteral("7.2\u00b0F")),
                              accepted(QStringLiteral("32"), QStringLiteral("kim"), controller,
                                       QStringLiteral("1.5 PSIG"), QStringLiteral("2.5 PSIG"))}) {
        const QByteArray line = records::calibrationLogLine(entry, chain);
        chain = line.chopped(2).mid(line.chopped(2).lastIndexOf(',') + 1);
        waiting += line;
    }
    const auto writePending = [&](const QByteArray& bytes) {
        QFile out(pending);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
    };
    writePending(waiting);
    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));

    const QString text = certificateWith(
        log, pdf,
        {"Made from lines 2-3 of", "and lines 2-3 of", "CalLog-pending.csv", "pending 2",
         "pending 3", "pat, kim", "74.7\u00b0F", "1.5 PSIG", "12.5 PSIG",
         "Chain intact: every line of the log and of its pending file follows"});
    EXPECT_FALSE(text.contains(QStringLiteral("OLD-"))); // channel 31's Accept in the log
    EXPECT_EQ(text.count(QStringLiteral("not calibrated")), 11);
    EXPECT_TRUE(text.contains(QStringLiteral("1 earlier attempt, log line 3")));
    // Issuing it recorded it: the waiting lines joined the log first, in order, then the
    // certificate's line, which covers the four.
    const auto restore = [&](const QByteArray& pendingBytes) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(logBytes), logBytes.size());
        file.close();
        writePending(pendingBytes);
    };
    EXPECT_FALSE(QFileInfo::exists(pending));
    const records::CalibrationLogReading joined = records::readCalibrationLog(log);
    ASSERT_EQ(joined.lines.size(), 5u);
    EXPECT_TRUE(joined.intact());
    EXPECT_EQ(joined.cell(joined.lines[3], QStringLiteral("reading_after")),
              QStringLiteral("2.5 PSIG"));
    EXPECT_EQ(joined.cell(joined.lines[4], QStringLiteral("covered_lines")), QStringLiteral("4"));

    // A pending line changed: the break is named in the pending file.
    QByteArray changed = waiting;
    ASSERT_EQ(changed.count("2.5 PSIG"), 1);
    changed.replace("2.5 PSIG", "9.5 PSIG");
    restore(changed);
    const Finished broken =
        runTool({QStringLiteral("--certificate"), log, QStringLiteral("--out"), pdf});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_TRUE(broken.err.contains(QStringLiteral("broken at line 3 of the pending file")))
        << qPrintable(broken.err);
    const QString brokenText = pdfText(pdf);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("CHAIN BROKEN at line 3 of the pending file")))
        << qPrintable(brokenText);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("pending 3 broken"))) << qPrintable(brokenText);

    // Nor is the pending file ever written over.
    restore(changed);
    EXPECT_EQ(
        runTool({QStringLiteral("--certificate"), log, QStringLiteral("--out"), pending}).exitCode,
        4);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), logBytes);
    file.close();
    QFile pendingFile(pending);
    ASSERT_TRUE(pendingFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(pendingFile.readAll(), changed);
}

TEST_F(CertificateTest, ShowsTheJobTheReferenceAndEachTestBeforeAndAfterAdjustment) {
    const QString log = dir.filePath(QStringLiteral("CalLog.csv"));
    testsupport::LogWriter writer(log);
    for (const auto& [key, value] : {
             std::pair{"job/organisation", "Acme Calibration Lab"},
             {"job/address", "1 Gauge Street"},
             {"job/site", "Pump house 3"},
             {"job/customer", "Water Board"},
             {"job/work_order", "WO-5531"},
             {"job/procedure", "CP-TQ-01"},
             {"job/ambient", "23.5"},
             {"reference/description", "Voltage calibrator"},
             {"reference/serial", "REF-7"},
             {"reference/certificate", "LAB-2026-118"},
             {"reference/laboratory", "National Volt Lab"},
             {"reference/due_date", "2027-03-01"},
             {"reference/uncertainty_volts", "0.002"},
         })
        writer.job(QString::fromUtf8(key), QString::fromUtf8(value));
    writer.tag = QStringLiteral("PUMP-7");
    writer.test(QStringLiteral("30"), QStringLiteral("as-found"), {0, -2.5, -5, -7.5, -10},
                QStringLiteral("fail"));
    writer.accept(QStringLiteral("30"));
    writer.test(QStringLiteral("30"), QStringLiteral("as-left"), {0.1, 0, -0.1, 0.2, 0},
                QStringLiteral("pass"));
    writer.test(QStringLiteral("31"), QStringLiteral("as-found"), {},
                QStringLiteral("not applicable"), QStringLiteral("new sensor fitted"));
    writer.clockBack(3600);
    writer.accept(QStringLiteral("31"));
    const QString pdf = dir.filePath(QStringLiteral("job.pdf"));

    const QString text = certificateWith(
        log, pdf,
        {"Certificate number PUMP-7-",
         "Acme Calibration Lab, 1 Gauge Street",
         "Pump house 3",
         "Water Board",
         "WO-5531",
         "TQ-8400 controller PUMP-7",
         "display board info V2.1",
         "Ambient temperature 23.5 \u00b0C",
         "Analog input verification by voltage injection, 5 points, procedure CP-TQ-01",
         "Voltage calibrator, serial REF-7, certificate LAB-2026-118 issued by National Volt Lab, "
         "due 2027-03-01, U = 0.002 V (k = 2)",
         "traceable to the International System of Units",
         "coverage factor k = 2",
         "simple acceptance",
         "\u00b10.5 % of span",
         "As-found: FAIL",
         "As-left: PASS",
         "TUR 10.0 : 1",
         "100 4.5 4.5 100 90 -10 -10 0.05 fail",
         "75 3.5 3.5 75 75.2 0.2 0.2 0.05 pass",
         "Adjustment",
         "converter counts 0409 and 3686",
         "As-found: not applicable (initial calibration). Reason: new sensor fitted",
         "adjusted, not verified",
         "TIME ORDER",
         "is dated",
         "End of certificate"});
    EXPECT_FALSE(text.contains(QStringLiteral("recommended"), Qt::CaseInsensitive));
    // The number on every page, with the page's place.
    const qsizetype pages = text.count(QStringLiteral("Page "));
    EXPECT_GE(pages, 2);
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("Calibration Certificate PUMP-7-\\d{8}-"
                                                           "[0-9a-f]{8} Page \\d of \\d"))),
              pages);
    // "End of certificate" after the last line of content.
    EXPECT_GT(text.lastIndexOf(QStringLiteral("End of certificate")),
              text.lastIndexOf(QStringLiteral("Reviewed by")));
}

} // namespace
