// The calibration log: every Accept adds one line saying who calibrated which channel of which
// controller, on which port, with which setpoints, and what became of the write and the record.
#include "workbench/calibration_log.h"

#include "app/module1.h"
#include "link/identity_block.h"
#include "link/protocol.h"
#include "platform/file_append.h"
#include "platform/message_box.h"
#include "platform/pdq.h"
#include "platform/port_info.h"
#include "platform/signed_in_user.h"
#include "workbench/channel_table.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QStringList>

#include <iterator>

namespace workbench {

namespace {

const char* const kColumns[] = {
    "date_time",
    "user",
    "port",
    "device",
    "display_micro_date",
    "display_micro_info",
    "terminal_micro_date",
    "channel",
    "sensor_type",
    "unit",
    "low_volts",
    "high_volts",
    "low_range",
    "high_range",
    "low_count",
    "high_count",
    "controller_write",
    "report_file",
};

constexpr char kLineEnd[] = "\r\n";

// %1 the log's full name, %2 the channel, %3 the operating system's reason.
const QString kCannotLogText =
    QStringLiteral("Error!  Cannot add the Accept of channel %2 to the calibration log %1.\r\n"
                   "Reason: %3\r\nThe calibration goes on; only the log lacks this Accept.");

ReportOutcomeCapture*& innermostCapture() {
    static ReportOutcomeCapture* capture = nullptr;
    return capture;
}

// Local time in ISO 8601 with its offset from UTC, to the second: 2024-03-05T14:07:09+01:00.
// The offset is written out even at UTC, so every line reads the same way.
QString isoLocalTime(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString withReason(const QString& text, const QString& reason) {
    return reason.isEmpty() ? text : text + QStringLiteral(": ") + reason;
}

} // namespace

QByteArray calibrationLogHeader() {
    QStringList titles;
    for (const char* column : kColumns)
        titles << QLatin1String(column);
    return titles.join(QLatin1Char(',')).toUtf8() + kLineEnd;
}

CalibrationLogEntry calibrationLogEntry(const frmCalibrateSensor& form,
                                        const AcceptSnapshot& accepted) {
    CalibrationLogEntry entry;
    // The moment the Accept started, as the operator pressed it.
    entry.time = QDateTime::currentDateTime();
    entry.user = platform::signedInUser();
    entry.port = Module1::iComPort;
    // The device the serial control opens for the port; a control that cannot tell gets the
    // port's own mapping.
    const QString controlDevice = platform::PDQ().Comm1().devicePath();
    entry.device = platform::deviceText(platform::describeDevice(
        controlDevice.isEmpty() ? platform::portDevicePath(entry.port) : controlDevice));
    noteControllerIdentity(entry);
    if (accepted.channel != nullptr)
        entry.channel = accepted.channel->listText.toString();
    // Shown for the channel last loaded, the snapshot's channel: the Accept holds the input,
    // and only a load changes them.
    entry.sensorType = form.cboSensor->text();
    entry.unit = form.cboRange->text();
    entry.loVolts = accepted.loVolts;
    entry.hiVolts = accepted.hiVolts;
    entry.rangeLo = accepted.rangeLo;
    entry.rangeHi = accepted.rangeHi;
    entry.loCount = protocol::ConverterCount(accepted.loVolts);
    entry.hiCount = protocol::ConverterCount(accepted.hiVolts);
    return entry;
}

void noteControllerIdentity(CalibrationLogEntry& entry) {
    // Never the name of a controller that has not answered for itself.
    if (Module1::bIdentityUnconfirmed) {
        entry.displayMicroDate = kIdentityUnconfirmed;
        entry.displayMicroInfo = kIdentityUnconfirmed;
        entry.terminalMicroDate = kIdentityUnconfirmed;
        return;
    }
    entry.displayMicroDate = Module1::DateFieldText(Module1::vDisplayMicroDate);
    entry.displayMicroInfo = Module1::vDisplayMicroInfo;
    entry.terminalMicroDate = Module1::sTerminalMicroDate;
}

QString writeFailureText(qint16 status, const QString& errorText, const QString& reason) {
    return withReason(withReason(QStringLiteral("status %1").arg(status), errorText), reason);
}

QString reportOutcomeText(const RecordResult& result) {
    switch (result.outcome) {
    case RecordOutcome::Stored:
        return QStringLiteral("stored");
    case RecordOutcome::CannotOpen:
        return withReason(QStringLiteral("not stored: cannot open"), result.reason);
    case RecordOutcome::LayoutMismatch:
        return QStringLiteral("not stored: the file does not have the CalData.txt layout");
    case RecordOutcome::WriteFailed:
        return withReason(QStringLiteral("not stored: cannot write"), result.reason);
    }
    return QStringLiteral("not stored");
}

QString csvField(const QString& text) {
    static const QString kNeedsQuotes = QStringLiteral(",\"\r\n");
    bool quoted = false;
    for (const QChar c : text)
        quoted = quoted || kNeedsQuotes.contains(c);
    if (!quoted)
        return text;
    QString inner = text;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QByteArray calibrationLogLine(const CalibrationLogEntry& entry) {
    const QString fields[] = {
        isoLocalTime(entry.time),
        entry.user,
        QString::number(entry.port),
        entry.device,
        entry.displayMicroDate,
        entry.displayMicroInfo,
        entry.terminalMicroDate,
        entry.channel,
        entry.sensorType,
        entry.unit,
        entry.loVolts,
        entry.hiVolts,
        entry.rangeLo,
        entry.rangeHi,
        entry.loCount,
        entry.hiCount,
        entry.controllerWrite,
        entry.reportFile,
    };
    static_assert(std::size(fields) == std::size(kColumns));
    QStringList quoted;
    for (const QString& field : fields)
        quoted << csvField(field);
    return quoted.join(QLatin1Char(',')).toUtf8() + kLineEnd;
}

QString calibrationLogPath() {
    return QFileInfo(reportFilePath()).dir().filePath(QLatin1String(kCalibrationLogFileName));
}

bool appendCalibrationLog(const CalibrationLogEntry& entry) {
    const QString path = calibrationLogPath();
    QString reason;
    if (platform::appendLineToFile(path, calibrationLogLine(entry), calibrationLogHeader(),
                                   &reason))
        return true;
    platform::MsgBox(kCannotLogText.arg(QDir::toNativeSeparators(path), entry.channel, reason),
                     platform::vbOKOnly);
    return false;
}

ReportOutcomeCapture::ReportOutcomeCapture() : m_outer(innermostCapture()) {
    innermostCapture() = this;
}

ReportOutcomeCapture::~ReportOutcomeCapture() {
    innermostCapture() = m_outer;
}

QString ReportOutcomeCapture::text() const {
    // Never "stored" without the record update's word for it.
    return m_result ? reportOutcomeText(*m_result) : QStringLiteral("not stored");
}

void noteReportOutcome(const RecordResult& result) {
    if (ReportOutcomeCapture* capture = innermostCapture())
        capture->m_result = result;
}

} // namespace workbench
