// The process's use of the machine as Windows tells it: GetProcessTimes and the process's
// memory counters. Windows keeps no account of a thread's waits for a CPU, its switches or
// faults, nor of the machine's steal, so the thread account is absent.
#include "platform/system/process_usage.h"

#include <windows.h>
// psapi.h after windows.h.
#include <psapi.h>

namespace platform {

namespace {

std::optional<PROCESS_MEMORY_COUNTERS> memoryCounters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return std::nullopt;
    return counters;
}

// A FILETIME span (100 ns steps) in seconds.
double seconds(const FILETIME& time) {
    ULARGE_INTEGER steps;
    steps.LowPart = time.dwLowDateTime;
    steps.HighPart = time.dwHighDateTime;
    return double(steps.QuadPart) / 1e7;
}

} // namespace

std::optional<double> processCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user))
        return std::nullopt;
    return seconds(kernel) + seconds(user);
}

std::optional<qint64> residentKiB() {
    const std::optional<PROCESS_MEMORY_COUNTERS> counters = memoryCounters();
    if (!counters)
        return std::nullopt;
    return qint64(counters->WorkingSetSize / 1024);
}

std::optional<qint64> peakResidentKiB() {
    const std::optional<PROCESS_MEMORY_COUNTERS> counters = memoryCounters();
    if (!counters)
        return std::nullopt;
    return qint64(counters->PeakWorkingSetSize / 1024);
}

QString peakResidentName() {
    return QStringLiteral("peak working set");
}

std::optional<ThreadUsage> threadUsage() {
    return std::nullopt;
}

} // namespace platform
