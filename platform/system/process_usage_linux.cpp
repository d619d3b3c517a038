// The process's and the calling thread's use of the machine as Linux tells it: getrusage and
// the files of /proc.
#include "platform/system/process_usage.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cstdio>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace platform {

namespace {

// A field of /proc/self/status in KiB ("VmHWM: 28472 kB").
std::optional<qint64> statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith(key))
            continue;
        bool ok = false;
        const qint64 kib = line.mid(key.size()).simplified().split(' ').value(0).toLongLong(&ok);
        return ok ? std::optional<qint64>(kib) : std::nullopt;
    }
    return std::nullopt;
}

// The machine's steal time in milliseconds: the eighth number of /proc/stat's "cpu" line, in
// clock ticks.
qint64 machineStealMs() {
    static const int stat = open("/proc/stat", O_RDONLY | O_CLOEXEC);
    static const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (stat < 0 || ticksPerSecond <= 0)
        return 0;
    char text[256];
    const ssize_t length = pread(stat, text, sizeof text - 1, 0);
    if (length <= 0)
        return 0;
    text[length] = '\0';
    long long user, nice, system, idle, iowait, irq, softirq, steal;
    if (std::sscanf(text, "cpu %lld %lld %lld %lld %lld %lld %lld %lld", &user, &nice, &system,
                    &idle, &iowait, &irq, &softirq, &steal) != 8)
        return 0;
    return steal * 1000 / ticksPerSecond;
}

} // namespace

std::optional<double> processCpuSeconds() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return std::nullopt;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The second field of /proc/self/statm, in pages.
std::optional<qint64> residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    const long pageBytes = sysconf(_SC_PAGESIZE);
    if (pageBytes <= 0 || !statm.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    bool ok = false;
    const qint64 pages = fields.value(1).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return pages * pageBytes / 1024;
}

std::optional<qint64> peakResidentKiB() {
    return statusKiB("VmHWM");
}

QString peakResidentName() {
    return QStringLiteral("VmHWM");
}

std::optional<ThreadUsage> threadUsage() {
    ThreadUsage usage;
    // Kept open by each thread that asks: reading it again from the start costs one system call.
    static thread_local const int schedstat =
        open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    if (schedstat >= 0) {
        char text[128];
        const ssize_t length = pread(schedstat, text, sizeof text - 1, 0);
        if (length > 0) {
            text[length] = '\0';
            long long cpu = 0, wait = 0;
            if (std::sscanf(text, "%lld %lld", &cpu, &wait) == 2) {
                usage.cpuNs = cpu;
                usage.waitNs = wait;
            }
        }
    }
    rusage counts{};
    if (getrusage(RUSAGE_THREAD, &counts) == 0) {
        usage.involuntarySwitches = counts.ru_nivcsw;
        usage.voluntarySwitches = counts.ru_nvcsw;
        usage.majorFaults = counts.ru_majflt;
        usage.minorFaults = counts.ru_minflt;
    }
    usage.machineStealMs = machineStealMs();
    return usage;
}

} // namespace platform
