// The calibration certificate: what the calibration log holds about one controller (its tests
// before and after adjustment, the adjustments, the job and the reference they were made with),
// laid out as an A4 PDF a customer or an assessor can file.
#pragma once

#include "records/calibration_log.h"
#include "records/calibration_log_reader.h"
#include "records/job.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace records {

// One recorded point of a test, its texts as the log holds them.
struct CertificatePoint {
    QString percent; // where on the span, % of span
    QString nominal;
    QString applied;
    QString expected;
    QString reading;
    QString error;
    QString errorPercent;
    QString uncertainty;
    QString uncertaintyPercent;
    QString verdict; // "pass", "fail", "unstable"
    // Taken on the way back down the span (a lower place than the point before it).
    bool descending = false;
};

// One test of a channel in one phase: its point lines and its verdict line, which share the
// time the test started.
struct CertificateTest {
    QString phase;   // "as-found" or "as-left"
    QString started; // as the log writes times
    QString mode;    // "V" or "EU"
    QString tolerancePercent;
    QString decisionRule; // the strictest rule a point was judged by, printed
    // "pass", "fail", "incomplete", "not applicable"; "incomplete" too when the test has no
    // verdict line (the program ended half-way).
    QString verdict;
    QString reason; // why the phase was chosen, or why as-found is not applicable
    QString technician;
    std::vector<CertificatePoint> points;
    // The reference the points were taken with, as the job settings stood when the test
    // began; serial, certificate and uncertainty as the point lines name them.
    ReferenceInstrument reference;
    QString referenceUncertainty; // with its unit, as logged
    // Where its lines stand, and whether every one of them is chained.
    int firstFileLine = 0;
    int lastFileLine = 0;
    bool pending = false;
    bool chained = true;

    // The largest expanded uncertainty of its points, % of span; nothing without points.
    std::optional<double> largestUncertaintyPercent() const;
    // The test uncertainty ratio, tolerance / U: nothing without a tolerance or U.
    std::optional<double> testUncertaintyRatio() const;
};

// One channel's part of the certificate: the latest adjustment with the tests around it.
struct CertificateRow {
    QString channel;
    // As the channel's last line names them.
    QString sensorType;
    QString unit;
    // The as-found test: the latest before the adjustment shown (or the latest, when the
    // channel was not adjusted); marked "not applicable" for an initial calibration.
    std::optional<CertificateTest> asFound;
    // The log's line of the channel's latest Accept, as read back. None when the channel was
    // not adjusted.
    std::optional<LogLine> accept;
    // The latest as-left test after that Accept (or the latest, when there was none).
    std::optional<CertificateTest> asLeft;
    // Where the channel's other tests and Accepts stand: the earlier attempts, by their first
    // file line (a pending line's number marked "pending n").
    QStringList earlierAttempts;

    // Whether any line of this controller names the channel.
    bool calibrated() const { return asFound || accept || asLeft; }
    // False when a line shown for the channel does not follow in the chain.
    bool chained() const;
    // What became of the channel: "not calibrated", "adjusted, not verified", "pass", "fail"
    // (as left, or as found when not adjusted), "incomplete"...
    QString status() const;
};

// A line dated earlier than the one before it, as a person finds it: "line 17" of the log or
// "line 2 of the pending file".
struct TimeOrderBreak {
    QString place;
    QString time;
    QString previousTime;
};

struct Certificate {
    // The controller's identity, as the log's last line names it, and its tag or serial number
    // (the latest given on its lines; empty when none was).
    QString displayMicroDate;
    QString displayMicroInfo;
    QString terminalMicroDate;
    QString controllerTag;
    // Every port and device, and every technician, in the order they first appear.
    QStringList ports;
    QStringList devices;
    QStringList technicians;
    // Dates of the first and the last line it is made from (yyyy-MM-dd).
    QString firstDate;
    QString lastDate;
    // The fourteen channels in list order, and the log's column titles their cells are read by.
    std::vector<CertificateRow> rows;
    QStringList columns;
    // The job and reference settings as the log's job records leave them at its end.
    JobSettings settings;
    // The log and the lines of it the certificate is made from (0 when none of them is).
    QString logPath;
    int firstFileLine = 0;
    int lastFileLine = 0;
    // The pending file and the lines of it the certificate is made from: lines that wait
    // there to join the log (0 when none does).
    QString pendingPath;
    int firstPendingLine = 0;
    int lastPendingLine = 0;
    // The lines, of the whole log and of the pending file, whose chain does not follow (both
    // empty: the chain is intact), and the chain value of the last line.
    std::vector<int> brokenFileLines;
    std::vector<int> brokenPendingLines;
    QByteArray lastChain;
    // How many lines of the log (after its header; the pending file's after the log's) the
    // certificate covers: all of them, the last one's chain value being lastChain.
    int coveredLines = 0;
    // Lines dated earlier than the line before them (a clock set back).
    std::vector<TimeOrderBreak> timeOrderBreaks;
    // The number of the latest certificate issued for this controller from the log, which this
    // one replaces; empty when none was.
    QString replaces;

    // "<tag or identity>-<yyyymmdd>-<first 8 hex of the last chain value>", issued on `issued`.
    QString number(const QDate& issued) const;
    // The controller as the certificate names it: its tag with its identity, or the identity.
    QString controllerText() const;
};

// The certificate of the controller named by the last line that names one (the pending file's
// lines coming after the log's), made from the run of lines at the end that name the same
// controller; none, with why, when the log cannot be used or holds no Accept and no test.
std::optional<Certificate> certificateFromLog(const CalibrationLogReading& log,
                                              const QString& logPath, QString& error);

// The break as a person reads it: "line 7" or "lines 7, 12"; empty for an intact chain.
QString brokenLinesText(const std::vector<int>& fileLines);

// The break in the log and in its pending file: "line 7 of the log", "line 2 of the pending
// file", or both joined by "and"; empty for an intact chain.
QString brokenPlacesText(const std::vector<int>& fileLines, const std::vector<int>& pendingLines);

// Writes the certificate as an A4 PDF at `pdfPath`, whole or not at all, numbered as issued on
// `issued`; `tool` is the tool's name and version as the certificate names them. False, with
// why, when it cannot be written.
bool writeCertificatePdf(const Certificate& certificate, const QString& pdfPath,
                         const QString& tool, const QDate& issued, QString& error);

// The log line that records the certificate's issue: its number, the lines it covers and their
// last chain value, the certificate it replaces, for its controller.
CalibrationLogEntry certificateIssueEntry(const Certificate& certificate, const QDate& issued,
                                          const QString& user);

} // namespace records
