#include "records/log_check.h"

namespace records {

LogCheck checkLogChain(const CalibrationLogReading& reading, const QByteArray& expectedChain,
                       int lines) {
    LogCheck check;
    if (!reading.error.isEmpty() || lines < 1) {
        check.error = lines < 1 ? QStringLiteral("no line to check") : reading.error;
        return check;
    }
    check.lineCount = int(reading.lines.size());
    const int checked = qMin(lines, check.lineCount);
    for (int i = 0; i < checked; ++i) {
        const LogLine& line = reading.lines[size_t(i)];
        check.fileLine = line.firstFileLine;
        check.pending = line.pending;
        if (!line.chained) {
            check.outcome = LogCheckOutcome::Broken;
            return check;
        }
    }
    if (checked < lines) {
        check.outcome = LogCheckOutcome::TooShort;
        return check;
    }
    check.chain =
        reading.cell(reading.lines[size_t(checked - 1)], QStringLiteral("chain")).toUtf8();
    check.outcome = check.chain.compare(expectedChain, Qt::CaseInsensitive) == 0
                        ? LogCheckOutcome::Intact
                        : LogCheckOutcome::OtherChain;
    return check;
}

} // namespace records
