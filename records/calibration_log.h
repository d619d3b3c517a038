// The calibration log "CalLog.csv": one line for every Accept, every change of the job and
// reference details, every recorded test point, every test's verdict and every certificate issued,
// beside the report file, in comma-separated values; the column "record" names what a line records.
// Lines are only ever added; the file is never rewritten. Each line ends in a chain value that ties
// it to the line before it, so that a line changed afterwards shows. While the log cannot be
// written (a spreadsheet holding it open), the lines wait in its pending file "CalLog-pending.csv",
// the chain going on over them, and join the log, in order and byte for byte, once it can be
// written again.
#pragma once

#include "records/report_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <vector>

namespace records {

// Name of the log in the report file's directory.
inline constexpr char kCalibrationLogFileName[] = "CalLog.csv";

// The write's outcome when all three commands went through.
inline const QString kWriteOk = QStringLiteral("ok");

// What a line of the log records, and the name its "record" column gives it.
enum class LogRecord {
    Accept,      // "accept": setpoints written to the controller
    Job,         // "job": one job, reference or controller-tag setting changed
    Point,       // "point": one test point recorded
    Verdict,     // "verdict": the verdict of a test (or its as-found marked not applicable)
    Certificate, // "certificate": a certificate issued from the log
};
QString logRecordName(LogRecord record);

// What the log keeps of a point or a verdict of a test, as text. A test is one run of the
// Verify window over a channel's points in one phase; its lines share `started`.
struct TestLogFields {
    QString started; // when the test began, as the log writes times
    QString phase;   // "as-found" or "as-left"
    QString mode;    // "V" or "EU"
    QString point;   // % of span
    QString nominal;
    QString applied;
    QString expected;
    QString reading;  // the mean of the readings
    QString readings; // each reading, separated by blanks
    QString error;
    QString errorPercent;
    QString uncertainty;
    QString uncertaintyPercent;
    QString tolerancePercent;
    QString decisionRule; // the rule's printed form
    QString verdict;
    QString reason; // why the phase was chosen, or why as-found is not applicable
    // The reference that applied the value.
    QString referenceSerial;
    QString referenceCertificate;
    QString referenceUncertainty; // expanded (k = 2), with its unit
};

// What the log keeps of one line. The identity, the channel and (for tests, the frozen
// characteristic) the sensor type, unit and four setpoint texts are common; the rest belongs
// to the record's own kind and stays empty on the others.
struct CalibrationLogEntry {
    LogRecord record = LogRecord::Accept;
    QDateTime time;
    QString user;
    int port = 0;
    QString device;
    QString displayMicroDate;
    QString displayMicroInfo;
    QString terminalMicroDate;
    // The controller's tag or serial number, as given for its identity; empty until given.
    QString controllerTag;
    QString channel;
    QString sensorType;
    QString unit;
    QString loVolts;
    QString hiVolts;
    QString rangeLo;
    QString rangeHi;
    QString loCount;
    QString hiCount;
    // kWriteOk, or the status and error text of the first of the three writes that failed.
    QString controllerWrite;
    // "stored", or why the record is not in the report file.
    QString reportFile;
    // The Current Data text on display when the Accept began, and the reading taken after
    // T OFF, both as the workbench showed them.
    QString readingBefore;
    QString readingAfter;
    // The controller's replies to T ON, TC and T OFF as received (writeRepliesText).
    QString writeReplies;
    // Point and verdict records.
    TestLogFields test;
    // Job records: the setting (as "section/key"), its value before and after.
    QString setting;
    QString valueBefore;
    QString valueAfter;
    // Certificate records: the certificate's number, how many lines of the log it covers (the
    // lines after the header, the pending file's counted after the log's) and the chain value
    // of the last of them, and the number of the certificate of the same controller it
    // replaces (empty for the first).
    QString certificateNumber;
    QString coveredLines;
    QString coveredChain;
    QString replaces;
};

// A time as the log writes it: local time in ISO 8601 with its offset from UTC, to the
// second, 2024-03-05T14:07:09+01:00. The offset is written out even at UTC, so every line
// reads the same way.
QString logTimeText(const QDateTime& time);

// The first line of the log: the column titles, ending in CR LF.
QByteArray calibrationLogHeader();

// What the log says of a controller whose identity is unconfirmed, in each identity field.
inline const QString kIdentityUnconfirmed = QStringLiteral("unconfirmed");

// The write's outcome for a failed write: "status 4: RS-232 Retry Error", and why after a
// colon when a reason is given.
QString writeFailureText(qint16 status, const QString& errorText,
                         const QString& reason = QString());

// The report file's outcome: "stored", or "not stored: " and why.
QString reportOutcomeText(const RecordResult& result);

// The controller's raw replies to the write commands, in the order sent, as one text: each
// reply's printable ASCII as it is, a carriage return as \r, a line feed as \n, a backslash as
// \\ and every other byte (the separator "|" included) as \xHH; the replies separated by "|".
// Nothing in them is interpreted.
QString writeRepliesText(const std::vector<QByteArray>& replies);

// A free-text cell made safe from being taken as a formula by a spreadsheet: a text beginning
// with "=", "+", "-", "@", a tab, a carriage return or an apostrophe gets an apostrophe in
// front. The apostrophe is what a spreadsheet hides, so the cell still shows the text itself.
QString formulaSafe(const QString& text);
// The text of a free-text cell as read back: one leading apostrophe taken off.
QString formulaSafeText(const QString& cell);

// One field in comma-separated values: a text holding a comma, a quote or a line break is put
// in quotes, each quote inside doubled.
QString csvField(const QString& text);

// The chain value of the line before the first: the SHA-256 of the header line (without its
// line end), in lower-case hexadecimal.
QByteArray headerChain();
// The chain value of a line: the SHA-256, in lower-case hexadecimal, of the previous line's
// chain value followed by this line's other fields as written (the line up to the comma before
// its chain value).
QByteArray chainValue(const QByteArray& previousChain, const QByteArray& fieldsAsWritten);

// The whole line of an entry, its chain value last, ending in CR LF, in UTF-8.
QByteArray calibrationLogLine(const CalibrationLogEntry& entry, const QByteArray& previousChain);

// Full name of the log: the report file's directory followed by "/CalLog.csv".
QString calibrationLogPath();

// Full name of the pending file of the log at `logPath`: beside it, its name with "-pending"
// (CalLog-pending.csv). It begins with the log's header line, and its lines are the log's
// next lines, chained on from the log's last line.
QString pendingLogPath(const QString& logPath);

// How the pending lines (the pending file after its header line) join a log.
struct PendingJoin {
    // A line end, for a log whose last line lacks its own; empty otherwise.
    QByteArray lineEnd;
    // How many bytes of the pending lines the log already ends with, or holds whole, from a
    // move that added them but did not get to remove the pending file.
    qsizetype held = 0;
    // The log holds the first pending line followed by other lines than the pending ones:
    // adding the pending lines would repeat lines, and leaving them out could lose some.
    bool conflict = false;
};
// Where the pending lines join the log whose bytes are `log`. The first pending line is
// looked for as a whole line: its chain value makes it like no other line.
PendingJoin joinPendingLines(const QByteArray& log, const QByteArray& pendingLines);

// Moves the lines of the pending file beside the log at `logPath` into the log: the lines
// the log does not hold yet are added in one request and written through to the disk, and
// only then is the pending file removed. True when no line is left waiting (none was, or the
// log now holds them all); false, with why in `reason`, when the lines stay where they are.
bool movePendingLines(const QString& logPath, QString* reason = nullptr);

// What the boxes about a line the log cannot take call it: "Accept", "test point"...
QString logRecordDescription(LogRecord record);

// Whether a log that cannot take a line says so in a box.
enum class LogFailureBox { Shown, Silent };

// Where an Accept's line went.
enum class LogOutcome {
    InLog,       // added to the log and written through to the disk
    Pending,     // the log could not take it: kept in the pending file, after its lines
    NotRecorded, // neither the log nor the pending file could take it
};

// What one workbench session keeps of the log from one Accept to the next.
struct CalibrationLogSession {
    // The chain value of the last line the session added, to the log or the pending file:
    // what the first pending line follows when the log can be neither written nor read.
    QByteArray lastChain;
    // The boxes shown in the session; each is shown once.
    bool pendingTold = false;
    bool notRecordedTold = false;
};

// Adds the entry's line to the log, chained to the last line there, making the log with its
// header line when there is none; lines waiting in the pending file are moved in first. A log
// that begins with another header (one of an older layout) is first renamed aside to
// "CalLog-until-<date>.csv" and a new log begun. A line the log cannot take (or that would
// come before lines still pending) is kept in the pending file; when that cannot take it
// either, it is not recorded. Either way the operator is told in one box (unless `box` is
// Silent, or the `session` has shown that box already), and the Accept goes on.
LogOutcome appendCalibrationLog(const CalibrationLogEntry& entry,
                                LogFailureBox box = LogFailureBox::Shown,
                                CalibrationLogSession* session = nullptr);
// The same for the log at `path` (a log named on the command line).
LogOutcome appendCalibrationLogAt(const QString& path, const CalibrationLogEntry& entry,
                                  LogFailureBox box = LogFailureBox::Shown,
                                  CalibrationLogSession* session = nullptr);

} // namespace records
