// The device link on a real pseudo-terminal against the simulated controller.
#include "link/serial_port.h"
#include "link/transact.h"
#include "platform/serial/pdq.h"
#include "platform/serial/pdq_comm.h"
#include "sim_process.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using testsupport::SimProcess;

namespace {

const QString kIdentityCommand = QStringLiteral(">(00F00 RX 22)\r\n");

class LinkSimTest : public ::testing::Test {
  protected:
    void TearDown() override {
        devicelink::ClosePort();
        platform::PDQ().replaceComm1(nullptr);
    }

    // Points the program's port lookup at the simulator's directory and opens port 1.
    void attach(const SimProcess& sim) {
        platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));
        ASSERT_TRUE(devicelink::OpenPort(1)) << devicelink::OpenPortError().toStdString();
    }

    qint16 transact(const QString& command, qint16 mode) {
        status = mode;
        devicelink::Transact(command, reply, status, errorText);
        return status;
    }

    QByteArray reply;
    qint16 status = 0;
    QString errorText;
};

TEST_F(LinkSimTest, IdentityBlockIsReadOverTheLine) {
    SimProcess sim;
    ASSERT_TRUE(sim.start());
    attach(sim);
    EXPECT_EQ(transact(kIdentityCommand, 22), 0);
    EXPECT_EQ(reply.size(), 22);
    const auto log = sim.log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].dir, QStringLiteral("in"));
    EXPECT_EQ(log[0].text, QByteArray(">(00F00 RX 22)"));
    EXPECT_EQ(log[1].dir, QStringLiteral("out"));
    EXPECT_EQ(log[1].text, reply);

    // Closing and opening the port again finds the controller still there.
    devicelink::ClosePort();
    EXPECT_FALSE(platform::PDQ().Comm1().portOpen());
    ASSERT_TRUE(devicelink::OpenPort(1));
    EXPECT_EQ(transact(kIdentityCommand, 22), 0);
    EXPECT_EQ(reply.size(), 22);
}

TEST_F(LinkSimTest, SilentControllerFailsAfterExactlyTwoSends) {
    SimProcess sim({QStringLiteral("--silent")});
    ASSERT_TRUE(sim.start());
    attach(sim);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(transact(kIdentityCommand, 22), 4);
    EXPECT_GE(clock.elapsed(), 6 * 110);
    EXPECT_EQ(errorText, QStringLiteral("RS-232 Retry Error"));
    EXPECT_TRUE(reply.isEmpty());
    ASSERT_TRUE(testsupport::waitUntil([&] { return sim.commands().size() >= 2; }, 5000));
    const auto commands = sim.commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], QByteArray(">(00F00 RX 22)"));
    EXPECT_EQ(commands[1], QByteArray(">(00F00 RX 22)"));
}

TEST_F(LinkSimTest, MissingDeviceIsReportedThenTheSimulatorOpens) {
    SimProcess sim({}, 3);
    ASSERT_TRUE(sim.start());
    platform::PDQ().replaceComm1(std::make_unique<platform::PdqComm>(sim.directory()));
    EXPECT_FALSE(devicelink::OpenPort(4)); // no COM4 here, and no such system port
    EXPECT_FALSE(platform::PDQ().Comm1().portOpen());
    EXPECT_FALSE(devicelink::OpenPortError().isEmpty());
    EXPECT_TRUE(devicelink::OpenPort(3));
    EXPECT_EQ(transact(kIdentityCommand, 22), 0);
}

TEST_F(LinkSimTest, ControllerThatHangsUpLeavesTheLinkQuietAndClosable) {
    SimProcess sim({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    ASSERT_TRUE(sim.start());
    attach(sim);
    EXPECT_EQ(transact(kIdentityCommand, 22), 0);
    // The device is gone: readings come back empty and fail once the loss is seen, nothing
    // hangs, the port still closes.
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return transact(QStringLiteral(">(0140A RX 11)\r\n"), -2) == 4 && reply.isEmpty();
    }));
    EXPECT_EQ(transact(kIdentityCommand, 22), 4);
    EXPECT_TRUE(reply.isEmpty());
    QElapsedTimer clock;
    clock.start();
    devicelink::ClosePort();
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_FALSE(platform::PDQ().Comm1().portOpen());
}

TEST_F(LinkSimTest, ALostDeviceIsOpenedAgainOnceItIsBack) {
    SimProcess sim({QStringLiteral("--hangup-after"), QStringLiteral("1")});
    ASSERT_TRUE(sim.start());
    attach(sim);
    EXPECT_EQ(transact(kIdentityCommand, 22), 0);
    // The controller hangs up; while it is gone every exchange fails and none hangs.
    ASSERT_TRUE(testsupport::waitUntil(
        [&] { return transact(QStringLiteral(">(0140A RX 11)\r\n"), -2) == 4; }));
    EXPECT_TRUE(platform::PDQ().Comm1().deviceLost());
    EXPECT_EQ(transact(kIdentityCommand, 22), 4);
    EXPECT_EQ(errorText, QStringLiteral("RS-232 Retry Error"));

    // The same port comes back (a new pty behind the same COM1): the next exchange opens it,
    // and its own command goes on (the workbench asks who answers first; see
    // workbench_controller_identity_test).
    ASSERT_TRUE(testsupport::waitUntil([&] { return sim.exitCode() == 0; }));
    SimProcess back({}, 1, sim.directory());
    ASSERT_TRUE(back.start()) << back.error().toStdString();
    EXPECT_EQ(transact(kIdentityCommand, 22), 0);
    EXPECT_EQ(reply, QByteArray("11/03/00 V2.1 10/27/00"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !back.commands().empty(); }));
    EXPECT_EQ(back.commands(), (std::vector<QByteArray>{">(00F00 RX 22)"}));
}

} // namespace
