// The calibration log "CalLog.csv": one line for every Accept, beside the report file, in
// comma-separated values. Lines are only ever added; the file is never rewritten.
#pragma once

#include "workbench/report_file.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <optional>

class frmCalibrateSensor;
struct AcceptSnapshot;

namespace workbench {

// Name of the log in the report file's directory.
inline constexpr char kCalibrationLogFileName[] = "CalLog.csv";

// The write's outcome when all three commands went through.
inline const QString kWriteOk = QStringLiteral("ok");

// What the log keeps of one Accept.
struct CalibrationLogEntry {
    QDateTime time;
    QString user;
    int port = 0;
    QString device;
    QString displayMicroDate;
    QString displayMicroInfo;
    QString terminalMicroDate;
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
    QString reportFile = QStringLiteral("not stored");
};

// The first line of the log: the column titles, ending in CR LF.
QByteArray calibrationLogHeader();

// The entry of an Accept as it starts: the time, the signed-in user, the port and its device,
// the controller's identity, and from the snapshot the channel, its four setpoint texts and
// the two counts the calibration command carries; the sensor type and unit as the workbench
// shows them for that channel.
CalibrationLogEntry calibrationLogEntry(const frmCalibrateSensor& form,
                                        const AcceptSnapshot& accepted);

// What the log says of a controller whose identity is unconfirmed, in each identity field.
inline const QString kIdentityUnconfirmed = QStringLiteral("unconfirmed");

// Puts the controller's identity into the entry: the identity fields as read, or
// kIdentityUnconfirmed in all three while the controller now answering has not said who it is.
void noteControllerIdentity(CalibrationLogEntry& entry);

// The write's outcome for a failed write: "status 3: RS-232 Retry Error", and why after a
// colon when a reason is given.
QString writeFailureText(qint16 status, const QString& errorText,
                         const QString& reason = QString());

// The report file's outcome: "stored", or "not stored: " and why.
QString reportOutcomeText(const RecordResult& result);

// One field in comma-separated values: a text holding a comma, a quote or a line break is put
// in quotes, each quote inside doubled.
QString csvField(const QString& text);

// The whole line of an entry, ending in CR LF, in UTF-8.
QByteArray calibrationLogLine(const CalibrationLogEntry& entry);

// Full name of the log: the report file's directory followed by "/CalLog.csv".
QString calibrationLogPath();

// Adds the entry's line to the log, making the log with its header line when there is none.
// When the line cannot be added the operator is told in one box, and the Accept goes on.
// True when the line is in the log and written through to the disk.
bool appendCalibrationLog(const CalibrationLogEntry& entry);

// Catches what became of the report file's record while it lives: the record update hands its
// outcome to the innermost capture. An Accept opens one around its record update, so that the
// update keeps its boxes, its result and its callers as they are.
class ReportOutcomeCapture {
  public:
    ReportOutcomeCapture();
    ~ReportOutcomeCapture();
    ReportOutcomeCapture(const ReportOutcomeCapture&) = delete;
    ReportOutcomeCapture& operator=(const ReportOutcomeCapture&) = delete;

    // "stored" only when the record update said so; "not stored" when none reported.
    QString text() const;

  private:
    friend void noteReportOutcome(const RecordResult& result);
    std::optional<RecordResult> m_result;
    ReportOutcomeCapture* m_outer = nullptr;
};

// Called by the record update with its final outcome; nothing happens without a capture.
void noteReportOutcome(const RecordResult& result);

} // namespace workbench
