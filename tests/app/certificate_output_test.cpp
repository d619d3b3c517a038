// Where "tq8400-cal --certificate --out" may write: never over the log, its pending file or a
// report file, and never over a file the tool did not write itself; the refused file keeps
// every byte. The tool run as a technician runs it.
#include "command_support.h"
#include "platform/files/file_hold.h"
#include "records/calibration_log.h"
#include "records/pdf_info.h"
#include "records/report_file.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using namespace command_test;

// A one-page PDF whose document information names `creator`.
QByteArray pdfBy(const QString& creator) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setCreator(creator);
        QPainter painter(&writer);
        painter.drawLine(0, 0, 100, 100);
    }
    return bytes;
}

class CertificateOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        records::setReportDirectoryForTests(dir.path());
        for (const char* channel : {"30", "31"})
            ASSERT_EQ(records::appendCalibrationLog(
                          acceptOf(QString::fromLatin1(channel), QStringLiteral("pat")),
                          records::LogFailureBox::Silent),
                      records::LogOutcome::InLog);
        records::setReportDirectoryForTests(QString());
        log = dir.filePath(QStringLiteral("CalLog.csv"));
    }

    Finished certificateTo(const QString& pdf) {
        return runTool({QStringLiteral("--certificate"), log, QStringLiteral("--out"), pdf});
    }

    QTemporaryDir dir;
    QString log;
};

// One place --out may not name: the file there before (none: no file), and the refusal's
// phrase.
struct Refusal {
    const char* what;
    QString out;
    std::optional<QByteArray> before;
    QString says;
};

TEST_F(CertificateOutputTest, RefusesTheRecordsAndFilesItDidNotWriteLeavingThemAsTheyWere) {
    const QString pending = records::pendingLogPath(log);
    const QString besideLog = dir.filePath(QStringLiteral("CalData.txt"));
    // The tool's own report file: beside the program.
    const QString toolReport =
        QFileInfo(kTool).absoluteDir().filePath(QString::fromLatin1(records::kReportFileName));
    // A demo run may have left one there: then it must stay as it is.
    const std::optional<QByteArray> toolReportBefore =
        QFileInfo::exists(toolReport) ? std::optional(bytesOf(toolReport)) : std::nullopt;
    const QByteArray logBytes = bytesOf(log);
    const QString notOurs = QStringLiteral("it is not a certificate this tool wrote");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));

    std::vector<Refusal> refusals = {
        {"the log", log, logBytes, QStringLiteral("--out names the calibration log itself")},
        {"the log by another spelling", dir.filePath(QStringLiteral("sub/../CalLog.csv")), logBytes,
         QStringLiteral("--out names the calibration log itself")},
        {"the pending file, not there", pending, std::nullopt,
         QStringLiteral("over the calibration log's pending file")},
        {"the pending file", pending, records::calibrationLogHeader(),
         QStringLiteral("over the calibration log's pending file")},
        {"CalData.txt beside the log", besideLog, QByteArray("channel 30 record\r\n"),
         QStringLiteral("over the report file")},
        {"CalData.txt beside the log, in other letters, not there",
         dir.filePath(QStringLiteral("sub/../caldata.TXT")), std::nullopt,
         QStringLiteral("over the report file")},
        {"the tool's own CalData.txt", toolReport, toolReportBefore,
         QStringLiteral("over the report file")},
        {"a text file", dir.filePath(QStringLiteral("notes.pdf")), QByteArray("notes\n"), notOurs},
        {"an empty file", dir.filePath(QStringLiteral("empty.pdf")), QByteArray(), notOurs},
        {"a PDF of another creator", dir.filePath(QStringLiteral("other.pdf")),
         pdfBy(QStringLiteral("Other Writer")), notOurs},
        {"a PDF whose creator only begins like the tool's name",
         dir.filePath(QStringLiteral("lookalike.pdf")),
         pdfBy(QStringLiteral("TQ-8400 Sensor Calibrations 1.0")), notOurs},
        {"the tool's creator text after a PDF's end", dir.filePath(QStringLiteral("appended.pdf")),
         pdfBy(QStringLiteral("Other Writer")) + "\n/Creator (TQ-8400 Sensor Calibration)\n",
         notOurs},
        {"a folder", dir.filePath(QStringLiteral("folder.pdf")), std::nullopt,
         QStringLiteral("it is a folder")},
    };
    // A device, where the system has one to name: never read, nor written.
    const QString device = QStringLiteral("/dev/null");
    if (QFileInfo::exists(device) && !QFileInfo(device).isFile())
        refusals.push_back({"a device", device, QByteArray(), QStringLiteral("it is no file")});
    // Links to the log and to the pending file not there yet, where the system makes them.
    const QString logLink = dir.filePath(QStringLiteral("log-link.pdf"));
    if (QFile::link(log, logLink) && QFileInfo(logLink).isSymLink())
        refusals.push_back({"a link to the log", logLink, logBytes,
                            QStringLiteral("--out names the calibration log itself")});
    const QString pendingLink = dir.filePath(QStringLiteral("pending-link.pdf"));
    if (QFile::link(pending, pendingLink) && QFileInfo(pendingLink).isSymLink())
        refusals.push_back({"a link to the pending file, not there", pendingLink, std::nullopt,
                            QStringLiteral("over the calibration log's pending file")});

    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        // What is there already (the log, a link) is left as it is.
        if (refusal.before && !QFileInfo::exists(refusal.out) &&
            !QFileInfo(refusal.out).isSymLink()) {
            ASSERT_TRUE(writeBytes(refusal.out, *refusal.before));
        }
        const bool folder = QFileInfo(refusal.out).isDir();
        const Finished refused = certificateTo(refusal.out);
        EXPECT_EQ(refused.exitCode, 4) << qPrintable(refused.err);
        EXPECT_TRUE(refused.err.contains(refusal.says)) << qPrintable(refused.err);
        EXPECT_TRUE(refused.out.isEmpty()) << qPrintable(refused.out);
        if (folder) {
            EXPECT_TRUE(QDir(refusal.out).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
        } else if (refusal.before) {
            EXPECT_EQ(bytesOf(refusal.out), *refusal.before);
        } else {
            // Nothing made there, nor where a link points.
            EXPECT_FALSE(QFileInfo::exists(refusal.out));
        }
        EXPECT_EQ(bytesOf(log), logBytes);
        // The refused report file is taken off again, so that the next refusal is its own.
        if ((refusal.out == besideLog || refusal.out == pending) &&
            QFileInfo::exists(refusal.out)) {
            ASSERT_TRUE(QFile::remove(refusal.out));
        }
    }
}

TEST_F(CertificateOutputTest, WritesOverACertificateOfItsOwnOfAnyVersion) {
    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
    const Finished first = certificateTo(pdf);
    ASSERT_EQ(first.exitCode, 0) << qPrintable(first.err);
    const QByteArray made = bytesOf(pdf);
    ASSERT_TRUE(made.startsWith("%PDF-"));

    // Made again over its own certificate, a channel calibrated since: a new certificate.
    records::setReportDirectoryForTests(dir.path());
    ASSERT_EQ(records::appendCalibrationLog(acceptOf(QStringLiteral("32"), QStringLiteral("kim")),
                                            records::LogFailureBox::Silent),
              records::LogOutcome::InLog);
    records::setReportDirectoryForTests(QString());
    const Finished again = certificateTo(pdf);
    EXPECT_EQ(again.exitCode, 0) << qPrintable(again.err);
    EXPECT_NE(bytesOf(pdf), made);

    // A certificate of an earlier version of the tool, and the default name beside the log.
    const QString older = dir.filePath(QStringLiteral("older.pdf"));
    const QString olderTool = QStringLiteral("TQ-8400 Sensor Calibration 0.9");
    ASSERT_TRUE(writeBytes(older, pdfBy(olderTool)));
    ASSERT_EQ(records::pdfCreator(bytesOf(older)), olderTool);
    const Finished overOlder = certificateTo(older);
    EXPECT_EQ(overOlder.exitCode, 0) << qPrintable(overOlder.err);
    const std::optional<QString> creator = records::pdfCreator(bytesOf(older));
    ASSERT_TRUE(creator.has_value());
    EXPECT_TRUE(creator->startsWith(QStringLiteral("TQ-8400 Sensor Calibration ")));
    EXPECT_NE(*creator, olderTool);
    const Finished byDefault = runTool({QStringLiteral("--certificate"), log});
    EXPECT_EQ(byDefault.exitCode, 0) << qPrintable(byDefault.err);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("CalCertificate.pdf"))).isFile());
}

TEST_F(CertificateOutputTest, ACertificateTheLogCannotRecordIsTakenBackAndTheOneBeforeIsKept) {
    const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
    const Finished issuedBefore = certificateTo(pdf);
    ASSERT_EQ(issuedBefore.exitCode, 0) << qPrintable(issuedBefore.err);
    const QByteArray earlier = bytesOf(pdf);

    // The log held by a program that lets others only read it (on Windows), or marked
    // read-only, and a folder in place of its pending file: the record can go neither
    // to the log nor to the pending file, while the log can still be read.
    platform::ExclusiveFileHold hold(log, platform::ExclusiveFileHold::OthersMay::Read);
    const QFileDevice::Permissions writable = QFileInfo(log).permissions();
    if (!hold.held()) {
        ASSERT_TRUE(QFile::setPermissions(log, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                   QFileDevice::ReadOther));
        QFile probe(log);
        if (probe.open(QIODevice::Append)) {
            probe.close();
            ASSERT_TRUE(QFile::setPermissions(log, writable));
            GTEST_SKIP() << "this user may write a file marked read-only (root), and "
                         << qPrintable(hold.reason());
        }
    }
    const QString pending = records::pendingLogPath(log);
    ASSERT_TRUE(QDir().mkdir(pending));
    const QByteArray logBefore = bytesOf(log);

    const struct {
        const char* what;
        QString out;
        std::optional<QByteArray> before;
    } cases[] = {
        {"over the certificate issued before", pdf, earlier},
        {"where there was no file", dir.filePath(QStringLiteral("none-yet.pdf")), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Finished refused = certificateTo(c.out);
        EXPECT_EQ(refused.exitCode, 1) << qPrintable(refused.err);
        EXPECT_TRUE(refused.err.contains(QStringLiteral("the certificate was not issued")))
            << qPrintable(refused.err);
        EXPECT_FALSE(refused.err.contains(QStringLiteral("NOT"))) << qPrintable(refused.err);
        if (c.before) {
            EXPECT_EQ(bytesOf(c.out), *c.before);
        } else {
            EXPECT_FALSE(QFileInfo::exists(c.out));
        }
        EXPECT_EQ(bytesOf(log), logBefore);
        EXPECT_TRUE(QDir(pending).isEmpty());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("CalLog.csv"), QStringLiteral("certificate.pdf")}));
    hold.release();
    EXPECT_TRUE(QFile::setPermissions(log, writable));
}

} // namespace
