// Checking a log against what a filed certificate says of it: the chain value its last line
// ended in, and how many lines of the log that was.
#pragma once

#include "records/calibration_log_reader.h"

#include <QByteArray>
#include <QString>

namespace records {

enum class LogCheckOutcome {
    Intact,     // the first lines are chained, and the last of them ends in the chain value
    Unreadable, // the log cannot be read at all (or no line was asked for)
    TooShort,   // the log holds fewer lines than asked for
    Broken,     // a line among the first ones does not follow from the line before it
    OtherChain, // the first lines are chained, but the last of them ends in another value
};

// What the check found, with what it is told by.
struct LogCheck {
    LogCheckOutcome outcome = LogCheckOutcome::Unreadable;
    // Unreadable: why.
    QString error;
    // The lines the log holds after its header (its pending file's included).
    int lineCount = 0;
    // Broken: the first line that does not follow; otherwise the last line checked (none,
    // all zero, when the log holds no line). Its first line in the file it stands on, and
    // whether that is the pending file.
    int fileLine = 0;
    bool pending = false;
    // Intact, OtherChain: the chain value the last line checked ends in, as it stands.
    QByteArray chain;
};

// Checks that the first `lines` lines of the log `reading` (counted after the header, the
// pending file's after the log's) are chained and that the last of them ends in
// `expectedChain` (hexadecimal digits, either case); `lines` is at least 1. A break counts before a
// log cut short: a line changed is the stronger sign.
LogCheck checkLogChain(const CalibrationLogReading& reading, const QByteArray& expectedChain,
                       int lines);

} // namespace records
