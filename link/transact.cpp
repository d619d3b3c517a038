#include "link/transact.h"

#include "codec/escaped_bytes.h"
#include "codec/message_number.h"
#include "platform/serial/pdq.h"
#include "platform/system/logging.h"
#include "platform/system/waits.h"
#include "platform/widgets/message_box.h"

namespace devicelink {

namespace {

constexpr int kTransmitPollLimit = 20000;
constexpr int kPassesPerAttempt = 3;

int reopenHolds = 0;

// One pass of the reply wait sleeps by the expected length; the modes -1, -2 and -3 turn
// it into the length the later passes use.
void sleepOnePass(int& expectedLength) {
    auto& w = platform::waits();
    if (expectedLength == 0) {
        w.sleep(100);
    } else if (expectedLength == -1) {
        w.sleep(5000);
        expectedLength = 0;
    } else if (expectedLength == -2) {
        w.sleep(1000);
        expectedLength = 0;
    } else if (expectedLength == -3) {
        expectedLength = 13;
        w.sleep(200);
    } else {
        w.sleep(5 * expectedLength);
    }
}

// The wait mode of the controller program for each way of waiting.
qint16 waitMode(ReplyWait wait) {
    switch (wait) {
    case ReplyWait::IdentityBlock:
        return 22;
    case ReplyWait::TableLine:
        return -3;
    case ReplyWait::OneSecond:
        return -2;
    case ReplyWait::TenthOfASecond:
        return 0;
    case ReplyWait::FiveSeconds:
        return -1;
    }
    return 0; // not reached: every way of waiting has its line above
}

// One exchange, the wait mode in `status` on the way in, the status on the way out.
void exchange(const QString& command, QByteArray& reply, qint16& status, QString& errorText) {
    auto& comm = platform::PDQ().Comm1();
    auto& w = platform::waits();
    const qint64 started = w.nowMs();
    const QByteArray line = command.toLatin1();

    int vExpectedLen = status;
    int vLoopCount = 0;
    int vRxCount = 0;
    qint16 iRetryCount = 0;

    for (;;) {
        // Stale input and unsent output of an earlier exchange are thrown away.
        comm.discardReceive();
        comm.discardTransmit();
        if (!comm.output(line)) {
            // The command never reached the line (port gone, write refused): no reply can
            // come, so the exchange fails at once as one that got none, whatever the mode.
            status = kRetryErrorStatus;
            errorText = QLatin1String(kRetryErrorText);
            reply.clear();
            qCInfo(lcLink).noquote()
                << "could not send" << codec::EscapedBytes(line) << ":" << comm.lastError();
            return;
        }
        qCDebug(lcLink).noquote() << "sent" << codec::EscapedBytes(line) << "mode" << status;

        // Transmit wait: a bounded poll, no sleep. Reaching the bound is not an error; a
        // count that cannot be read ends the poll.
        vLoopCount = 1;
        int unsent = 0;
        do {
            ++vLoopCount;
            if (!comm.transmitCount(unsent))
                unsent = 0;
        } while (vLoopCount < kTransmitPollLimit && unsent != 0);

        vLoopCount = 0;
        comm.setReadLength(0);
        do {
            w.yield();
            sleepOnePass(vExpectedLen);
            ++vLoopCount;
            int waiting = 0;
            if (comm.receiveCount(waiting))
                vRxCount = waiting;
        } while (vLoopCount < kPassesPerAttempt && vRxCount < vExpectedLen);

        // A reply taken from a port that cannot be read is empty, never a stale one.
        if (!comm.input(reply))
            reply.clear();
        if (vLoopCount >= kPassesPerAttempt) {
            // Not complete within two passes: the attempt failed, whatever came since.
            status = kRetryErrorStatus;
            ++iRetryCount;
            if (iRetryCount >= 3) {
                errorText = QLatin1String(kRetryErrorText);
                break;
            }
        } else {
            status = 0;
        }
        ++iRetryCount;
        if (status == 0)
            break;
        qCDebug(lcLink).noquote() << "no complete reply, got" << codec::EscapedBytes(reply)
                                  << "- resending";
    }
    qCDebug(lcLink).noquote() << "received" << codec::EscapedBytes(reply) << "status" << status
                              << "after" << (w.nowMs() - started) << "ms";
}

} // namespace

ExchangeResult Exchange(const QString& command, ReplyWait wait) {
    ExchangeResult result;
    result.status = waitMode(wait);
    exchange(command, result.reply, result.status, result.errorText);
    return result;
}

void Transact(const QString& command, QByteArray& reply, qint16& status, QString& errorText) {
    ReopenLostDevice();
    exchange(command, reply, status, errorText);
}

bool ReopenLostDevice() {
    auto& comm = platform::PDQ().Comm1();
    if (reopenHolds > 0 || !comm.deviceLost())
        return false;
    const bool reopened = comm.reopenLostDevice();
    qCInfo(lcLink).noquote() << "device lost; reopening"
                             << (reopened ? QStringLiteral("succeeded")
                                          : QStringLiteral("failed: ") + comm.lastError());
    return reopened;
}

LostDeviceHold::LostDeviceHold() {
    ++reopenHolds;
}

LostDeviceHold::~LostDeviceHold() {
    --reopenHolds;
}

bool LostDeviceHold::held() {
    return reopenHolds > 0;
}

void ReportCommError(qint16 status, const QString& errorText) {
    platform::MsgBox(
        QStringLiteral("Communication ERROR Occurred. iStatus = ") +
            codec::MessageNumberText(status) + QStringLiteral(", ") + errorText +
            QStringLiteral("\r\n") +
            QStringLiteral("Make sure TQ-8400 is powered, and communication cable is connected!"),
        platform::vbOKOnly, QStringLiteral("Communications Error"));
}

} // namespace devicelink
