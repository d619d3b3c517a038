// The serial control of this system against the simulated controller, on both systems: a read
// with nothing waiting returns at once, a long reply arrives whole and in order, what arrives
// and a device that goes away are taken in while only the event loop runs, and a port opened
// and closed again and again stays usable.
#include "platform/serial/pdq_comm.h"
#include "sim_process.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>

using testsupport::SimProcess;
using testsupport::waitUntil;

namespace {

const QByteArray kIdentityCommand = QByteArrayLiteral(">(00F00 RX 22)\r\n");
const QByteArray kIdentity = QByteArrayLiteral("11/03/00 V2.1 10/27/00");

// Bytes that tell their position: a lost, doubled or shifted byte shows.
QByteArray pattern(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char('A' + i % 26 + (i / 26) % 6);
    return bytes;
}

// The control on port 1 of the simulator's directory, opened with the tool's settings.
std::unique_ptr<platform::PdqComm> openOn(const SimProcess& sim, int receiveBufferSize = 4096) {
    auto comm = std::make_unique<platform::PdqComm>(sim.directory());
    EXPECT_TRUE(comm->setSettings(QStringLiteral("9600,N,8,1")));
    EXPECT_TRUE(comm->setReceiveBufferSize(receiveBufferSize));
    EXPECT_TRUE(comm->setPortNumber(1));
    EXPECT_TRUE(comm->setPortOpen(true)) << comm->lastError().toStdString();
    return comm;
}

TEST(SerialLine, WithNothingWaitingReadsAndCountsReturnAtOnceAndEmpty) {
    SimProcess sim({QStringLiteral("--silent")});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    auto comm = openOn(sim);
    ASSERT_TRUE(comm->output(kIdentityCommand));
    for (int round = 0; round < 20; ++round) {
        QElapsedTimer clock;
        clock.start();
        int count = -1;
        ASSERT_TRUE(comm->receiveCount(count));
        QByteArray bytes("stale");
        ASSERT_TRUE(comm->input(bytes));
        EXPECT_EQ(count, 0);
        EXPECT_TRUE(bytes.isEmpty());
        EXPECT_LT(clock.elapsed(), 500) << "round " << round;
    }
    EXPECT_FALSE(comm->deviceLost());
}

// Replies around the size of one read of the driver's queue, and one of several.
TEST(SerialLine, ALongReplyArrivesWholeAndInOrder) {
    for (const int length : {1, 4095, 4096, 4097, 10000}) {
        SCOPED_TRACE(length);
        const QByteArray reply = pattern(length);
        SimProcess sim({QStringLiteral("--identity"), QString::fromLatin1(reply)});
        ASSERT_TRUE(sim.start()) << sim.error().toStdString();
        auto comm = openOn(sim, 16384);
        ASSERT_TRUE(comm->output(kIdentityCommand));
        int count = 0;
        ASSERT_TRUE(waitUntil([&] { return comm->receiveCount(count) && count >= length; }));
        QByteArray bytes;
        ASSERT_TRUE(comm->input(bytes));
        EXPECT_EQ(bytes.size(), length);
        EXPECT_TRUE(bytes == reply);
        ASSERT_TRUE(comm->receiveCount(count));
        EXPECT_EQ(count, 0);
    }
}

// The controller answers, waits until its answer has been taken off the line, and hangs up.
// The program calls nothing meanwhile: the control takes the answer in and notices the loss
// on its own, and still hands the answer over afterwards.
TEST(SerialLine, WhileOnlyTheEventLoopRunsTheAnswerIsTakenInAndTheLossNoticed) {
    SimProcess sim({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    auto comm = openOn(sim);
    ASSERT_TRUE(comm->output(kIdentityCommand));
    ASSERT_TRUE(waitUntil([&] { return comm->deviceLost(); }));
    EXPECT_FALSE(comm->portOpen());
    EXPECT_TRUE(comm->lastError().contains(QStringLiteral("device lost")))
        << comm->lastError().toStdString();
    QByteArray bytes;
    ASSERT_TRUE(comm->input(bytes));
    EXPECT_EQ(bytes, kIdentity);
    ASSERT_TRUE(waitUntil([&] { return sim.exitCode() == 0; }));
}

TEST(SerialLine, APortOpenedAndClosedAgainAndAgainAnswersEachTime) {
    SimProcess sim;
    ASSERT_TRUE(sim.start()) << sim.error().toStdString();
    auto comm = openOn(sim);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(comm->portOpen());
        ASSERT_TRUE(comm->output(kIdentityCommand));
        int count = 0;
        ASSERT_TRUE(waitUntil([&] { return comm->receiveCount(count) && count >= 22; }));
        QByteArray bytes;
        ASSERT_TRUE(comm->input(bytes));
        EXPECT_EQ(bytes, kIdentity);
        QElapsedTimer clock;
        clock.start();
        ASSERT_TRUE(comm->setPortOpen(false));
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_FALSE(comm->portOpen());
        ASSERT_TRUE(comm->setPortOpen(true)) << comm->lastError().toStdString();
    }
    EXPECT_FALSE(comm->deviceLost());
}

} // namespace
