// The command transaction on a fake clock and a fake port: waits, passes, resends.
#include "fakes.h"
#include "link/serial_port.h"
#include "link/transact.h"
#include "platform/serial/pdq.h"

#include <gtest/gtest.h>

#include <memory>

using testsupport::BoxAnswerer;
using testsupport::Delivery;
using testsupport::FakePort;
using testsupport::FakeWaits;

namespace {

const QString kIdentityCommand = QStringLiteral(">(00F00 RX 22)\r\n");
const QByteArray kIdentityReply = "05/19/00DB-2.105/02/00";

class TransactTest : public ::testing::Test {
  protected:
    // Runs one transaction and returns the status.
    qint16 run(const QString& command, qint16 mode) {
        status = mode;
        devicelink::Transact(command, reply, status, errorText);
        return status;
    }

    // The same reply to every command, `afterMs` after it was sent.
    void answerEveryCommand(const QByteArray& bytes, qint64 afterMs) {
        port->responder = [bytes, afterMs](const QByteArray&, int) {
            return std::vector<Delivery>{{afterMs, bytes}};
        };
    }

    testsupport::FakeLink link;
    FakeWaits& waits = link.waits;
    FakePort* port = link.port;
    QByteArray reply = "left over";
    qint16 status = 0;
    QString errorText;
};

TEST_F(TransactTest, EachWaitModeSleepsItsPassLengthWhenNothingComes) {
    struct Case {
        qint16 mode;
        std::vector<int> sleeps;
        qint16 status;
        int sends;
    };
    const std::vector<Case> cases = {
        {22, {110, 110, 110, 110, 110, 110}, 4, 2},
        {11, {55, 55, 55, 55, 55, 55}, 4, 2},
        {0, {100}, 0, 1},
        {-1, {5000}, 0, 1},
        {-2, {1000}, 0, 1},
        // The resend keeps the length the first pass turned the mode into.
        {-3, {200, 65, 65, 65, 65, 65}, 4, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        waits.sleeps.clear();
        port->sent.clear();
        EXPECT_EQ(run(kIdentityCommand, c.mode), c.status);
        EXPECT_EQ(waits.sleeps, c.sleeps);
        EXPECT_EQ(int(port->sent.size()), c.sends);
        EXPECT_TRUE(reply.isEmpty());
    }
}

TEST_F(TransactTest, NoReplyInModeTwentyTwoFailsAfterTwoSendsAndSixPasses) {
    EXPECT_EQ(run(kIdentityCommand, 22), 4);
    ASSERT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(port->sent[0], kIdentityCommand.toLatin1());
    EXPECT_EQ(port->sent[1], kIdentityCommand.toLatin1());
    EXPECT_EQ(waits.sleeps, std::vector<int>(6, 110));
    EXPECT_EQ(errorText, QStringLiteral("RS-232 Retry Error"));
    EXPECT_TRUE(reply.isEmpty());
    // One yield before every pass's sleep.
    QStringList expected;
    for (int pass = 0; pass < 6; ++pass)
        expected << QStringLiteral("yield") << QStringLiteral("sleep 110");
    EXPECT_EQ(waits.events, expected);
}

TEST_F(TransactTest, ReplyCompleteInFirstOrSecondPassSucceeds) {
    for (const qint64 arrival : {0, 109, 110, 219, 220}) {
        SCOPED_TRACE(arrival);
        waits.sleeps.clear();
        port->sent.clear();
        answerEveryCommand(kIdentityReply, arrival);
        EXPECT_EQ(run(kIdentityCommand, 22), 0);
        EXPECT_EQ(reply, kIdentityReply);
        EXPECT_EQ(port->sent.size(), 1u);
        EXPECT_EQ(waits.sleeps, std::vector<int>(arrival <= 110 ? 1 : 2, 110));
    }
}

TEST_F(TransactTest, ReplyCompletingOnlyInThirdPassFailsAndIsSentAgain) {
    answerEveryCommand(kIdentityReply, 221);
    EXPECT_EQ(run(kIdentityCommand, 22), 4);
    EXPECT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(errorText, QStringLiteral("RS-232 Retry Error"));
    // The reply of the second attempt is handed back all the same.
    EXPECT_EQ(reply, kIdentityReply);
}

TEST_F(TransactTest, PartialReplyIsReturnedWithTheFailure) {
    answerEveryCommand("05/19/00", 10);
    EXPECT_EQ(run(kIdentityCommand, 22), 4);
    EXPECT_EQ(reply, QByteArray("05/19/00"));
}

TEST_F(TransactTest, FailedFirstAttemptAndGoodResendSucceed) {
    port->responder = [](const QByteArray&, int index) {
        if (index == 0)
            return std::vector<Delivery>{};
        return std::vector<Delivery>{{30, kIdentityReply}};
    };
    errorText.clear();
    EXPECT_EQ(run(kIdentityCommand, 22), 0);
    EXPECT_EQ(reply, kIdentityReply);
    EXPECT_EQ(port->sent.size(), 2u);
    EXPECT_EQ(waits.sleeps, std::vector<int>({110, 110, 110, 110}));
    EXPECT_TRUE(errorText.isEmpty());
}

TEST_F(TransactTest, TakeWhatCameModesNeverFail) {
    for (const qint16 mode : {0, -1, -2}) {
        SCOPED_TRACE(mode);
        answerEveryCommand(" 50.0 PSIG", 20);
        EXPECT_EQ(run(QStringLiteral(">(0140A RX 11)\r\n"), mode), 0);
        EXPECT_EQ(reply, QByteArray(" 50.0 PSIG"));
        port->responder = nullptr;
        EXPECT_EQ(run(QStringLiteral(">(0140A RX 11)\r\n"), mode), 0);
        EXPECT_TRUE(reply.isEmpty());
    }
}

TEST_F(TransactTest, TableReadModeWaitsTwoHundredThenSixtyFive) {
    answerEveryCommand(">112:000,018\r", 150);
    EXPECT_EQ(run(QStringLiteral(">(00TRX 112)\r\n"), -3), 0);
    EXPECT_EQ(waits.sleeps, std::vector<int>({200}));
    EXPECT_EQ(reply, QByteArray(">112:000,018\r"));

    waits.sleeps.clear();
    answerEveryCommand(">112:000,018\r", 250);
    EXPECT_EQ(run(QStringLiteral(">(00TRX 112)\r\n"), -3), 0);
    EXPECT_EQ(waits.sleeps, std::vector<int>({200, 65}));

    // Complete only in the third pass of each attempt: a failure after the 65 ms resend.
    waits.sleeps.clear();
    answerEveryCommand(">112:000,018\r", 300);
    EXPECT_EQ(run(QStringLiteral(">(00TRX 112)\r\n"), -3), 4);
    EXPECT_EQ(waits.sleeps, std::vector<int>({200, 65, 65, 65, 65, 65}));
}

TEST_F(TransactTest, MoreCharactersThanExpectedAreAllKept) {
    const QByteArray longer = kIdentityReply + "\r\nEXTRA\0BYTES";
    answerEveryCommand(longer, 5);
    EXPECT_EQ(run(kIdentityCommand, 22), 0);
    EXPECT_EQ(reply, longer);
}

TEST_F(TransactTest, StaleInputIsDiscardedBeforeTheCommandGoesOut) {
    port->received = "stale reply from before";
    answerEveryCommand(kIdentityReply, 5);
    EXPECT_EQ(run(kIdentityCommand, 22), 0);
    EXPECT_EQ(reply, kIdentityReply);
}

TEST_F(TransactTest, RepliesKeepEveryByteIncludingNul) {
    const QByteArray withNul("\x00 72.5\xDF"
                             "F\x00\x00\x00",
                             11);
    answerEveryCommand(withNul, 5);
    EXPECT_EQ(run(QStringLiteral(">(0140A RX 11)\r\n"), -2), 0);
    EXPECT_EQ(reply, withNul);
}

TEST_F(TransactTest, TransmitPollIsBoundedByCount) {
    port->unsentAfterOutput = 5;
    port->unsentPollsBeforeEmpty = -1;
    answerEveryCommand(kIdentityReply, 5);
    EXPECT_EQ(run(kIdentityCommand, 22), 0);
    EXPECT_EQ(port->transmitPolls, 19999);
    EXPECT_EQ(reply, kIdentityReply);

    port->transmitPolls = 0;
    port->unsentPollsBeforeEmpty = 3;
    EXPECT_EQ(run(kIdentityCommand, 22), 0);
    EXPECT_EQ(port->transmitPolls, 4);
}

TEST_F(TransactTest, ClosedPortGivesAnEmptyReplyNotAStaleOne) {
    port->open = false;
    EXPECT_EQ(run(kIdentityCommand, 22), 4);
    EXPECT_TRUE(reply.isEmpty());
}

TEST_F(TransactTest, ACommandThatCannotReachTheLineFailsAtOnceInEveryMode) {
    answerEveryCommand(kIdentityReply, 5);
    for (const qint16 mode : {qint16(22), qint16(0), qint16(-1), qint16(-2), qint16(-3)}) {
        SCOPED_TRACE(mode);
        // A write refused by an open port, and a port whose device has gone away.
        for (const bool lost : {false, true}) {
            port->failOutput = !lost;
            if (lost)
                port->loseDevice();
            waits.sleeps.clear();
            port->reopenAttempts = 0;
            errorText.clear();
            EXPECT_EQ(run(kIdentityCommand, mode), 4);
            EXPECT_EQ(errorText, QStringLiteral("RS-232 Retry Error"));
            EXPECT_TRUE(reply.isEmpty());
            EXPECT_TRUE(waits.sleeps.empty()) << "no reply is waited for";
            // A lost device is tried once per exchange, never in a loop.
            EXPECT_EQ(port->reopenAttempts, lost ? 1 : 0);
        }
        port->failOutput = false;
        port->lost = false;
        port->open = true;
    }
    EXPECT_TRUE(port->sent.empty());
}

TEST_F(TransactTest, ALostDeviceThatIsBackIsOpenedAgainByTheNextExchange) {
    answerEveryCommand(kIdentityReply, 5);
    port->loseDevice();
    EXPECT_EQ(run(kIdentityCommand, 22), 4);
    port->deviceBack = true;
    EXPECT_EQ(run(kIdentityCommand, 22), 0);
    EXPECT_EQ(reply, kIdentityReply);
    EXPECT_EQ(port->reopenAttempts, 2);
    // Once open again, no further reopen is tried.
    EXPECT_EQ(run(kIdentityCommand, 22), 0);
    EXPECT_EQ(port->reopenAttempts, 2);
}

TEST_F(TransactTest, AHeldLostDeviceStaysLostUntilTheHoldEnds) {
    answerEveryCommand(kIdentityReply, 5);
    port->loseDevice();
    port->deviceBack = true;
    {
        const devicelink::LostDeviceHold hold;
        EXPECT_EQ(run(QStringLiteral(">(00T OFF)\r\n"), -2), 4);
        EXPECT_EQ(errorText, QStringLiteral("RS-232 Retry Error"));
        EXPECT_EQ(port->reopenAttempts, 0);
        EXPECT_TRUE(waits.sleeps.empty()) << "failed at once";
    }
    // The hold has ended: the device opens again, and the command goes on by itself (who
    // answers is the workbench's question, asked before it calls).
    EXPECT_EQ(run(QStringLiteral(">(0140A RX 11)\r\n"), -2), 0);
    EXPECT_EQ(port->reopenAttempts, 1);
    EXPECT_EQ(port->sent, (std::vector<QByteArray>{QByteArray(">(0140A RX 11)\r\n")}));
}

TEST_F(TransactTest, TheExchangeCallWaitsAsItsNamedWaitSays) {
    // Each named wait is the controller program's wait mode of the same name in the table
    // above: the same sleeps, the same sends and the same status when nothing comes.
    struct Case {
        devicelink::ReplyWait wait;
        std::vector<int> sleeps;
        qint16 status;
        int sends;
    };
    using devicelink::ReplyWait;
    const std::vector<Case> cases = {
        {ReplyWait::IdentityBlock, {110, 110, 110, 110, 110, 110}, 4, 2},
        {ReplyWait::TableLine, {200, 65, 65, 65, 65, 65}, 4, 2},
        {ReplyWait::OneSecond, {1000}, 0, 1},
        {ReplyWait::TenthOfASecond, {100}, 0, 1},
        {ReplyWait::FiveSeconds, {5000}, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.wait));
        waits.sleeps.clear();
        port->sent.clear();
        const devicelink::ExchangeResult result = devicelink::Exchange(kIdentityCommand, c.wait);
        EXPECT_EQ(waits.sleeps, c.sleeps);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.failed(), c.status != 0);
        EXPECT_EQ(result.errorText,
                  c.status != 0 ? QStringLiteral("RS-232 Retry Error") : QString());
        EXPECT_EQ(int(port->sent.size()), c.sends);
    }
    // A reply is handed back byte for byte.
    answerEveryCommand(kIdentityReply, 5);
    const devicelink::ExchangeResult read =
        devicelink::Exchange(kIdentityCommand, ReplyWait::IdentityBlock);
    EXPECT_FALSE(read.failed());
    EXPECT_EQ(read.reply, kIdentityReply);
    // Unlike the controller program's call, the exchange call never opens a lost device again.
    port->loseDevice();
    port->deviceBack = true;
    port->reopenAttempts = 0;
    EXPECT_TRUE(devicelink::Exchange(kIdentityCommand, ReplyWait::IdentityBlock).failed());
    EXPECT_EQ(port->reopenAttempts, 0);
    EXPECT_TRUE(devicelink::ReopenLostDevice());
    EXPECT_FALSE(devicelink::Exchange(kIdentityCommand, ReplyWait::IdentityBlock).failed());
}

TEST(ReportCommError, ShowsTheStandardBox) {
    BoxAnswerer boxes;
    devicelink::ReportCommError(4, QStringLiteral("RS-232 Retry Error"));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style, 0);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Communications Error"));
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("Communication ERROR Occurred. iStatus =  4, RS-232 Retry Error\r\n"
                             "Make sure TQ-8400 is powered, and communication cable is "
                             "connected!"));
}

class OpenPortTest : public TransactTest {};

TEST_F(OpenPortTest, MissingPortLeavesTheErrorAndAGoodPortThenOpens) {
    port->open = false;
    port->goodPorts = {2};
    EXPECT_FALSE(devicelink::OpenPort(5));
    EXPECT_FALSE(port->open);
    EXPECT_EQ(devicelink::OpenPortError(), QStringLiteral("No such file or directory"));
    EXPECT_EQ(port->settings, QStringLiteral("9600,N,8,1"));

    EXPECT_TRUE(devicelink::OpenPort(2));
    EXPECT_TRUE(port->open);
    EXPECT_EQ(port->portNumber, 2);
    EXPECT_TRUE(devicelink::OpenPortError().isEmpty());
}

TEST_F(OpenPortTest, BufferSizeFailuresAloneDoNotFail) {
    port->open = false;
    port->failBufferSizes = true;
    EXPECT_TRUE(devicelink::OpenPort(1));
    EXPECT_TRUE(port->open);
}

TEST_F(OpenPortTest, ClosePortDrainsAndIsBoundedForAStuckPort) {
    port->unsentAfterOutput = 10;
    port->unsentPollsBeforeEmpty = 3;
    port->output("x");
    devicelink::ClosePort();
    EXPECT_FALSE(port->open);
    EXPECT_GE(waits.yields, 4);
    EXPECT_LT(waits.now, 100);

    // A port that never drains holds the close for two seconds at most.
    port->open = true;
    port->unsentPollsBeforeEmpty = -1;
    port->output("x");
    const qint64 before = waits.now;
    devicelink::ClosePort();
    EXPECT_FALSE(port->open);
    EXPECT_GE(waits.now - before, 2000);
    EXPECT_LT(waits.now - before, 2100);
}

} // namespace
