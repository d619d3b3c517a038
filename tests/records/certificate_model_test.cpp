// What a certificate shows of each channel, read from a calibration log written line by line as
// the workbench writes it: which tests and which adjustment, their verdicts, the earlier
// attempts, a clock set back, and the number and the record of its issue.
#include "log_writer.h"
#include "records/calibration_log.h"
#include "records/calibration_log_reader.h"
#include "records/certificate.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

using testsupport::LogWriter;

class CertificateModelTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::optional<records::Certificate> certificate() {
        QString error;
        auto made =
            records::certificateFromLog(records::readCalibrationLogWithPending(path), path, error);
        EXPECT_TRUE(made.has_value()) << error.toStdString();
        return made;
    }
    const records::CertificateRow& row(const records::Certificate& c, const char* channel) {
        for (const auto& r : c.rows)
            if (r.channel == QLatin1String(channel))
                return r;
        ADD_FAILURE() << "no channel " << channel;
        return c.rows.front();
    }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("CalLog.csv"));
};

const std::vector<double> kOut = {0, -2.5, -5, -7.5, -10};
const std::vector<double> kIn = {0.1, 0, -0.1, 0.2, 0};

TEST_F(CertificateModelTest, EachChannelShowsItsLatestAdjustmentWithTheTestsAroundIt) {
    LogWriter log(path);
    log.job(QStringLiteral("reference/description"), QStringLiteral("Calibrator X"));
    log.job(QStringLiteral("reference/due_date"), QStringLiteral("2027-03-01"));
    // 30: found out, adjusted, left in.
    log.test(QStringLiteral("30"), QStringLiteral("as-found"), kOut, QStringLiteral("fail"));
    log.accept(QStringLiteral("30"));
    log.test(QStringLiteral("30"), QStringLiteral("as-left"), kIn, QStringLiteral("pass"));
    // 31: adjusted, never tested after.
    log.accept(QStringLiteral("31"));
    // 32: first calibration: as-found not applicable, adjusted, left in.
    log.test(QStringLiteral("32"), QStringLiteral("as-found"), {}, QStringLiteral("not applicable"),
             QStringLiteral("new sensor"));
    log.accept(QStringLiteral("32"));
    log.test(QStringLiteral("32"), QStringLiteral("as-left"), kIn, QStringLiteral("pass"));
    // 33: two tries broken off, then found in tolerance and left alone.
    log.test(QStringLiteral("33"), QStringLiteral("as-found"), {0.1, 0.2}, QString());
    log.test(QStringLiteral("33"), QStringLiteral("as-found"), {0.1}, QStringLiteral("incomplete"));
    log.test(QStringLiteral("33"), QStringLiteral("as-found"), kIn, QStringLiteral("pass"));
    // 34: adjusted twice, the as-left after the first adjustment no longer counts.
    log.accept(QStringLiteral("34"));
    log.test(QStringLiteral("34"), QStringLiteral("as-left"), kOut, QStringLiteral("fail"));
    log.accept(QStringLiteral("34"));
    // 35: an as-left that failed.
    log.accept(QStringLiteral("35"));
    log.test(QStringLiteral("35"), QStringLiteral("as-left"), {0, 0.2, 0.9, 0.1, 0},
             QStringLiteral("fail"));

    const auto made = certificate();
    ASSERT_TRUE(made);
    struct Expected {
        const char* channel;
        const char* status;
        const char* asFound; // its verdict, "" for none
        bool adjusted;
        const char* asLeft;
        const char* attempts;
    };
    const Expected table[] = {
        {"30", "pass", "fail", true, "pass", ""},
        {"31", "adjusted, not verified", "", true, "", ""},
        {"32", "pass", "not applicable", true, "pass", ""},
        {"33", "pass as found, not adjusted", "pass", false, "", "26, 28"},
        {"34", "adjusted, not verified", "", true, "", "36, 37"},
        {"35", "fail", "", true, "fail", ""},
        {"36", "not calibrated", "", false, "", ""},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.channel);
        const records::CertificateRow& r = row(*made, e.channel);
        EXPECT_EQ(r.status(), QLatin1String(e.status));
        EXPECT_EQ(r.asFound ? r.asFound->verdict : QString(), QLatin1String(e.asFound));
        EXPECT_EQ(r.accept.has_value(), e.adjusted);
        EXPECT_EQ(r.asLeft ? r.asLeft->verdict : QString(), QLatin1String(e.asLeft));
        EXPECT_EQ(r.earlierAttempts.join(QStringLiteral(", ")), QLatin1String(e.attempts));
    }
    // The points in the order taken, each test its own; the reason of the not applicable.
    const records::CertificateRow& thirty = row(*made, "30");
    ASSERT_EQ(thirty.asFound->points.size(), 5u);
    EXPECT_EQ(thirty.asFound->points[4].errorPercent, QStringLiteral("-10"));
    EXPECT_EQ(thirty.asLeft->points[3].errorPercent, QStringLiteral("0.2"));
    EXPECT_EQ(row(*made, "32").asFound->reason, QStringLiteral("new sensor"));
    // The reference as the job records stood when the test began; TUR from tolerance and U.
    EXPECT_EQ(thirty.asFound->reference.description, QStringLiteral("Calibrator X"));
    EXPECT_EQ(thirty.asFound->reference.serial, QStringLiteral("REF-7"));
    EXPECT_DOUBLE_EQ(thirty.asFound->testUncertaintyRatio().value_or(0), 10.0);
    EXPECT_EQ(made->settings.reference.dueDate, QStringLiteral("2027-03-01"));
    EXPECT_TRUE(made->timeOrderBreaks.empty());
}

TEST_F(CertificateModelTest, ALineDatedBeforeTheOneAboveItIsFlagged) {
    LogWriter log(path);
    log.accept(QStringLiteral("30"));
    log.clockBack(3600);
    log.accept(QStringLiteral("31")); // file line 3, an hour before line 2
    log.accept(QStringLiteral("32"));
    const auto made = certificate();
    ASSERT_TRUE(made);
    ASSERT_EQ(made->timeOrderBreaks.size(), 1u);
    EXPECT_EQ(made->timeOrderBreaks[0].place, QStringLiteral("line 3"));
    EXPECT_EQ(made->timeOrderBreaks[0].time, QStringLiteral("2026-12-09T08:02:00+00:00"));
}

TEST_F(CertificateModelTest, NumberedByTagOrIdentityAndAReissueNamesTheOneItReplaces) {
    LogWriter log(path);
    log.accept(QStringLiteral("30"));
    auto made = certificate();
    ASSERT_TRUE(made);
    const QDate issued(2026, 12, 10);
    EXPECT_EQ(made->number(issued), QStringLiteral("11_03_00_V2.1_10_27_00-20261210-") +
                                        QString::fromLatin1(made->lastChain.left(8)));
    EXPECT_EQ(made->coveredLines, 1);
    EXPECT_TRUE(made->replaces.isEmpty());
    const QString first = made->number(issued);
    log.add(records::certificateIssueEntry(*made, issued, QStringLiteral("pat")));

    // The tag given later names the controller; the issue record is covered, and replaced.
    log.tag = QStringLiteral("PLANT 3/TQ-17");
    log.accept(QStringLiteral("31"));
    made = certificate();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->replaces, first);
    EXPECT_EQ(made->coveredLines, 3);
    EXPECT_TRUE(made->number(issued).startsWith(QStringLiteral("PLANT_3_TQ-17-20261210-")));
    EXPECT_NE(made->number(issued), first);

    // Another controller's lines after them start a certificate of their own.
    log.identity = {QStringLiteral("01/02/99"), QStringLiteral("V1.0"), QStringLiteral("01/05/99")};
    log.tag.clear();
    log.accept(QStringLiteral("30"));
    made = certificate();
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->replaces.isEmpty());
    EXPECT_EQ(made->displayMicroInfo, QStringLiteral("V1.0"));
    EXPECT_EQ(made->firstFileLine, 5);
    EXPECT_FALSE(row(*made, "31").calibrated());
}

} // namespace
