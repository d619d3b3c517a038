// The exchange record: JSON lines for the log file and a readable trace for the terminal.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace sim {

enum class Direction { In, Out };

struct LineNotes {
    bool ignored = false;  // left unanswered by a fault option
    bool unknown = false;  // not a command the controller knows
    bool overlong = false; // cut at the input limit
    bool dropped = false;  // its reply found the reply queue full and was not sent
};

// The bytes as a quoted JSON string in which every byte stands for the code point of the same
// value: printable ASCII as itself, everything else as \u00XX (NUL is \u0000, 0xDF \u00df).
QByteArray jsonByteString(QByteArrayView bytes);

// One log line, LF included:
// {"t":12.345,"dir":"in","text":">(00F00 RX 22)"} with "ignored", "unknown", "overlong" and
// "dropped" set to true when they apply. `ms` is the time since the simulator started.
QByteArray jsonLogLine(double ms, Direction direction, QByteArrayView bytes,
                       const LineNotes& notes = {});

// The bytes with control and non-ASCII bytes escaped: \r, \n, \t, \\ and \xNN.
QByteArray readableBytes(QByteArrayView bytes);

} // namespace sim
