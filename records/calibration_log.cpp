// The calibration log: every Accept adds one line saying who calibrated which channel of which
// controller, on which port, with which setpoints, and what became of the write and the record;
// the Verify window adds its test points and verdicts, the Job dialog its changes.
#include "records/calibration_log.h"

#include "codec/escaped_bytes.h"
#include "platform/files/file_append.h"
#include "platform/widgets/message_box.h"
#include "records/channel_table.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <iterator>

namespace records {

namespace {

const char* const kColumns[] = {
    "date_time",
    "record",
    "user",
    "port",
    "device",
    "display_micro_date",
    "display_micro_info",
    "terminal_micro_date",
    "controller_tag",
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
    "test_started",
    "phase",
    "mode",
    "point",
    "nominal",
    "applied",
    "expected",
    "reading",
    "readings",
    "error",
    "error_percent",
    "uncertainty",
    "uncertainty_percent",
    "tolerance_percent",
    "decision_rule",
    "verdict",
    "reason",
    "reference_serial",
    "reference_certificate",
    "reference_uncertainty",
    "setting",
    "value_before",
    "value_after",
    "certificate_number",
    "covered_lines",
    "covered_chain",
    "replaces",
    "chain",
};

constexpr char kLineEnd[] = "\r\n";

// %1 the log's full name, %2 " of channel NN" (nothing for a line of no channel), %3 the operating
// system's reason, %4 what the line records ("Accept", "test point"...).
const QString kCannotLogText =
    QStringLiteral("Error!  Cannot add the %4%2 to the calibration log %1.\r\n"
                   "Reason: %3\r\nThe calibration goes on; only the log lacks this %4.");
// %1 to %4 as above, %5 the pending file's full name.
const QString kKeptPendingText =
    QStringLiteral("Error!  Cannot add the %4%2 to the calibration log %1.\r\n"
                   "Reason: %3\r\nThe %4 is kept in %5 and will be added to the log when "
                   "the log can be written again.");
// The reason in kCannotLogText when the pending file cannot take the line either: %1 why the
// log cannot, %2 the pending file's full name, %3 why it cannot.
const QString kNotKeptReason =
    QStringLiteral("%1\r\nNor can it be kept in %2: %3. The %4 is NOT recorded.");

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

// What the end of the log, or of its pending file, says of the line to follow it.
struct FileEnd {
    // False when a file is there but cannot be read.
    bool readable = true;
    // Begins with this version's header line, or holds nothing at all.
    bool ownHeader = true;
    // Holds a line after its header.
    bool hasLines = false;
    // The chain value the next line follows, and whether the last line lacks its line end.
    QByteArray lastChain;
    bool unfinishedLine = false;
};

// Reads the end of the file at `path`; a name with no file (or something else than a file)
// holds no lines. Why, when it cannot be read.
FileEnd readFileEnd(const QString& path, QString& reason) {
    FileEnd end;
    end.lastChain = headerChain();
    if (!QFileInfo(path).isFile())
        return end;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        end.readable = false;
        reason = file.errorString();
        return end;
    }
    if (file.size() == 0)
        return end;
    if (firstLineOf(file) != headerLine()) {
        end.ownHeader = false;
        return end;
    }
    bool endsWithLineEnd = true;
    const QByteArray last = lastLineOf(file, endsWithLineEnd);
    end.unfinishedLine = !endsWithLineEnd;
    // The header alone: the first line chains from it. Otherwise the chain value is the last
    // field as it stands, whatever has become of the line, so that only a changed line breaks.
    if (last != headerLine()) {
        end.hasLines = true;
        end.lastChain = last.mid(last.lastIndexOf(',') + 1);
    }
    return end;
}

// Gets the log ready for the next line: a log of an older layout is set aside; the chain
// value of the line the next one follows is handed back, and whether that line lacks its
// line end. False, with why, when the log is there but cannot be read or set aside.
bool prepareLog(const QString& path, QByteArray& previousChain, bool& unfinishedLine,
                QString& reason) {
    const FileEnd end = readFileEnd(path, reason);
    previousChain = end.ownHeader ? end.lastChain : headerChain();
    unfinishedLine = end.ownHeader && end.unfinishedLine;
    if (!end.readable)
        return false;
    if (!end.ownHeader) {
        reason = setOlderLogAside(path);
        return reason.isEmpty();
    }
    return true;
}

// The whole of the file at `path`; false, with why, when it cannot be read.
bool readWhole(const QString& path, QByteArray& bytes, QString& reason) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reason = file.errorString();
        return false;
    }
    return true;
}

// The chain value a whole line ends in.
QByteArray chainOfLine(const QByteArray& line) {
    const QByteArray body = line.endsWith(kLineEnd) ? line.chopped(2) : line;
    return body.mid(body.lastIndexOf(',') + 1);
}

// The end of the first line of `bytes`, its line end included: the first line feed outside
// quotes, or the end of the bytes.
qsizetype firstLineEnd(const QByteArray& bytes) {
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '"')
            quoted = !quoted;
        else if (bytes[i] == '\n' && !quoted)
            return i + 1;
    }
    return bytes.size();
}

// Adds the entry's line to the pending file beside the log at `logPath`, after the lines
// there, chained to the last of them; the first pending line chains to the log's last line,
// or, when the log cannot be read, to `knownChain` (the last line this session added) where
// there is one. The line as added; empty, with why, when it was not added.
QByteArray keepPending(const QString& logPath, const CalibrationLogEntry& entry,
                       const QByteArray& knownChain, QString& reason) {
    const QString pendingPath = pendingLogPath(logPath);
    const FileEnd pending = readFileEnd(pendingPath, reason);
    if (!pending.readable)
        return {};
    if (!pending.ownHeader) {
        reason = QStringLiteral("it does not begin with the calibration log's header line");
        return {};
    }
    QByteArray previousChain = pending.lastChain;
    if (!pending.hasLines) {
        QString unread;
        const FileEnd log = readFileEnd(logPath, unread);
        if (!log.readable)
            previousChain = knownChain.isEmpty() ? headerChain() : knownChain;
        else if (log.ownHeader)
            previousChain = log.lastChain;
        // A log of an older layout is set aside before the pending lines join it, and the
        // new log begins with them: they chain from its header.
    }
    const QByteArray line = calibrationLogLine(entry, previousChain);
    if (!platform::appendLineToFile(
            pendingPath, (pending.unfinishedLine ? QByteArray(kLineEnd) : QByteArray()) + line,
            calibrationLogHeader(), &reason))
        return {};
    return line;
}

} // namespace

QString logTimeText(const QDateTime& time) {
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray calibrationLogHeader() {
    QStringList titles;
    for (const char* column : kColumns)
        titles << QLatin1String(column);
    return titles.join(QLatin1Char(',')).toUtf8() + kLineEnd;
}

QString logRecordName(LogRecord record) {
    switch (record) {
    case LogRecord::Accept:
        return QStringLiteral("accept");
    case LogRecord::Job:
        return QStringLiteral("job");
    case LogRecord::Point:
        return QStringLiteral("point");
    case LogRecord::Verdict:
        return QStringLiteral("verdict");
    case LogRecord::Certificate:
        return QStringLiteral("certificate");
    }
    return {};
}

QString logRecordDescription(LogRecord record) {
    switch (record) {
    case LogRecord::Accept:
        return QStringLiteral("Accept");
    case LogRecord::Job:
        return QStringLiteral("change of the job details");
    case LogRecord::Point:
        return QStringLiteral("test point");
    case LogRecord::Verdict:
        return QStringLiteral("test verdict");
    case LogRecord::Certificate:
        return QStringLiteral("issue of a certificate");
    }
    return {};
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
    // Free text (names, the controller's own texts, readings and replies, a test's list of
    // readings, reasons and reference texts) is made formula-safe; numbers, the catalogue's
    // texts and the fixed-width setpoint texts are written as they are.
    const TestLogFields& test = entry.test;
    const QString fields[] = {
        logTimeText(entry.time),
        logRecordName(entry.record),
        formulaSafe(entry.user),
        QString::number(entry.port),
        formulaSafe(entry.device),
        formulaSafe(entry.displayMicroDate),
        formulaSafe(entry.displayMicroInfo),
        formulaSafe(entry.terminalMicroDate),
        formulaSafe(entry.controllerTag),
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
        test.started,
        test.phase,
        test.mode,
        test.point,
        test.nominal,
        test.applied,
        test.expected,
        test.reading,
        formulaSafe(test.readings),
        test.error,
        test.errorPercent,
        test.uncertainty,
        test.uncertaintyPercent,
        test.tolerancePercent,
        formulaSafe(test.decisionRule),
        test.verdict,
        formulaSafe(test.reason),
        formulaSafe(test.referenceSerial),
        formulaSafe(test.referenceCertificate),
        formulaSafe(test.referenceUncertainty),
        entry.setting,
        formulaSafe(entry.valueBefore),
        formulaSafe(entry.valueAfter),
        formulaSafe(entry.certificateNumber),
        entry.coveredLines,
        entry.coveredChain,
        formulaSafe(entry.replaces),
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

QString pendingLogPath(const QString& logPath) {
    const QFileInfo log(logPath);
    const QString suffix = log.suffix();
    return log.dir().filePath(log.completeBaseName() + QStringLiteral("-pending") +
                              (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix));
}

PendingJoin joinPendingLines(const QByteArray& log, const QByteArray& pendingLines) {
    PendingJoin join;
    const bool unfinished = !log.isEmpty() && !log.endsWith('\n');
    if (pendingLines.isEmpty())
        return join;
    // Only after a line end: a line of the log that merely ends the same way is not the one.
    const QByteArray first = '\n' + pendingLines.left(firstLineEnd(pendingLines));
    const qsizetype at = log.lastIndexOf(first);
    if (at >= 0) {
        const QByteArray from = log.mid(at + 1);
        if (from.startsWith(pendingLines)) {
            join.held = pendingLines.size();
            return join;
        }
        // The log ends part of the way through the pending lines: a move cut short.
        if (pendingLines.startsWith(from)) {
            join.held = from.size();
            return join;
        }
        join.conflict = true;
    }
    if (unfinished)
        join.lineEnd = kLineEnd;
    return join;
}

bool movePendingLines(const QString& logPath, QString* reason) {
    const QString pendingPath = pendingLogPath(logPath);
    // Something else than a file of that name holds no lines.
    if (!QFileInfo(pendingPath).isFile())
        return true;
    const QString native = QDir::toNativeSeparators(pendingPath);
    const auto fail = [&](const QString& why) {
        if (reason)
            *reason = QStringLiteral("the Accepts waiting in %1 cannot be added to the log "
                                     "first: %2")
                          .arg(native, why);
        return false;
    };
    QString why;
    QByteArray pending;
    if (!readWhole(pendingPath, pending, why))
        return fail(QStringLiteral("cannot read them: ") + why);
    const QByteArray header = calibrationLogHeader();
    // Nothing but the header (or nothing at all): no line waits.
    if (pending.isEmpty() || pending == header) {
        QFile::remove(pendingPath);
        return true;
    }
    if (!pending.startsWith(header))
        return fail(QStringLiteral("the file does not begin with the calibration log's header "
                                   "line"));
    const QByteArray lines = pending.mid(header.size());

    QByteArray previousChain;
    bool unfinishedLine = false;
    if (!prepareLog(logPath, previousChain, unfinishedLine, why))
        return fail(why);
    QByteArray log;
    if (QFileInfo(logPath).isFile() && !readWhole(logPath, log, why))
        return fail(why);
    const PendingJoin join = joinPendingLines(log, lines);
    if (join.conflict)
        return fail(QStringLiteral("the log holds the first of them followed by other lines"));
    const QByteArray rest = join.lineEnd + lines.mid(join.held);
    if (!rest.isEmpty() && !platform::appendLineToFile(logPath, rest, header, &why))
        return fail(why);
    // Only once the log holds them on the disk. A pending file that cannot be removed now is
    // removed by the next move, which finds its lines in the log already and adds none again.
    QFile::remove(pendingPath);
    return true;
}

LogOutcome appendCalibrationLog(const CalibrationLogEntry& entry, LogFailureBox box,
                                CalibrationLogSession* session) {
    return appendCalibrationLogAt(calibrationLogPath(), entry, box, session);
}

LogOutcome appendCalibrationLogAt(const QString& path, const CalibrationLogEntry& entry,
                                  LogFailureBox box, CalibrationLogSession* session) {
    QString reason;
    QByteArray previousChain;
    bool unfinishedLine = false;
    // Lines still pending come first, so that nothing is put out of order.
    if (movePendingLines(path, &reason) &&
        prepareLog(path, previousChain, unfinishedLine, reason)) {
        // A last line left without its line end (a disk that filled up) keeps its bytes; the
        // new line starts on a line of its own.
        const QByteArray line = calibrationLogLine(entry, previousChain);
        if (platform::appendLineToFile(
                path, (unfinishedLine ? QByteArray(kLineEnd) : QByteArray()) + line,
                calibrationLogHeader(), &reason)) {
            if (session)
                session->lastChain = chainOfLine(line);
            return LogOutcome::InLog;
        }
    }

    QString pendingReason;
    const QByteArray kept =
        keepPending(path, entry, session ? session->lastChain : QByteArray(), pendingReason);
    if (!kept.isEmpty() && session)
        session->lastChain = chainOfLine(kept);
    const LogOutcome outcome = kept.isEmpty() ? LogOutcome::NotRecorded : LogOutcome::Pending;

    bool* told = nullptr;
    if (session)
        told = outcome == LogOutcome::Pending ? &session->pendingTold : &session->notRecordedTold;
    if (box == LogFailureBox::Silent || (told && *told))
        return outcome;
    if (told)
        *told = true;
    // The system's reason may end in a full stop of its own.
    if (pendingReason.endsWith(QLatin1Char('.')))
        pendingReason.chop(1);
    const QString logName = QDir::toNativeSeparators(path);
    const QString pendingName = QDir::toNativeSeparators(pendingLogPath(path));
    const QString what = logRecordDescription(entry.record);
    const QString ofChannel =
        entry.channel.isEmpty() ? QString() : QStringLiteral(" of channel ") + entry.channel;
    platform::MsgBox(outcome == LogOutcome::Pending
                         ? kKeptPendingText.arg(logName, ofChannel, reason, what, pendingName)
                         : kCannotLogText.arg(
                               logName, ofChannel,
                               kNotKeptReason.arg(reason, pendingName, pendingReason, what), what),
                     platform::vbOKOnly);
    return outcome;
}

} // namespace records
