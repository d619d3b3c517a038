// tq8400-bench-bare: the floors the workbench's soak is set against, run beside it.
//   --loop SECONDS    a bare Qt program (QCoreApplication) with the same 10 ms probe timer as
//                     the soak: the lateness the event loop itself allows on this machine;
//   --window SECONDS  a plain QWidget window shown on the offscreen platform, with the same
//                     probe: the resident memory of Qt Widgets with nothing of the tool in it.
// Prints "ready" when its probe runs, and at the end one line of key=value fields: worst
// lateness, the monotonic time of the worst tick, ticks, peak resident memory (VmHWM on Linux),
// the system's account of the run where it keeps one, and the longest single event.
#include "bench/loop_probe.h"
#include "platform/system/process_usage.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

[[noreturn]] void usage() {
    std::fprintf(stderr, "usage: tq8400-bench-bare --loop SECONDS | --window SECONDS [--size WxH]"
                         " [--late-log MS]\n");
    std::exit(2);
}

struct Options {
    bool window = false;
    int seconds = 0;
    int width = 0;
    int height = 0;
    double lateLogMs = 0;
};

// Read before any application object exists: QApplication is only made for --window.
Options parse(int argc, char* argv[]) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        if (i + 1 >= argc)
            usage();
        const char* value = argv[++i];
        char* end = nullptr;
        if (!std::strcmp(option, "--loop") || !std::strcmp(option, "--window")) {
            options.window = !std::strcmp(option, "--window");
            options.seconds = int(std::strtol(value, &end, 10));
            if (*end || options.seconds < 1)
                usage();
        } else if (!std::strcmp(option, "--size")) {
            if (std::sscanf(value, "%dx%d", &options.width, &options.height) != 2 ||
                options.width < 1 || options.height < 1)
                usage();
        } else if (!std::strcmp(option, "--late-log")) {
            options.lateLogMs = std::strtod(value, &end);
            if (*end || options.lateLogMs < 0)
                usage();
        } else {
            usage();
        }
    }
    if (options.seconds == 0)
        usage();
    return options;
}

int run(const Options& options) {
    const char* label = options.window ? "bare-window" : "bare-loop";
    std::unique_ptr<QWidget> window;
    if (options.window) {
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("bare window"));
        if (options.width > 0)
            window->resize(options.width, options.height);
        window->show();
    }
    bench::LoopProbe probe{QString::fromLatin1(label)};
    probe.setLateLog(options.lateLogMs);
    QTimer::singleShot(0, [&] {
        probe.start();
        std::printf("ready\n");
        std::fflush(stdout);
    });
    QTimer::singleShot(options.seconds * 1000, Qt::PreciseTimer, [] { QCoreApplication::quit(); });
    QCoreApplication::exec();

    const std::optional<bench::ThreadAccount> account = probe.account();
    const bench::HeldEvent held = bench::event_timing::sinceStart();
    const bench::HeldEvent stretch = bench::event_timing::stretchSinceStart();
    // One word a field: blanks in the event texts become underscores.
    const auto word = [](QString text) {
        return text.isEmpty() ? QStringLiteral("-") : text.replace(QLatin1Char(' '), u'_');
    };
    std::printf("%s worst_lateness_ms=%.3f worst_at_s=%s ticks=%ld", label, probe.worstMs(),
                qPrintable(bench::monotonicText(probe.worstAtNs())), probe.ticks());
    if (const std::optional<qint64> peak = platform::peakResidentKiB())
        std::printf(" peak_rss_kib=%lld", static_cast<long long>(*peak));
    // The system's account only where it keeps one.
    if (account)
        std::printf(" cpu_ms=%.1f cpu_wait_ms=%.1f involuntary_switches=%ld major_faults=%ld "
                    "steal_ms=%lld",
                    double(account->cpuNs) / 1e6, double(account->waitNs) / 1e6,
                    account->involuntarySwitches, account->majorFaults,
                    static_cast<long long>(account->machineStealMs));
    std::printf(" longest_event_ms=%.3f longest_event_at_s=%s longest_event=%s "
                "longest_stretch_ms=%.3f longest_stretch_at_s=%s longest_stretch=%s\n",
                double(held.ns) / 1e6, qPrintable(bench::monotonicText(held.endNs)),
                qPrintable(word(held.what())), double(stretch.ns) / 1e6,
                qPrintable(bench::monotonicText(stretch.endNs)), qPrintable(word(stretch.what())));
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const Options options = parse(argc, argv);
    if (options.window) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        bench::TimedApplication<QApplication> app(argc, argv);
        return run(options);
    }
    bench::TimedApplication<QCoreApplication> app(argc, argv);
    return run(options);
}
