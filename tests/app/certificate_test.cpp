// The calibration certificate as an auditor gets it: the tool run with --certificate and no
// display, the PDF read back as text with pdftotext (Debian package poppler-utils).
#include "records/calibration_log.h"
#include "records/report_file.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <initializer_list>

namespace {

const QString kTool = QStringLiteral(TQ_CAL_PROGRAM);

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

Finished run(const QString& program, const QStringList& arguments) {
    // No display of any kind, and no platform chosen for the tool.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Finished result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

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
    process.start(program, {QStringLiteral("-layout"), pdf, textFile});
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
    records::CalibrationLogEntry entry;
    entry.time = QDateTime::currentDateTime();
    entry.user = user;
    entry.port = 2;
    entry.device = QStringLiteral("COM2 -> /dev/pts/7");
    entry.displayMicroDate = identity[0];
    entry.displayMicroInfo = identity[1];
    entry.terminalMicroDate = identity[2];
    entry.channel = channel;
    entry.sensorType = QStringLiteral("0 - 100");
    entry.unit = QStringLiteral("PSIG");
    entry.loVolts = QStringLiteral("0.400");
    entry.hiVolts = QStringLiteral("4.600");
    entry.rangeLo = QStringLiteral("+001.0");
    entry.rangeHi = QStringLiteral("+125.0");
    entry.loCount = QStringLiteral("0327");
    entry.hiCount = QStringLiteral("3767");
    entry.controllerWrite = records::kWriteOk;
    entry.reportFile = QStringLiteral("stored");
    entry.readingBefore = before;
    entry.readingAfter = after;
    entry.writeReplies = QStringLiteral("OK\\r|OK\\r|OK\\r");
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
            run(kTool, {QStringLiteral("--certificate"), log, QStringLiteral("--out"), pdf});
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

    const QString text = certificateWith(
        log, pdf,
        {"Calibration Certificate", "TQ-8400 Sensor Calibration 1.0", "11/03/00", "V2.1",
         "10/27/00", "COM2 -> /dev/pts/7", "pat, -lee", "12.5 PSIG", "18.7 PSIG", "74.7\u00b0F",
         "7.2\u00b0F", "Made from lines 3-5 of", "Chain intact", "Page 1 of 1"});
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
        run(kTool, {QStringLiteral("--certificate"), log, QStringLiteral("--out"), pdf});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_TRUE(broken.err.contains(QStringLiteral("broken at line 4"))) << qPrintable(broken.err);
    const QString brokenText = pdfText(pdf);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("CHAIN BROKEN at line 4")))
        << qPrintable(brokenText);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("4 broken"))) << qPrintable(brokenText);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("9.9\u00b0F")));

    // No log: no certificate. Wrong arguments: told so.
    const QString missing = dir.filePath(QStringLiteral("none.pdf"));
    EXPECT_EQ(run(kTool, {QStringLiteral("--certificate"), dir.filePath(QStringLiteral("no.csv")),
                          QStringLiteral("--out"), missing})
                  .exitCode,
              1);
    EXPECT_FALSE(QFileInfo::exists(missing));
    EXPECT_EQ(run(kTool, {QStringLiteral("--certificate"), log, QStringLiteral("--out")}).exitCode,
              2);
    EXPECT_EQ(
        run(kTool, {QStringLiteral("--certificate"), log, QStringLiteral("--out"), log}).exitCode,
        4);
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

    // A pending line changed: the break is named in the pending file.
    QByteArray changed = waiting;
    ASSERT_EQ(changed.count("2.5 PSIG"), 1);
    changed.replace("2.5 PSIG", "9.5 PSIG");
    writePending(changed);
    const Finished broken =
        run(kTool, {QStringLiteral("--certificate"), log, QStringLiteral("--out"), pdf});
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_TRUE(broken.err.contains(QStringLiteral("broken at line 3 of the pending file")))
        << qPrintable(broken.err);
    const QString brokenText = pdfText(pdf);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("CHAIN BROKEN at line 3 of the pending file")))
        << qPrintable(brokenText);
    EXPECT_TRUE(brokenText.contains(QStringLiteral("pending 3 broken"))) << qPrintable(brokenText);

    // Nor is the pending file ever written over.
    EXPECT_EQ(run(kTool, {QStringLiteral("--certificate"), log, QStringLiteral("--out"), pending})
                  .exitCode,
              4);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), logBytes);
    file.close();
    QFile pendingFile(pending);
    ASSERT_TRUE(pendingFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(pendingFile.readAll(), changed);
}

} // namespace
