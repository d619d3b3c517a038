#include "records/calibration_log_reader.h"

#include "records/calibration_log.h"

#include <QFile>
#include <QFileInfo>

namespace records {

namespace {

// The cells the log writes formula-safe: the names and the controller's own texts.
const QStringList kFreeTextColumns = {
    QStringLiteral("user"),
    QStringLiteral("device"),
    QStringLiteral("display_micro_date"),
    QStringLiteral("display_micro_info"),
    QStringLiteral("terminal_micro_date"),
    QStringLiteral("reading_before"),
    QStringLiteral("reading_after"),
    QStringLiteral("write_replies"),
};

// One line of comma-separated values as it stands in the file, without its line end.
struct RawLine {
    QByteArray bytes;
    int firstFileLine = 0;
    int lastFileLine = 0;
    // Where it begins in the bytes read.
    qsizetype start = 0;
};

// Splits the file into lines: a line ends at a line feed outside quotes, a carriage return
// before it being part of the line end.
std::vector<RawLine> splitLines(const QByteArray& file) {
    std::vector<RawLine> lines;
    RawLine current;
    int fileLine = 1;
    current.firstFileLine = fileLine;
    bool quoted = false;
    for (qsizetype i = 0; i < file.size(); ++i) {
        const char c = file[i];
        if (c == '"')
            quoted = !quoted;
        if (c == '\n' && !quoted) {
            if (current.bytes.endsWith('\r'))
                current.bytes.chop(1);
            current.lastFileLine = fileLine;
            lines.push_back(current);
            current = RawLine{};
            current.firstFileLine = ++fileLine;
            current.start = i + 1;
            continue;
        }
        if (c == '\n')
            ++fileLine;
        current.bytes += c;
    }
    // A last line without its line end still counts.
    if (!current.bytes.isEmpty()) {
        current.lastFileLine = fileLine;
        lines.push_back(current);
    }
    return lines;
}

// The cells of one line: quoted cells unquoted, their doubled quotes made single.
QStringList cellsOf(const QByteArray& line) {
    QStringList cells;
    QByteArray cell;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            cells << QString::fromUtf8(cell);
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells << QString::fromUtf8(cell);
    return cells;
}

} // namespace

QString logCell(const QStringList& columns, const LogLine& line, const QString& column) {
    const qsizetype at = columns.indexOf(column);
    if (at < 0 || at >= line.cells.size())
        return {};
    const QString& text = line.cells[at];
    return kFreeTextColumns.contains(column) ? formulaSafeText(text) : text;
}

std::vector<int> CalibrationLogReading::brokenFileLines() const {
    std::vector<int> broken;
    for (const LogLine& line : lines)
        if (!line.chained && !line.pending)
            broken.push_back(line.firstFileLine);
    return broken;
}

std::vector<int> CalibrationLogReading::brokenPendingLines() const {
    std::vector<int> broken;
    for (const LogLine& line : lines)
        if (!line.chained && line.pending)
            broken.push_back(line.firstFileLine);
    return broken;
}

namespace {

// The whole file at `path`; false, with the reading's error, when it is no file or cannot be
// read.
bool readWhole(const QString& path, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the log %1: %2")
                    .arg(path, QFileInfo::exists(path) ? file.errorString()
                                                       : QStringLiteral("no such file"));
        return false;
    }
    bytes = file.readAll();
    return true;
}

// Reads the lines after the header, checking each line's chain value against the value the
// line before it holds as it stands, so that a changed line breaks the chain at that line
// alone. `named` is the file the header is looked for in.
void readLines(CalibrationLogReading& reading, const std::vector<RawLine>& raw,
               const QString& named) {
    const QByteArray header = calibrationLogHeader().chopped(2);
    if (raw.empty() || raw.front().bytes != header) {
        reading.error = QStringLiteral("%1 does not begin with the header of this version's "
                                       "calibration log, so its lines carry no chain")
                            .arg(named);
        return;
    }
    reading.columns = cellsOf(header);
    QByteArray previousChain = headerChain();
    for (size_t i = 1; i < raw.size(); ++i) {
        LogLine line;
        line.firstFileLine = raw[i].firstFileLine;
        line.lastFileLine = raw[i].lastFileLine;
        line.cells = cellsOf(raw[i].bytes);
        const qsizetype comma = raw[i].bytes.lastIndexOf(',');
        const QByteArray stored = raw[i].bytes.mid(comma + 1);
        line.chained = comma >= 0 && line.cells.size() == reading.columns.size() &&
                       chainValue(previousChain, raw[i].bytes.left(comma)) == stored;
        previousChain = stored;
        reading.lines.push_back(line);
    }
}

} // namespace

CalibrationLogReading readCalibrationLog(const QString& path) {
    CalibrationLogReading reading;
    QByteArray bytes;
    if (readWhole(path, bytes, reading.error))
        readLines(reading, splitLines(bytes), path);
    return reading;
}

CalibrationLogReading readCalibrationLogWithPending(const QString& logPath) {
    const QString pendingPath = pendingLogPath(logPath);
    CalibrationLogReading reading;
    QByteArray pending;
    if (!QFileInfo(pendingPath).isFile())
        return readCalibrationLog(logPath);
    if (!readWhole(pendingPath, pending, reading.error))
        return reading;
    const QByteArray header = calibrationLogHeader();
    if (pending == header)
        return readCalibrationLog(logPath);
    if (!pending.startsWith(header)) {
        readLines(reading, splitLines(pending), pendingPath);
        return reading;
    }

    // The log as it will stand: its own bytes, then the pending bytes it does not hold yet,
    // which begin at `pendingFrom` in the pending file and at `joinedAt` in the whole.
    QByteArray log;
    if (QFileInfo(logPath).isFile() && !readWhole(logPath, log, reading.error))
        return reading;
    QByteArray whole = pending;
    qsizetype joinedAt = 0;
    qsizetype pendingFrom = 0;
    if (!log.isEmpty()) {
        const QByteArray lines = pending.mid(header.size());
        const PendingJoin join = joinPendingLines(log, lines);
        whole = log + join.lineEnd + lines.mid(join.held);
        joinedAt = log.size() + join.lineEnd.size();
        pendingFrom = header.size() + join.held;
    }
    std::vector<RawLine> raw = splitLines(whole);
    for (RawLine& line : raw) {
        if (line.start < joinedAt)
            continue;
        const qsizetype inPending = pendingFrom + line.start - joinedAt;
        line.firstFileLine = 1 + int(pending.left(inPending).count('\n'));
        line.lastFileLine = line.firstFileLine + int(line.bytes.count('\n'));
    }
    readLines(reading, raw, log.isEmpty() ? pendingPath : logPath);
    for (size_t i = 0; i < reading.lines.size(); ++i) {
        reading.lines[i].pending = raw[i + 1].start >= joinedAt;
        if (reading.lines[i].pending)
            reading.pendingPath = pendingPath;
    }
    return reading;
}

} // namespace records
