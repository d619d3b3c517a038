// One command/reply exchange with the controller.
#pragma once

#include <QByteArray>
#include <QString>

namespace devicelink {

// The status and error text of an exchange that got no complete reply after its two attempts,
// or that could not be sent at all.
inline constexpr qint16 kRetryErrorStatus = 4;
inline constexpr char kRetryErrorText[] = "RS-232 Retry Error";

// Sends `command` (CR LF included) and waits for the reply as the wait mode in `status`
// asks: n > 0 waits for n characters (passes of 5 x n ms), 0 takes what came in 100 ms,
// -1 in 5000 ms, -2 in 1000 ms, -3 waits for 13 characters (200 ms, then 65 ms passes).
// A reply not complete by the end of the second pass fails the attempt; a failed first
// attempt is sent once more. On return `status` is 0 or 4 ("RS-232 Retry Error" in
// `errorText`), and `reply` holds the bytes that were waiting, byte for byte. The exchange
// is prepared first (PrepareExchange below).
void Transact(const QString& command, QByteArray& reply, qint16& status, QString& errorText);

// The standard box for a failed exchange.
void ReportCommError(qint16 status, const QString& errorText);

// What comes before a command goes on, once per exchange (Transact runs it first) and before
// a piece of work that must know its controller before its first command: a device that went
// away is opened again (one attempt), then the exchange check runs (below). Nothing of this
// happens while a LostDeviceHold lives.
void PrepareExchange();

// The check the program makes before each exchange, told whether the device has just been
// opened again (whatever answers there now has not said who it is yet); the program's
// controller identity is checked there, and an identity read owed is made. Exchanges made by
// the check itself are not prepared again.
using ExchangeCheck = void (*)(bool reopened);
void SetExchangeCheck(ExchangeCheck check);

// While one lives, a device that is lost stays lost: no exchange opens it again, so the
// commands still to be sent fail at once (status 4), and no identity read is put between
// them. An Accept holds it from its first write command to its end, so that its commands
// never reach a controller other than the one they started with.
class LostDeviceHold {
  public:
    LostDeviceHold();
    ~LostDeviceHold();
    LostDeviceHold(const LostDeviceHold&) = delete;
    LostDeviceHold& operator=(const LostDeviceHold&) = delete;
};

} // namespace devicelink
