// The serial control on a real pseudo-terminal: the receive buffer holds what the control's
// buffer holds and no more, and keeps working after it overflowed.
#include "platform/serial/pdq_comm.h"
#include "sim_process.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// The controller's side of a pty, with the tool's side linked as COM1 in a directory.
class Pty {
  public:
    Pty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            return;
        const char* slave = ::ptsname(master);
        ok = slave && QFile::link(QString::fromLocal8Bit(slave), dir.filePath("COM1"));
    }
    ~Pty() {
        if (master >= 0)
            ::close(master);
    }
    // Writes what the line takes now; the count written.
    qint64 send(const QByteArray& bytes) {
        const ssize_t n = ::write(master, bytes.constData(), size_t(bytes.size()));
        return n < 0 ? 0 : n;
    }

    QTemporaryDir dir;
    int master = -1;
    bool ok = false;
};

// Bytes that tell their position: a lost or shifted byte shows.
QByteArray pattern(int length, int offset) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i)
        bytes[i] = char('A' + (offset + i) % 26);
    return bytes;
}

TEST(PdqCommOnAPty, ReceiveBufferHoldsAtMostItsSizeAndTheRestIsDropped) {
    Pty pty;
    ASSERT_TRUE(pty.ok);
    platform::PdqComm comm(pty.dir.path());
    ASSERT_TRUE(comm.setSettings(QStringLiteral("9600,N,8,1")));
    ASSERT_TRUE(comm.setReceiveBufferSize(4096));
    ASSERT_TRUE(comm.setPortNumber(1));
    ASSERT_TRUE(comm.setPortOpen(true)) << comm.lastError().toStdString();

    // A chattering line: far more than the buffer holds, read in as it comes.
    qint64 sent = 0;
    int count = 0;
    for (int round = 0; round < 200 && sent < 64 * 1024; ++round) {
        sent += pty.send(pattern(4096, int(sent)));
        ASSERT_TRUE(comm.receiveCount(count));
        ASSERT_LE(count, 4096);
    }
    ASSERT_GT(sent, 3 * 4096);
    ASSERT_TRUE(testsupport::waitUntil([&] { return comm.receiveCount(count) && count == 4096; }));
    QByteArray taken;
    ASSERT_TRUE(comm.input(taken));
    EXPECT_EQ(taken, pattern(4096, 0)) << "the first characters are kept, in order";

    // Once cleared, the buffer takes a reply again.
    ASSERT_TRUE(comm.discardReceive());
    ASSERT_EQ(pty.send(">112:000,018\r"), 13);
    ASSERT_TRUE(testsupport::waitUntil([&] { return comm.receiveCount(count) && count == 13; }));
    ASSERT_TRUE(comm.input(taken));
    EXPECT_EQ(taken, QByteArray(">112:000,018\r"));
}

} // namespace
