// One command/reply exchange with the controller.
#pragma once

#include <QByteArray>
#include <QString>

namespace devicelink {

// The status and error text of an exchange that got no complete reply after its two attempts,
// or that could not be sent at all.
inline constexpr qint16 kRetryErrorStatus = 4;
inline constexpr char kRetryErrorText[] = "RS-232 Retry Error";

// How an exchange waits for its reply. A reply waited for by its length that is not complete
// by the end of the second pass fails the attempt, and a failed first attempt is sent once
// more; the others take whatever came within their one pass.
enum class ReplyWait {
    // The 22 characters of the identity block, in passes of 110 ms.
    IdentityBlock,
    // The 13 characters of a table line: a first pass of 200 ms, then passes of 65 ms.
    TableLine,
    // Whatever came within 1000 ms (a live reading, a write command).
    OneSecond,
    // Whatever came within 100 ms.
    TenthOfASecond,
    // Whatever came within 5000 ms.
    FiveSeconds,
};

// What an exchange got: the bytes that were waiting, byte for byte, and the status, 0 or
// kRetryErrorStatus with kRetryErrorText as the error text.
struct ExchangeResult {
    QByteArray reply;
    qint16 status = 0;
    QString errorText;

    bool failed() const { return status != 0; }
};

// Sends `command` (CR LF included) and waits for the reply as `wait` says. Nothing comes
// before it: a caller that must know who answers, or that may find a lost device back, says so
// before it calls.
ExchangeResult Exchange(const QString& command, ReplyWait wait);

// The same exchange in the controller program's own terms: the wait mode comes in `status`
// (n > 0 waits for n characters in passes of 5 x n ms, 0 takes what came in 100 ms, -1 in
// 5000 ms, -2 in 1000 ms, -3 waits for 13 characters as a table line does), and the status
// goes back out in it. A lost device is tried once first (ReopenLostDevice).
void Transact(const QString& command, QByteArray& reply, qint16& status, QString& errorText);

// The standard box for a failed exchange.
void ReportCommError(qint16 status, const QString& errorText);

// A device that went away (adapter pulled) may be back: one attempt to open it again, never a
// loop, so that the tool works again without a restart. Nothing is tried while a
// LostDeviceHold lives. True when the device has just been opened again: whatever answers
// there now has not said who it is yet.
bool ReopenLostDevice();

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

    // Whether one lives now.
    static bool held();
};

} // namespace devicelink
