// What the system tells of the program's use of the machine: the figures follow what the
// program does, in the units they claim.
#include "platform/system/process_usage.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

using namespace platform;

namespace {

constexpr qint64 kMiB = 1024;         // in KiB
constexpr int kDeadlineMs = 60000;    // for busy work that a loaded machine slows down
constexpr double kTickSeconds = 0.05; // coarser than any system's accounting step

// Keeps the CPU busy on this thread until `done` holds or the deadline passes; true when it
// held.
bool spinUntil(const std::function<bool()>& done) {
    QElapsedTimer wall;
    wall.start();
    volatile unsigned sink = 0;
    while (!done()) {
        if (wall.elapsed() > kDeadlineMs)
            return false;
        for (unsigned i = 0; i < 100000; ++i)
            sink = sink + i;
    }
    return true;
}

} // namespace

TEST(ProcessUsage, ResidentMemoryFollowsTouchedPagesAndThePeakNeverFalls) {
    const std::optional<qint64> before = residentKiB();
    ASSERT_TRUE(before.has_value());
    constexpr qint64 blockKiB = 64 * kMiB;
    {
        auto block = std::make_unique_for_overwrite<char[]>(blockKiB * 1024);
        // Resident only once written: one byte a page.
        for (qint64 at = 0; at < blockKiB * 1024; at += 4096)
            block[at] = char(at);
        const std::optional<qint64> held = residentKiB();
        const std::optional<qint64> peakHeld = peakResidentKiB();
        ASSERT_TRUE(held.has_value());
        ASSERT_TRUE(peakHeld.has_value());
        // In KiB: a figure in pages or bytes would be far off either way.
        EXPECT_GE(*held - *before, 48 * kMiB);
        EXPECT_LE(*held - *before, 80 * kMiB);
        EXPECT_GE(*peakHeld, *held);
        // Read before the block goes, so that nothing is optimised away.
        EXPECT_EQ(block[4096], char(4096));
    }
    const std::optional<qint64> peakAfter = peakResidentKiB();
    ASSERT_TRUE(peakAfter.has_value());
    EXPECT_GE(*peakAfter, *before + 48 * kMiB);
}

TEST(ProcessUsage, CpuTimeAdvancesWithBusyWorkAndNeverFasterThanTheWallClock) {
    const std::optional<double> start = processCpuSeconds();
    ASSERT_TRUE(start.has_value());
    QElapsedTimer wall;
    wall.start();
    double spent = 0;
    // A figure in milliseconds or microseconds would never reach this, or reach it at once.
    ASSERT_TRUE(spinUntil([&] {
        spent = processCpuSeconds().value_or(0) - *start;
        return spent >= 0.2;
    })) << "0.2 s of CPU time never showed";
    EXPECT_LE(spent, double(wall.elapsed()) / 1000.0 + kTickSeconds);
}

TEST(ProcessUsage, TheThreadAccountCountsOnlyTheCallingThread) {
    const std::optional<ThreadUsage> mainStart = threadUsage();
    if (!mainStart)
        GTEST_SKIP() << "this system keeps no account of a thread";
    // Another thread works for 0.2 s of its own time while this one waits for it.
    qint64 otherNs = -1;
    std::thread other([&] {
        const std::optional<ThreadUsage> start = threadUsage();
        if (!start)
            return;
        spinUntil([&] {
            otherNs = (*threadUsage() - *start).cpuNs;
            return otherNs >= 200000000;
        });
    });
    other.join();
    const std::optional<ThreadUsage> mainEnd = threadUsage();
    ASSERT_TRUE(mainEnd.has_value());
    EXPECT_GE(otherNs, 200000000) << "the other thread's time did not show in its account";
    EXPECT_LT((*mainEnd - *mainStart).cpuNs, 100000000)
        << "the other thread's time showed in this thread's account";

    // And this thread's own work shows in its own account.
    const ThreadUsage before = *threadUsage();
    ASSERT_TRUE(spinUntil([&] { return (*threadUsage() - before).cpuNs >= 100000000; }));
}
