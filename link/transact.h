// One command/reply exchange with the controller.
#pragma once

#include <QByteArray>
#include <QString>

namespace Module1 {

// Sends `command` (CR LF included) and waits for the reply as the wait mode in `status`
// asks: n > 0 waits for n characters (passes of 5 x n ms), 0 takes what came in 100 ms,
// -1 in 5000 ms, -2 in 1000 ms, -3 waits for 13 characters (200 ms, then 65 ms passes).
// A reply not complete by the end of the second pass fails the attempt; a failed first
// attempt is sent once more. On return `status` is 0 or 4 ("RS-232 Retry Error" in
// `errorText`), and `reply` holds the bytes that were waiting, byte for byte.
void Transact(const QString& command, QByteArray& reply, qint16& status, QString& errorText);

// The standard box for a failed exchange.
void ReportCommError(qint16 status, const QString& errorText);

} // namespace Module1
