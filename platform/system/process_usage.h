// What the system tells of the running program's use of the machine, for the benchmarks: its
// time on a CPU, its resident memory now and at its peak, and its account of the calling
// thread. A figure this system does not tell is absent, never made up.
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace platform {

// User plus system time of the whole process so far, in seconds.
std::optional<double> processCpuSeconds();

// The process's resident memory now, and the most it has been since the program started, in
// KiB (Linux: /proc/self/statm and VmHWM of /proc/self/status; Windows: the working set and
// its peak).
std::optional<qint64> residentKiB();
std::optional<qint64> peakResidentKiB();
// What the system calls that peak: "VmHWM" on Linux, "peak working set" on Windows.
QString peakResidentName();

// The system's account of the calling thread: time on a CPU and time runnable but waiting for
// one, context switches and page faults; and of the machine: the time the hypervisor ran
// something else on its virtual CPUs ("steal", all CPUs together, in steps of a clock tick).
struct ThreadUsage {
    qint64 cpuNs = 0;
    qint64 waitNs = 0;
    long involuntarySwitches = 0;
    long voluntarySwitches = 0;
    long majorFaults = 0;
    long minorFaults = 0;
    qint64 machineStealMs = 0;
};
ThreadUsage operator-(const ThreadUsage& later, const ThreadUsage& earlier);

// The account now (Linux: /proc/thread-self/schedstat, getrusage and /proc/stat). Absent where
// the system keeps no such account: Windows tells neither the time a thread waited for a CPU
// nor its switches, faults or the machine's steal.
std::optional<ThreadUsage> threadUsage();

} // namespace platform
