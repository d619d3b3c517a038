// When the simulated controller's replies go out, on a clock the test moves: the delay, the
// order, the pace of the bytes, a full line, and when the line may be hung up.
#include "sim/reply_scheduler.h"

#include <gtest/gtest.h>

namespace {

using sim::ReplyScheduler;

constexpr qint64 kMs = 1000000;
constexpr qint64 kChar = ReplyScheduler::kCharacterNs;

struct FakeClock final : sim::Clock {
    qint64 nowNs() const override { return now; }
    qint64 now = 0;
};

// The bytes of the due piece, or "-" when nothing is due.
QByteArray due(ReplyScheduler& scheduler) {
    const auto piece = scheduler.duePiece();
    return piece ? piece->bytes.toByteArray() : QByteArray("-");
}

TEST(SimReplyScheduler, DelaysPacesCutsShortAndHangsUpOnTime) {
    FakeClock clock;

    // Delays: only a delayed reply waits, and no reply leaves before the one queued ahead.
    ReplyScheduler timed(clock, {30, false});
    EXPECT_EQ(timed.pollTimeoutMs(), -1); // nothing to send: wait for input as long as it takes
    ASSERT_TRUE(timed.queue("now", false));
    EXPECT_EQ(timed.pollTimeoutMs(), 0);
    const auto first = timed.duePiece();
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(first->starts);
    EXPECT_EQ(first->bytes, "now");
    EXPECT_TRUE(timed.wrote(3).replyDone);
    EXPECT_TRUE(timed.empty());

    ASSERT_TRUE(timed.queue("OK\r", true)); // due at 30 ms
    clock.now = 10 * kMs;
    ASSERT_TRUE(timed.queue("next", false)); // due at once, but behind the delayed one
    EXPECT_EQ(timed.nextDueNs(), 30 * kMs);
    EXPECT_EQ(timed.pollTimeoutMs(), 20);
    clock.now = 29 * kMs + kMs / 2;
    EXPECT_EQ(due(timed), "-");
    EXPECT_EQ(timed.pollTimeoutMs(), 1); // rounded up, never woken early
    clock.now = 30 * kMs;
    EXPECT_EQ(due(timed), "OK\r");
    EXPECT_TRUE(timed.wrote(3).replyDone);
    EXPECT_EQ(due(timed), "next");
    // The line took one byte of four: the rest is lost, and the reply is done with.
    const ReplyScheduler::Written cut = timed.wrote(1);
    EXPECT_FALSE(cut.replyDone);
    EXPECT_EQ(cut.lost, 3);
    EXPECT_TRUE(timed.empty());

    // An empty reply (cut to nothing) is still recorded once, then done.
    ASSERT_TRUE(timed.queue("", false));
    const auto empty = timed.duePiece();
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->starts);
    EXPECT_TRUE(empty->bytes.isEmpty());
    EXPECT_TRUE(timed.wrote(0).replyDone);

    // Pacing: one byte per character time; a late wake catches up, keeping the average rate.
    clock.now = 0;
    ReplyScheduler paced(clock, {0, true});
    ASSERT_TRUE(paced.queue("XYZW", false));
    const auto x = paced.duePiece();
    ASSERT_TRUE(x.has_value());
    EXPECT_TRUE(x->starts);
    EXPECT_EQ(x->bytes, "X");
    EXPECT_FALSE(paced.wrote(1).replyDone);
    EXPECT_EQ(paced.nextDueNs(), kChar);
    clock.now = kChar - 1;
    EXPECT_EQ(due(paced), "-");
    EXPECT_EQ(paced.pollTimeoutMs(), 1);
    clock.now = kChar;
    const auto y = paced.duePiece();
    ASSERT_TRUE(y.has_value());
    EXPECT_FALSE(y->starts); // recorded once, when its first byte went
    EXPECT_EQ(y->bytes, "Y");
    paced.wrote(1);
    clock.now = 5 * kChar; // woke late: the next byte is due at once
    EXPECT_EQ(due(paced), "Z");
    paced.wrote(1);
    EXPECT_EQ(paced.nextDueNs(), 3 * kChar);
    EXPECT_EQ(due(paced), "W");
    // A paced byte the line did not take cuts the reply short too.
    EXPECT_EQ(paced.wrote(0).lost, 1);
    EXPECT_TRUE(paced.empty());

    // A full queue turns the reply away and counts it.
    ReplyScheduler small(clock, {0, false}, 2);
    EXPECT_TRUE(small.queue("a", false));
    EXPECT_TRUE(small.queue("b", false));
    EXPECT_FALSE(small.queue("c", false));
    EXPECT_EQ(small.dropped(), 1u);
    EXPECT_EQ(small.waiting(), 2);

    // Hang-up: not while a reply waits; then after the settling time once the tool has read
    // everything, or after the longest wait whatever it left unread.
    clock.now = 0;
    ReplyScheduler last(clock, {100, false});
    ASSERT_TRUE(last.queue("OK", true));
    last.hangUpWhenSent();
    EXPECT_TRUE(last.hangupPending());
    EXPECT_FALSE(last.readyToHangUp(0));
    EXPECT_EQ(last.pollTimeoutMs(), 100);
    clock.now = 100 * kMs;
    EXPECT_EQ(due(last), "OK");
    last.wrote(2);
    EXPECT_EQ(last.pollTimeoutMs(), ReplyScheduler::kHangupCheckMs);
    const qint64 sent = clock.now;
    EXPECT_FALSE(last.readyToHangUp(0)); // the settling time starts now
    clock.now = sent + (ReplyScheduler::kHangupSettleMs - 1) * kMs;
    EXPECT_FALSE(last.readyToHangUp(0));
    clock.now = sent + ReplyScheduler::kHangupSettleMs * kMs;
    EXPECT_FALSE(last.readyToHangUp(2)); // the tool has not read it all yet
    EXPECT_TRUE(last.readyToHangUp(0));
    EXPECT_TRUE(last.readyToHangUp(std::nullopt)); // cannot tell: no reason to wait longer
    clock.now = sent + (ReplyScheduler::kHangupWaitMs - 1) * kMs;
    EXPECT_FALSE(last.readyToHangUp(2));
    clock.now = sent + ReplyScheduler::kHangupWaitMs * kMs;
    EXPECT_TRUE(last.readyToHangUp(2));

    // Without a hang-up asked for, the line never goes.
    EXPECT_FALSE(timed.hangupPending());
    EXPECT_FALSE(timed.readyToHangUp(0));
}

} // namespace
