// The simulated controller under a flood: the queue of waiting replies stays within its limit,
// and the program keeps answering and still stops on SIGTERM while a tool floods its line.
#include "sim/controller.h"
#include "sim/launcher.h"
#include "sim/reply_queue.h"
#include "sim_process.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <ostream>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using sim::ReplyQueue;

std::vector<std::pair<qint64, QByteArray>> drain(ReplyQueue& queue) {
    std::vector<std::pair<qint64, QByteArray>> replies;
    while (!queue.empty()) {
        replies.emplace_back(queue.front().dueNs, queue.front().bytes);
        queue.pop();
    }
    return replies;
}

TEST(SimReplyQueue, HoldsAtMostItsLimitInTurnAndCountsWhatItDrops) {
    ReplyQueue queue(3);
    EXPECT_TRUE(queue.push(100, "a"));
    EXPECT_TRUE(queue.push(50, "b")); // never due before the reply ahead of it
    EXPECT_TRUE(queue.push(300, "c"));
    EXPECT_FALSE(queue.push(0, "d"));
    EXPECT_FALSE(queue.push(400, "e"));
    EXPECT_EQ(queue.size(), 3);
    EXPECT_EQ(queue.dropped(), 2u);

    // Once the oldest has gone there is room for one more, due after the rest.
    queue.pop();
    EXPECT_TRUE(queue.push(200, "f"));
    EXPECT_FALSE(queue.push(500, "g"));
    EXPECT_EQ(queue.dropped(), 3u);
    const std::vector<std::pair<qint64, QByteArray>> expected = {
        {100, "b"}, {300, "c"}, {300, "f"}};
    EXPECT_EQ(drain(queue), expected);

    // A flood of commands against the default limit: the queue never holds more.
    ReplyQueue flooded;
    constexpr int kPushes = 5000;
    for (int i = 0; i < kPushes; ++i)
        flooded.push(i, "OK\r");
    EXPECT_EQ(flooded.size(), ReplyQueue::kDefaultLimit);
    EXPECT_EQ(flooded.dropped(), quint64(kPushes - ReplyQueue::kDefaultLimit));
    EXPECT_EQ(drain(flooded).back().first, ReplyQueue::kDefaultLimit - 1);
}

// A table read no flood line asks for, and its reply (channel 45's default setup word 0x0200).
const QByteArray kProbe = ">(00TRX 125)\r\n";
const QByteArray kProbeReply = ">125:000,002\r";

constexpr int kPrepareDeadlineMs = 10000;
constexpr int kAnswerDeadlineMs = 5000;
constexpr int kStopDeadlineMs = 2000;
// Flood bytes before the probe goes, and how much and how long the flood may go on at most.
constexpr qint64 kFloodBeforeProbe = qint64(1) << 20;
constexpr qint64 kFloodCapBytes = qint64(32) << 20;
constexpr int kFloodCapMs = 10000;

// The tool's side of the line opened as the tool opens it: raw and without blocking.
int openToolSide(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(fd, TCSANOW, &settings);
    return fd;
}

// One round of the flood: short garbage lines (NUL, CR, tab and high bytes among printable
// ones, but never '>', so no garbage line is a command), commands the controller answers, and
// a line far past the 4096-byte limit. Short lines make the most work for the simulator, which
// logs every line. The round ends at a line end, so the probe can follow it whole.
QByteArray floodBlock() {
    static const QByteArray kAlphabet =
        QByteArray("abcdefXYZ0123456789 .,:;+-*/()", 30) + QByteArray("\0\r\t\xDF\xFF", 5);
    quint32 x = 8400;
    const auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    QByteArray block;
    for (int line = 0; line < 1024; ++line) {
        const quint32 length = next() % 24;
        for (quint32 i = 0; i < length; ++i)
            block += kAlphabet[qsizetype(next() % kAlphabet.size())];
        block += "\r\n";
        if (line % 32 == 31)
            block += ">(00F00 RX 22)\r\n";
    }
    block += QByteArray(5000, 'x') + '\n';
    block += ">(0140A RX 11)\r\n>(00TRX 112)\r\n";
    return block;
}

// Floods the tool's side from its own thread, round after round, until told to stop, the line
// goes away under it, or the cap is reached. Asked to, it sends the probe between two rounds.
class Flooder {
  public:
    enum class End { Running, Told, LineGone, Cap };

    explicit Flooder(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~Flooder() {
        stop_ = true;
        thread_.join();
    }
    Flooder(const Flooder&) = delete;
    Flooder& operator=(const Flooder&) = delete;

    void sendProbe() { probe_ = true; }
    qint64 written() const { return written_; }
    End end() const { return end_; }

  private:
    void run() {
        const QByteArray block = floodBlock();
        cap_ = QDeadlineTimer(kFloodCapMs);
        while (written_ < kFloodCapBytes) {
            if (probe_.exchange(false) && !writeWhole(kProbe))
                return;
            if (!writeWhole(block))
                return;
        }
        end_ = End::Cap;
    }

    // Writes all of `bytes`, waiting for room as it goes; false once the flood is over.
    bool writeWhole(const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            if (stop_ || cap_.hasExpired()) {
                end_ = stop_ ? End::Told : End::Cap;
                return false;
            }
            pollfd pfd{fd_, POLLOUT, 0};
            if (::poll(&pfd, 1, 20) <= 0)
                continue;
            if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
                end_ = End::LineGone;
                return false;
            }
            const ssize_t n =
                ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n > 0) {
                done += n;
                written_ += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                end_ = End::LineGone;
                return false;
            }
        }
        return true;
    }

    const int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> probe_{false};
    std::atomic<qint64> written_{0};
    std::atomic<End> end_{End::Running};
    QDeadlineTimer cap_;
    std::thread thread_; // last: starts once the rest is set up
};

void PrintTo(Flooder::End end, std::ostream* out) {
    constexpr const char* kNames[] = {"running", "told to stop", "line gone", "cap reached"};
    *out << kNames[int(end)];
}

// Reads what the simulator sends into `received` until `done` holds or the deadline passes.
bool readUntil(int fd, QByteArray& received, const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 10) <= 0 || !(pfd.revents & POLLIN))
            continue;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, n);
    }
    return true;
}

struct Port {
    int fd = -1;
    ~Port() {
        if (fd >= 0)
            ::close(fd);
    }
};

TEST(SimFlood, CommandIsAnsweredAndSigtermStopsItWhileFlooded) {
    sim::Launcher simulator;
    ASSERT_TRUE(simulator.start()) << qPrintable(simulator.error());
    Port port{openToolSide(simulator.linkPath())};
    ASSERT_GE(port.fd, 0) << std::strerror(errno);
    Flooder flood(port.fd);

    // Well into the flood, a command is answered in its turn, and so are the flood's own.
    QByteArray received;
    ASSERT_TRUE(readUntil(
        port.fd, received, [&] { return flood.written() >= kFloodBeforeProbe; },
        kPrepareDeadlineMs))
        << "the flood did not get going: " << flood.written() << " bytes";
    flood.sendProbe();
    QElapsedTimer answer;
    answer.start();
    EXPECT_TRUE(readUntil(
        port.fd, received, [&] { return received.contains(kProbeReply); }, kAnswerDeadlineMs))
        << "no reply " << answer.elapsed() << " ms after the command, " << flood.written()
        << " bytes into the flood";
    ::testing::Test::RecordProperty("answer_ms", int(answer.elapsed()));
    const sim::Controller controller;
    EXPECT_TRUE(received.contains(controller.identity()));
    EXPECT_TRUE(received.contains(controller.liveReading(0)));
    EXPECT_TRUE(received.contains(">112:000,018\r"));

    // SIGTERM while the flood goes on ends the program at once, the normal way.
    ASSERT_EQ(flood.end(), Flooder::End::Running) << "the flood ended before SIGTERM";
    QElapsedTimer stopping;
    stopping.start();
    EXPECT_TRUE(simulator.terminate(kStopDeadlineMs))
        << "still running " << stopping.elapsed() << " ms after SIGTERM";
    ::testing::Test::RecordProperty("stop_ms", int(stopping.elapsed()));
    EXPECT_EQ(simulator.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(simulator.linkPath()).isSymLink());
    // The flood was still on: the line went away under it.
    EXPECT_TRUE(testsupport::waitUntil([&] { return flood.end() != Flooder::End::Running; },
                                       kStopDeadlineMs));
    EXPECT_EQ(flood.end(), Flooder::End::LineGone);
}

} // namespace
