// The program's trace categories, one per subject, each defined once:
//   tq.link  every exchange with the controller and what the line lost on the way (receive
//            buffer overflows, device lost and reopened); info by default, debug for the bytes.
//   tq.port  opening, losing and reopening the serial device; warnings by default.
// Turned up with QT_LOGGING_RULES, e.g. "tq.link.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcPort)
