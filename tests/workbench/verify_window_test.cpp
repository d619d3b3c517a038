// The Verify window driven by keys as a technician drives it, against a channel whose reading
// follows a characteristic the test sets, with a clock of the test's own.
#include "fakes.h"
#include "form_controls.h"
#include "workbench/verify_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

using records::CalibrationLogEntry;
using records::LogOutcome;
using records::LogRecord;
using testsupport::control;
using workbench::VerifyWindow;

namespace {

// A channel whose controller reads `lowRange + (volts - 0.5) * (highRange - lowRange) / 4` at
// the volts the reference applies, shown with one decimal as the controller shows PSIG.
struct FakeChannel final : workbench::VerifyServices {
    double lowRange = 0;
    double highRange = 100;
    double volts = 0.5;
    // Readings to give before the characteristic's, and what the log does with lines.
    std::deque<std::optional<QString>> scripted;
    records::LogOutcome outcome = records::LogOutcome::InLog;
    std::vector<records::CalibrationLogEntry> lines;
    qint64 nowMs = 0;

    std::optional<QString> takeLiveReading() override {
        nowMs += 1000; // a reading a second, as the live readout takes them
        if (!scripted.empty()) {
            std::optional<QString> next = scripted.front();
            scripted.pop_front();
            return next;
        }
        const double value = lowRange + (volts - 0.5) * (highRange - lowRange) / 4.0;
        return QString::asprintf("%6.1f PSIG", value);
    }
    records::LogOutcome record(records::CalibrationLogEntry entry) override {
        if (outcome != records::LogOutcome::NotRecorded)
            lines.push_back(entry);
        return outcome;
    }
    std::vector<records::CalibrationLogEntry> linesOf(records::LogRecord record) const {
        std::vector<records::CalibrationLogEntry> found;
        for (const records::CalibrationLogEntry& line : lines)
            if (line.record == record)
                found.push_back(line);
        return found;
    }
};

const workbench::VerifyChannel kChannel30{QStringLiteral("30"),    QStringLiteral("0 - 100"),
                                          QStringLiteral("PSIG"),  QStringLiteral("0.500"),
                                          QStringLiteral("4.500"), QStringLiteral("+000.0"),
                                          QStringLiteral("+100.0")};
const workbench::TestReference kReference{QStringLiteral("RX-1"), QStringLiteral("C-77"), 0.002};

class VerifyWindowTest : public ::testing::Test {
  protected:
    std::unique_ptr<VerifyWindow> open(const workbench::VerifyChannel& channel = kChannel30) {
        workbench::VerifyTiming timing;
        timing.readingIntervalMs = 1;
        timing.clockMs = [this] { return fake.nowMs; };
        auto window = std::make_unique<VerifyWindow>(channel, kReference, session, fake, timing);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }
    QLineEdit* applied(VerifyWindow& window, int index) {
        return control<QLineEdit>(window, qPrintable(QStringLiteral("txtApplied%1").arg(index)));
    }
    // Applies the point's nominal volts (plus `offset`), types what the reference shows and
    // presses Enter; true once the point is recorded.
    bool recordPoint(VerifyWindow& window, int index, double offset = 0) {
        QLineEdit* field = applied(window, index);
        if (field == nullptr)
            return false;
        fake.volts = field->text().toDouble() + offset;
        const size_t before = window.recorded().size();
        QTest::keyClick(field, Qt::Key_Return);
        return QTest::qWaitFor([&] { return window.recorded().size() > before; }, 5000);
    }
    void recordAll(VerifyWindow& window, int points = 5) {
        for (int i = 0; i < points; ++i)
            ASSERT_TRUE(recordPoint(window, i)) << "point " << i;
    }

    testsupport::BoxAnswerer boxes;
    FakeChannel fake;
    workbench::VerificationSession session;
};

TEST_F(VerifyWindowTest, WrongHighRangeFailsAsFoundAtMinusTenPercentAndRecordsEveryPoint) {
    fake.highRange = 90; // the controller holds 0 - 90 where the channel should read 0 - 100
    auto window = open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Verify Channel 30"));
    EXPECT_EQ(window->phase(), VerifyWindow::Phase::AsFound);
    EXPECT_EQ(QApplication::focusWidget(), applied(*window, 0));
    recordAll(*window);

    EXPECT_EQ(window->verdict(), records::PhaseVerdict::Fail);
    EXPECT_EQ(control<QLabel>(*window, "lblVerdict")->text(),
              QStringLiteral("As-Found: FAIL (4 of 5 points)"));
    const auto points = fake.linesOf(records::LogRecord::Point);
    ASSERT_EQ(points.size(), 5u);
    const char* errors[] = {"0", "-2.5", "-5", "-7.5", "-10"};
    for (size_t i = 0; i < points.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(points[i].test.phase, QStringLiteral("as-found"));
        EXPECT_EQ(points[i].test.mode, QStringLiteral("V"));
        EXPECT_EQ(points[i].test.errorPercent, QLatin1String(errors[i]));
        EXPECT_EQ(points[i].test.verdict, QLatin1String(i == 0 ? "pass" : "fail"));
        EXPECT_EQ(points[i].test.started, points[0].test.started);
        EXPECT_EQ(points[i].test.referenceCertificate, QStringLiteral("C-77"));
        EXPECT_EQ(points[i].rangeHi, QStringLiteral("+100.0")); // the characteristic judged by
        EXPECT_EQ(points[i].test.readings.split(QLatin1Char(' ')).size(), 3);
    }
    const auto verdicts = fake.linesOf(records::LogRecord::Verdict);
    ASSERT_EQ(verdicts.size(), 1u);
    EXPECT_EQ(verdicts[0].test.verdict, QStringLiteral("fail"));
    EXPECT_TRUE(fake.lines.back().record == records::LogRecord::Verdict);
    // The test froze the channel's characteristic for its as-left test.
    ASSERT_TRUE(session.frozen(QStringLiteral("30")).has_value());
    EXPECT_EQ(session.frozen(QStringLiteral("30"))->rangeHi, QStringLiteral("+100.0"));
}

TEST_F(VerifyWindowTest, AsLeftAfterATrimIsJudgedAgainstTheFrozenCharacteristic) {
    workbench::FrozenCharacteristic frozen{QStringLiteral("0.500"), QStringLiteral("4.500"),
                                           QStringLiteral("+000.0"), QStringLiteral("+100.0"),
                                           QDateTime::currentDateTime()};
    session.freeze(QStringLiteral("30"), frozen);
    session.noteAccept(QStringLiteral("30"), QDateTime::currentDateTime());
    // The trim wrote 0.520 V for the low end; the fields show it, the test ignores it.
    workbench::VerifyChannel trimmed = kChannel30;
    trimmed.loVolts = QStringLiteral("0.520");
    auto window = open(trimmed);
    EXPECT_EQ(window->phase(), VerifyWindow::Phase::AsLeft);
    EXPECT_TRUE(control<QLabel>(*window, "lblCharacteristic")
                    ->text()
                    .contains(QStringLiteral("frozen at the as-found test")));
    recordAll(*window);
    EXPECT_EQ(window->verdict(), records::PhaseVerdict::Pass);
    const auto points = fake.linesOf(records::LogRecord::Point);
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[0].loVolts, QStringLiteral("0.500"));
    EXPECT_EQ(points[0].test.phase, QStringLiteral("as-left"));
    EXPECT_EQ(points[0].test.expected, QStringLiteral("0"));
}

TEST_F(VerifyWindowTest, RefusedEntriesRecordNothingAndKeepThePoint) {
    struct Case {
        const char* typed;
        const char* tolerance;
        const char* boxStart;
    };
    const Case cases[] = {
        {"0.55", "0.5",
         "The applied value must lie within 1 % of span of the nominal 0.5 V: from 0.46 to 0.54 "
         "V."},
        {"0.5x", "0.5", "The applied value \"0.5x\" is not a number."},
        {"0.5", "0", "The tolerance \"0\" is not a number above 0"},
        {"0.5", "-1", "The tolerance \"-1\" is not a number above 0"},
        {"0.5", "abc", "The tolerance \"abc\" is not a number above 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        SCOPED_TRACE(c.tolerance);
        boxes.shown.clear();
        auto window = open();
        control<QLineEdit>(*window, "txtTolerance")->setText(QLatin1String(c.tolerance));
        applied(*window, 0)->setText(QLatin1String(c.typed));
        QTest::keyClick(applied(*window, 0), Qt::Key_Return);
        QTest::qWait(20); // readings go on; none may record the point
        ASSERT_FALSE(boxes.shown.empty());
        EXPECT_TRUE(boxes.shown.front().text.startsWith(QLatin1String(c.boxStart)))
            << qPrintable(boxes.shown.front().text);
        EXPECT_TRUE(window->recorded().empty());
        EXPECT_TRUE(fake.lines.empty());
        window->close();
    }
}

TEST_F(VerifyWindowTest, AReadingThatNeverSettlesMayBeRecordedUnstableAndFails) {
    auto window = open();
    // 10.0 and 10.5 alternate: never three within one step (0.1) of each other.
    for (int i = 0; i < 80; ++i)
        fake.scripted.push_back(QStringLiteral("%1 PSIG").arg(i % 2 ? "10.5" : "10.0"));
    boxes.answers = {platform::vbNo, platform::vbYes}; // wait once more, then record it
    QTest::keyClick(applied(*window, 0), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->recorded().empty(); }, 5000));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(
        boxes.shown[0].text.startsWith(QStringLiteral("No stable reading came within 30 s")));
    EXPECT_EQ(window->recorded()[0].verdict, records::Verdict::Unstable);
    ASSERT_EQ(fake.lines.size(), 1u);
    EXPECT_EQ(fake.lines[0].test.verdict, QStringLiteral("unstable"));
}

TEST_F(VerifyWindowTest, ALostLineOrALostLogRecordsNoPointAndTheTestGoesOn) {
    auto window = open();
    fake.scripted = {QStringLiteral("   0.0 PSIG"), std::nullopt};
    QTest::keyClick(applied(*window, 0), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown.empty(); }, 5000));
    EXPECT_TRUE(boxes.shown[0].text.startsWith(
        QStringLiteral("The controller did not answer: the point at 0 % of span is not recorded")));
    EXPECT_TRUE(window->recorded().empty());

    // The log cannot take the point: it is not counted either.
    fake.outcome = records::LogOutcome::NotRecorded;
    boxes.shown.clear();
    QTest::keyClick(applied(*window, 0), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown.empty(); }, 5000));
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("The point at 0 % of span is not "
                                                              "recorded: the calibration log")));
    EXPECT_TRUE(window->recorded().empty());
    EXPECT_FALSE(session.frozen(QStringLiteral("30")).has_value());

    // Once the log takes lines again, the point is recorded.
    fake.outcome = records::LogOutcome::InLog;
    ASSERT_TRUE(recordPoint(*window, 0));
    EXPECT_EQ(window->verdict(), records::PhaseVerdict::Incomplete);
}

TEST_F(VerifyWindowTest, ClosingHalfWayKeepsThePointsAndRecordsTheTestIncomplete) {
    auto window = open();
    ASSERT_TRUE(recordPoint(*window, 0));
    ASSERT_TRUE(recordPoint(*window, 1));
    QTest::keyClick(applied(*window, 2), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 5000));
    ASSERT_EQ(fake.lines.size(), 3u);
    EXPECT_EQ(fake.lines[2].record, records::LogRecord::Verdict);
    EXPECT_EQ(fake.lines[2].test.verdict, QStringLiteral("incomplete"));
    EXPECT_EQ(fake.lines[2].test.point, QStringLiteral("2 points"));
}

TEST_F(VerifyWindowTest, PhasesThatNeedAReasonAskForIt) {
    session.noteAccept(QStringLiteral("30"), QDateTime::currentDateTime());
    auto window = open();
    auto* phase = control<QComboBox>(*window, "cboPhase");
    auto* reason = control<QLineEdit>(*window, "txtReason");
    EXPECT_FALSE(reason->isEnabled()); // As-Left after an Accept needs none

    // As-Found again, after the Accept: the reason first.
    phase->setCurrentIndex(int(VerifyWindow::Phase::AsFound));
    EXPECT_TRUE(reason->isEnabled());
    QTest::keyClick(applied(*window, 0), Qt::Key_Return);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Give the reason for this phase first."));
    reason->setText(QStringLiteral("customer asked for the found values"));
    ASSERT_TRUE(recordPoint(*window, 0));
    EXPECT_EQ(fake.lines[0].test.reason, QStringLiteral("customer asked for the found values"));
    EXPECT_FALSE(phase->isEnabled()); // the setup is frozen with the first point
    window->close();

    // An initial calibration: as-found not applicable, with its reason, and no point.
    fake.lines.clear();
    boxes.shown.clear();
    auto initial = open();
    control<QComboBox>(*initial, "cboPhase")
        ->setCurrentIndex(int(VerifyWindow::Phase::InitialNotApplicable));
    auto* record = control<QPushButton>(*initial, "cmdRecordNotApplicable");
    record->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(fake.lines.empty());
    control<QLineEdit>(*initial, "txtReason")->setText(QStringLiteral("new controller"));
    QTest::keyClick(control<QLineEdit>(*initial, "txtReason"), Qt::Key_Return);
    ASSERT_EQ(fake.lines.size(), 1u);
    EXPECT_EQ(fake.lines[0].record, records::LogRecord::Verdict);
    EXPECT_EQ(fake.lines[0].test.phase, QStringLiteral("as-found"));
    EXPECT_EQ(fake.lines[0].test.verdict, QStringLiteral("not applicable"));
    EXPECT_EQ(fake.lines[0].test.reason, QStringLiteral("new controller"));
    EXPECT_FALSE(session.frozen(QStringLiteral("30")).has_value());
}

TEST_F(VerifyWindowTest, UpAndDownAddsTheWayDownAndEveryControlIsNamed) {
    auto window = open();
    control<QCheckBox>(*window, "chkUpAndDown")->setChecked(true);
    EXPECT_NE(window->findChild<QLineEdit*>(QStringLiteral("txtApplied8")), nullptr);
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("txtApplied9")), nullptr);
    EXPECT_EQ(applied(*window, 5)->text(), QStringLiteral("3.5"));
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus || qobject_cast<QLabel*>(widget))
            continue;
        SCOPED_TRACE(qPrintable(widget->objectName()));
        EXPECT_FALSE(widget->objectName().isEmpty());
        EXPECT_FALSE(widget->accessibleName().isEmpty());
    }
}

} // namespace
