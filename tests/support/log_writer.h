// Calibration logs for tests, written line by line as the workbench writes them: Accepts,
// tests with their points and verdicts, job settings, and a clock set back.
#pragma once

#include "records/calibration_log.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <vector>

namespace testsupport {

// Writes log lines one after the other, each a minute after the one before unless told.
class LogWriter {
  public:
    explicit LogWriter(const QString& path) : m_path(path) {}

    void accept(const QString& channel) {
        records::CalibrationLogEntry entry = base(records::LogRecord::Accept, channel);
        entry.loVolts = QStringLiteral("0.500");
        entry.hiVolts = QStringLiteral("4.500");
        entry.rangeLo = QStringLiteral("+000.0");
        entry.rangeHi = QStringLiteral("+100.0");
        entry.loCount = QStringLiteral("0409");
        entry.hiCount = QStringLiteral("3686");
        entry.controllerWrite = records::kWriteOk;
        entry.reportFile = QStringLiteral("stored");
        add(entry);
    }
    // A test of `phase` over the points given as their error in % of span; `verdict` empty
    // leaves the test without its verdict line (ended half-way).
    void test(const QString& channel, const QString& phase, const std::vector<double>& errors,
              const QString& verdict, const QString& reason = QString()) {
        const QString started = records::logTimeText(m_time.addSecs(60));
        const double places[] = {0, 25, 50, 75, 100, 75, 50, 25, 0};
        for (size_t i = 0; i < errors.size(); ++i) {
            records::CalibrationLogEntry entry =
                testLine(records::LogRecord::Point, channel, phase, started);
            entry.test.point = QString::number(places[i]);
            // 0.5 to 4.5 V for 0 to 100 PSIG; the reading off by the error.
            entry.test.nominal = QString::number(0.5 + 0.04 * places[i]);
            entry.test.applied = entry.test.nominal;
            entry.test.expected = QString::number(places[i]);
            entry.test.reading = QString::number(places[i] + errors[i]);
            entry.test.error = QString::number(errors[i]);
            entry.test.errorPercent = QString::number(errors[i]);
            entry.test.uncertaintyPercent = QStringLiteral("0.05");
            entry.test.verdict =
                qAbs(errors[i]) <= 0.5 ? QStringLiteral("pass") : QStringLiteral("fail");
            add(entry);
        }
        if (verdict.isEmpty())
            return;
        records::CalibrationLogEntry entry =
            testLine(records::LogRecord::Verdict, channel, phase, started);
        entry.test.verdict = verdict;
        entry.test.reason = reason;
        entry.test.decisionRule = QStringLiteral("simple acceptance: TUR 10 >= 4, pass when |e| "
                                                 "<= 0.5 % of span");
        add(entry);
    }
    void job(const QString& key, const QString& value) {
        records::CalibrationLogEntry entry = base(records::LogRecord::Job, QString());
        entry.setting = key;
        entry.valueAfter = value;
        add(entry);
    }
    void clockBack(int seconds) { m_time = m_time.addSecs(-seconds); }
    void add(records::CalibrationLogEntry entry) {
        m_time = m_time.addSecs(60);
        entry.time = m_time;
        ASSERT_EQ(records::appendCalibrationLogAt(m_path, entry, records::LogFailureBox::Silent),
                  records::LogOutcome::InLog);
    }
    QStringList identity = {QStringLiteral("11/03/00"), QStringLiteral("V2.1"),
                            QStringLiteral("10/27/00")};
    QString tag;

  private:
    records::CalibrationLogEntry base(records::LogRecord record, const QString& channel) const {
        records::CalibrationLogEntry entry;
        entry.record = record;
        entry.user = QStringLiteral("pat");
        entry.port = 1;
        entry.displayMicroDate = identity[0];
        entry.displayMicroInfo = identity[1];
        entry.terminalMicroDate = identity[2];
        entry.controllerTag = tag;
        entry.channel = channel;
        entry.sensorType = QStringLiteral("0 - 100");
        entry.unit = QStringLiteral("PSIG");
        return entry;
    }
    records::CalibrationLogEntry testLine(records::LogRecord record, const QString& channel,
                                          const QString& phase, const QString& started) const {
        records::CalibrationLogEntry entry = base(record, channel);
        entry.test.started = started;
        entry.test.phase = phase;
        entry.test.mode = QStringLiteral("V");
        entry.test.tolerancePercent = QStringLiteral("0.5");
        entry.test.referenceSerial = QStringLiteral("REF-7");
        entry.test.referenceCertificate = QStringLiteral("LAB-2026-118");
        entry.test.referenceUncertainty = QStringLiteral("0.002 V");
        return entry;
    }
    QString m_path;
    QDateTime m_time{QDate(2026, 12, 9), QTime(9, 0), QTimeZone::utc()};
};

} // namespace testsupport
