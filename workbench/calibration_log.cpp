// The calibration log: every Accept adds one line saying who calibrated which channel of which
// controller, on which port, with which setpoints, and what became of the write and the record.
#include "workbench/calibration_log.h"

#include "codec/escaped_bytes.h"
#include "link/identity_block.h"
#include "link/protocol.h"
#include "platform/file_append.h"
#include "platform/message_box.h"
#include "platform/pdq.h"
#include "platform/port_info.h"
#include "platform/signed_in_user.h"
#include "shell/module1.h"
#include "workbench/channel_table.h"
#include "workbench/controller_identity.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    "reading_before",
    "reading_after",
    "write_replies",
    "chain",
};

constexpr char kLineEnd[] = "\r\n";

// %1 the log's full name, %2 the channel, %3 the operating system's reason.
const QString kCannotLogText =
    QStringLiteral("Error!  Cannot add the Accept of channel %2 to the calibration log %1.\r\n"
                   "Reason: %3\r\nThe calibration goes on; only the log lacks this Accept.");

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

// The header line as the log begins with it, without its line end.
QByteArray headerLine() {
    return calibrationLogHeader().chopped(2);
}

// The log's first line, without its line end; empty for an empty or unreadable file.
QByteArray firstLineOf(QFile& file) {
    QByteArray line = file.readLine(64 * 1024);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

// The last line of the log, without its line end, read from the end of the file so that a
// long log costs no more than a short one. `endsWithLineEnd` tells whether the file ends
// with a line end, as every line the tool writes does.
QByteArray lastLineOf(QFile& file, bool& endsWithLineEnd) {
    const qint64 size = file.size();
    QByteArray tail;
    for (qint64 chunk = 4096;; chunk *= 4) {
        const qint64 from = qMax<qint64>(0, size - chunk);
        if (!file.seek(from))
            return {};
        tail = file.read(size - from);
        // A line end before the last line's own is where the last line starts.
        QByteArray body = tail;
        while (body.endsWith('\n') || body.endsWith('\r'))
            body.chop(1);
        if (from == 0 || body.contains('\n'))
            break;
    }
    endsWithLineEnd = tail.endsWith('\n');
    while (tail.endsWith('\n') || tail.endsWith('\r'))
        tail.chop(1);
    return tail.mid(tail.lastIndexOf('\n') + 1);
}

// Renames a log of an older layout aside, under a name not yet taken; never removes it. Empty
// on success, else why it could not be renamed.
QString setOlderLogAside(const QString& path) {
    const QDir dir = QFileInfo(path).dir();
    const QString stem = QStringLiteral("CalLog-until-") +
                         QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QFile file(path);
    for (int n = 1; n < 1000; ++n) {
        const QString aside = dir.filePath(
            stem + (n == 1 ? QString() : QStringLiteral("-%1").arg(n)) + QStringLiteral(".csv"));
        if (QFileInfo::exists(aside) || QFileInfo(aside).isSymLink())
            continue;
        // QFile never renames onto an existing name, so a name taken meanwhile is kept too.
        if (file.rename(aside))
            return {};
        if (QFileInfo::exists(aside))
            continue;
        return QStringLiteral("cannot rename the log of an older layout: ") + file.errorString();
    }
    return QStringLiteral("cannot rename the log of an older layout: every name is taken");
}

// Gets the log ready for the next line: a log of an older layout is set aside; the chain
// value of the line the next one follows is handed back, and whether that line lacks its
// line end. False, with why, when the log is there but cannot be read or set aside.
bool prepareLog(const QString& path, QByteArray& previousChain, bool& unfinishedLine,
                QString& reason) {
    previousChain = headerChain();
    unfinishedLine = false;
    const QFileInfo info(path);
    // No log yet, or something that is not a file: the append makes the log or says why not.
    if (!info.isFile())
        return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    if (file.size() == 0)
        return true;
    if (firstLineOf(file) != headerLine()) {
        file.close();
        reason = setOlderLogAside(path);
        return reason.isEmpty();
    }
    bool endsWithLineEnd = true;
    const QByteArray last = lastLineOf(file, endsWithLineEnd);
    unfinishedLine = !endsWithLineEnd;
    // The header alone: the first line chains from it. Otherwise the chain value is the last
    // field as it stands, whatever has become of the line, so that only a changed line breaks.
    if (last != headerLine())
        previousChain = last.mid(last.lastIndexOf(',') + 1);
    return true;
}

} // namespace

QByteArray calibrationLogHeader() {
    QStringList titles;
    for (const char* column : kColumns)
        titles << QLatin1String(column);
    return titles.join(QLatin1Char(',')).toUtf8() + kLineEnd;
}

CalibrationLogEntry calibrationLogEntry(const AcceptSnapshot& accepted) {
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
    entry.sensorType = accepted.sensorType;
    entry.unit = accepted.unit;
    // The reading on display as the Accept begins, before the Accept clears it.
    entry.readingBefore = accepted.reading;
    entry.loVolts = accepted.loVolts;
    entry.hiVolts = accepted.hiVolts;
    entry.rangeLo = accepted.rangeLo;
    entry.rangeHi = accepted.rangeHi;
    entry.loCount = devicelink::protocol::ConverterCount(accepted.loVolts);
    entry.hiCount = devicelink::protocol::ConverterCount(accepted.hiVolts);
    return entry;
}

void noteControllerIdentity(CalibrationLogEntry& entry) {
    // Never the name of a controller that has not answered for itself.
    if (ControllerIdentity::instance().unconfirmed()) {
        entry.displayMicroDate = kIdentityUnconfirmed;
        entry.displayMicroInfo = kIdentityUnconfirmed;
        entry.terminalMicroDate = kIdentityUnconfirmed;
        return;
    }
    entry.displayMicroDate = devicelink::DateFieldText(Module1::vDisplayMicroDate);
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

QString writeRepliesText(const std::vector<QByteArray>& replies) {
    QString text;
    for (size_t i = 0; i < replies.size(); ++i) {
        if (i > 0)
            text += QLatin1Char('|');
        text += codec::EscapedBytes(replies[i], '|');
    }
    return text;
}

QString formulaSafe(const QString& text) {
    // The apostrophe itself too, so that reading a cell back takes off exactly what was added.
    static const QString kFormulaStart = QStringLiteral("=+-@\t\r'");
    return !text.isEmpty() && kFormulaStart.contains(text.front()) ? QLatin1Char('\'') + text
                                                                   : text;
}

QString formulaSafeText(const QString& cell) {
    return cell.startsWith(QLatin1Char('\'')) ? cell.mid(1) : cell;
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

QByteArray headerChain() {
    return QCryptographicHash::hash(headerLine(), QCryptographicHash::Sha256).toHex();
}

QByteArray chainValue(const QByteArray& previousChain, const QByteArray& fieldsAsWritten) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(previousChain);
    hash.addData(fieldsAsWritten);
    return hash.result().toHex();
}

QByteArray calibrationLogLine(const CalibrationLogEntry& entry, const QByteArray& previousChain) {
    // Free text (names, the controller's own texts, readings and replies) is made formula-safe;
    // numbers, the catalogue's texts and the fixed-width setpoint texts are written as they are.
    const QString fields[] = {
        isoLocalTime(entry.time),
        formulaSafe(entry.user),
        QString::number(entry.port),
        formulaSafe(entry.device),
        formulaSafe(entry.displayMicroDate),
        formulaSafe(entry.displayMicroInfo),
        formulaSafe(entry.terminalMicroDate),
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
        formulaSafe(entry.readingBefore),
        formulaSafe(entry.readingAfter),
        formulaSafe(entry.writeReplies),
    };
    static_assert(std::size(fields) + 1 == std::size(kColumns), "the chain value comes last");
    QStringList quoted;
    for (const QString& field : fields)
        quoted << csvField(field);
    const QByteArray written = quoted.join(QLatin1Char(',')).toUtf8();
    return written + ',' + chainValue(previousChain, written) + kLineEnd;
}

QString calibrationLogPath() {
    return QFileInfo(reportFilePath()).dir().filePath(QLatin1String(kCalibrationLogFileName));
}

bool appendCalibrationLog(const CalibrationLogEntry& entry, LogFailureBox box) {
    const QString path = calibrationLogPath();
    QString reason;
    QByteArray previousChain;
    bool unfinishedLine = false;
    if (prepareLog(path, previousChain, unfinishedLine, reason)) {
        // A last line left without its line end (a disk that filled up) keeps its bytes; the
        // new line starts on a line of its own.
        const QByteArray line = (unfinishedLine ? QByteArray(kLineEnd) : QByteArray()) +
                                calibrationLogLine(entry, previousChain);
        if (platform::appendLineToFile(path, line, calibrationLogHeader(), &reason))
            return true;
    }
    if (box == LogFailureBox::Silent)
        return false;
    platform::MsgBox(kCannotLogText.arg(QDir::toNativeSeparators(path), entry.channel, reason),
                     platform::vbOKOnly);
    return false;
}

} // namespace workbench
