// Reading the calibration log back: its lines, their cells, and whether each line's chain value
// still follows from the line before it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace records {

// One line of the log as read back. A cell that holds a line break makes a line of the log
// reach over more than one line of the file.
struct LogLine {
    // Lines of the file it stands on, counted from 1 for the header.
    int firstFileLine = 0;
    int lastFileLine = 0;
    // The cells, unquoted.
    QStringList cells;
    // Its chain value follows from the line before it, and it has every column.
    bool chained = false;
    // It stands in the pending file, not yet in the log; its file lines are the pending
    // file's.
    bool pending = false;
};

// The cell of `column` in `line` of a log whose header holds the column titles `columns`: empty
// when the line is too short or there is no such column; a free-text cell with its
// formula-safe apostrophe taken off.
QString logCell(const QStringList& columns, const LogLine& line, const QString& column);

struct CalibrationLogReading {
    // Why the log cannot be used at all (missing, unreadable, another header); empty otherwise.
    QString error;
    // The column titles of the header, in order.
    QStringList columns;
    std::vector<LogLine> lines;
    // The pending file the lines marked pending come from; empty when none does.
    QString pendingPath;

    // The cell of `column` in `line` (logCell).
    QString cell(const LogLine& line, const QString& column) const {
        return logCell(columns, line, column);
    }
    // File lines of the log's lines whose chain does not follow.
    std::vector<int> brokenFileLines() const;
    // File lines of the pending file's lines whose chain does not follow.
    std::vector<int> brokenPendingLines() const;
    bool intact() const { return brokenFileLines().empty() && brokenPendingLines().empty(); }
};

// Reads the log at `path` and checks every line's chain value.
CalibrationLogReading readCalibrationLog(const QString& path);

// Reads the log at `logPath` as it will stand once the lines waiting in its pending file have
// joined it: the log's lines, then the pending lines it does not hold yet, the chain checked
// across from the one to the other. A name with no log file there reads as a log not begun,
// whose lines are all pending.
CalibrationLogReading readCalibrationLogWithPending(const QString& logPath);

} // namespace records
