// tq8400-bench-workbench: the calibration workbench against the simulated controller. First
// the window sits on channel 30 with its live reading running, while a 10 ms probe timer
// shows how long the event loop is ever held; beside it, for the same time, run a bare Qt
// program with the same probe and a bare window (tq8400-bench-bare), and the tool's lateness
// and peak resident memory are set against theirs. Then all fourteen channels are calibrated by
// script and the time is set against the line waits its commands make.
#include "bench/loop_probe.h"
#include "bench/report.h"

#include "link/serial_port.h"
#include "platform/serial/pdq.h"
#include "platform/system/process_usage.h"
#include "platform/widgets/masked_edit.h"
#include "platform/widgets/message_box.h"
#include "records/channel_table.h"
#include "records/report_file.h"
#include "shell/module1.h"
#include "workbench/frm_calibrate_sensor.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

using workbench::frmCalibrateSensor;

namespace {

constexpr double kLatenessGoalMs = 50.0;
// Over a long run of live readings the event loop is never held for more than this, and the
// program's resident memory grows by less than this per hour.
constexpr double kSoakLatenessGoalMs = 20.0;
constexpr double kGrowthGoalKiBPerHour = 100.0;
// Against the bare programs run beside the soak: the tool's worst lateness at most this much
// above the bare Qt program's, its peak resident memory at most this much above the bare
// window's.
constexpr double kLatenessOverBareGoalMs = 5.0;
constexpr double kMemoryOverBareGoalMiB = 4.0;
// Memory is sampled this often, from this far into the run (allocator warm-up left out).
constexpr int kMemorySampleMs = 5000;
constexpr double kWarmUpShare = 0.1;
constexpr double kCpuGoalPercent = 1.0;
constexpr double kCalibrationRatioGoal = 1.05;

// Line waits of the scripted work: a load reads two table lines (200 ms each) and takes one
// live reading (1000 ms); an accept sends three write commands (1000 ms each) and takes one
// live reading.
constexpr int kLoadNominalMs = 2 * 200 + 1000;
constexpr int kAcceptNominalMs = 3 * 1000 + 1000;

// Samples the resident memory at a fixed interval and fits a straight line through the
// samples: the slope, extrapolated to an hour, is the growth a long session would see.
class MemoryTrend {
  public:
    void sample(double seconds) {
        if (const std::optional<qint64> kib = platform::residentKiB())
            m_samples.emplace_back(seconds, double(*kib));
    }
    double kibPerHour() const {
        const double n = double(m_samples.size());
        if (n < 2)
            return 0;
        double st = 0, sm = 0, stt = 0, stm = 0;
        for (const auto& [t, m] : m_samples) {
            st += t;
            sm += m;
            stt += t * t;
            stm += t * m;
        }
        const double denominator = n * stt - st * st;
        return denominator == 0 ? 0 : (n * stm - st * sm) / denominator * 3600.0;
    }
    std::size_t count() const { return m_samples.size(); }

  private:
    std::vector<std::pair<double, double>> m_samples;
};

// A tq8400-bench-bare run beside the soak, and the fields of the line it ends with.
class BareRun {
  public:
    BareRun(const QString& label, const QStringList& arguments) : m_label(label) {
        m_process.setProgram(QCoreApplication::applicationDirPath() +
                             QStringLiteral("/tq8400-bench-bare"));
        m_process.setArguments(arguments);
        m_process.setProcessEnvironment([] {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            return environment;
        }());
        // Its late-tick lines go where the tool's go: to standard error.
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    // Starts the program and waits until its probe runs.
    bool start(QString& error) {
        m_process.start();
        QByteArray first;
        while (!first.contains('\n') && m_process.waitForReadyRead(10000))
            first += m_process.readAllStandardOutput();
        if (first.trimmed() == "ready")
            return true;
        error = m_label + QStringLiteral(" did not start: ") + m_process.errorString();
        m_process.kill();
        m_process.waitForFinished(5000);
        return false;
    }
    // Waits for the program's last line and reads its fields; false when it gave none.
    bool finish(int timeoutMs) {
        // (waitForFinished is false for a program that has already ended.)
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(5000);
            return false;
        }
        const QList<QByteArray> words = m_process.readAllStandardOutput().simplified().split(' ');
        for (const QByteArray& word : words) {
            const qsizetype equals = word.indexOf('=');
            if (equals > 0)
                m_fields[word.left(equals)] = QString::fromUtf8(word.mid(equals + 1));
        }
        return m_fields.count("worst_lateness_ms") && m_fields.count("peak_rss_kib");
    }
    double number(const char* key) const {
        const auto found = m_fields.find(key);
        return found == m_fields.end() ? 0.0 : found->second.toDouble();
    }
    QString text(const char* key) const {
        const auto found = m_fields.find(key);
        return found == m_fields.end() ? QString() : found->second;
    }

  private:
    QString m_label;
    QProcess m_process;
    std::map<QByteArray, QString> m_fields;
};

// Runs the event loop for the given time.
void runFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The range text with its last digit moved one step inwards: up for the low value, down for
// the high value (up again when it is already 0). Stays in the field's mask and limits.
QString nudgedRange(QString text, bool low) {
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text[i];
        if (!c.isDigit())
            continue;
        const int digit = c.digitValue();
        const bool up = low ? digit < 9 : digit == 0;
        text[i] = QChar(u'0' + (up ? digit + 1 : digit - 1));
        break;
    }
    return text;
}

// The texts the simulator logged in one direction ("in" or "out"), in order.
std::vector<QByteArray> logTexts(const sim::Launcher& simulator, const QString& direction) {
    std::vector<QByteArray> texts;
    for (const sim::WireLogLine& line : simulator.log())
        if (line.dir == direction)
            texts.push_back(line.text);
    return texts;
}

QString verdict(bool met) {
    return met ? QStringLiteral("PASS") : QStringLiteral("MISS");
}

// In place of a figure the system does not tell.
QString notMeasured() {
    return QStringLiteral("not measured on this system");
}

int parseSeconds(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--seconds"));
    if (at < 0)
        return 60;
    bool ok = false;
    const int seconds = at + 1 < arguments.size() ? arguments[at + 1].toInt(&ok) : 0;
    if (!ok || seconds < 1) {
        std::fprintf(stderr,
                     "tq8400-bench-workbench: --seconds needs a whole number of at least 1\n");
        std::exit(2);
    }
    return seconds;
}

double parseLateLog(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--late-log"));
    if (at < 0)
        return 0;
    bool ok = false;
    const double ms = at + 1 < arguments.size() ? arguments[at + 1].toDouble(&ok) : 0;
    if (!ok || ms <= 0) {
        std::fprintf(stderr, "tq8400-bench-workbench: --late-log needs a number of milliseconds "
                             "above 0\n");
        std::exit(2);
    }
    return ms;
}

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "tq8400-bench-workbench: %s\n", qPrintable(message));
    std::exit(1);
}

// A control of the workbench, found by its name as test automation finds it.
template <class T> T* workbenchControl(QWidget& form, const char* name) {
    T* const found = form.findChild<T*>(QLatin1String(name));
    if (found == nullptr)
        fail(QStringLiteral("the workbench has no control ") + QLatin1String(name));
    return found;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::TimedApplication<QApplication> app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::printf(
            "Usage: tq8400-bench-workbench [--seconds N] [--late-log MS]\n"
            "Runs the calibration workbench against tq8400-sim: N seconds of live readings "
            "(default 60) beside a bare Qt program and a bare window (tq8400-bench-bare), then "
            "a scripted calibration of all channels. With --late-log, every probe tick later "
            "than MS milliseconds in any of the three programs is written to standard error.\n");
        return 0;
    }
    const int seconds = parseSeconds(arguments);
    const double lateLogMs = parseLateLog(arguments);

    Module1::ResetSharedState();
    Module1::iComPort = 1;
    int boxes = 0;
    QStringList boxTexts;
    platform::setMessageBoxHandler([&](int style, const QString&, const QString& text) {
        ++boxes;
        boxTexts << text;
        return style == platform::vbYesNo ? platform::vbYes : platform::vbOK;
    });
    QTemporaryDir reportDirectory;
    if (!reportDirectory.isValid())
        fail(QStringLiteral("no temporary directory for the report file"));
    records::setReportDirectoryForTests(reportDirectory.path());
    // A report file as a previous session leaves it, so no accept has to make a new one.
    {
        QFile report(records::reportFilePath());
        if (!report.open(QIODevice::WriteOnly) ||
            report.write(records::reportTemplate()) != records::kReportTemplateSize)
            fail(QStringLiteral("cannot write ") + records::reportFilePath());
    }

    sim::Launcher sim;
    QString attachError;
    if (!sim.start())
        fail(sim.error());
    if (!bench::attachPort(sim, attachError))
        fail(attachError);

    std::vector<bench::Row> rows;
    {
        frmCalibrateSensor form;
        bench::LoopProbe probe{QStringLiteral("tool")};
        probe.setLateLog(lateLogMs);

        // Showing the window loads the channel when the window becomes active; without that
        // the load is made here.
        form.show();
        runFor(300);
        if (!Module1::vChannelIndex)
            form.LoadChannel();
        if (Module1::vChannelIndex != 16)
            fail(QStringLiteral("channel 30 did not load"));

        // The bare program and the bare window run beside the soak, for as long. The window
        // has the tool's size, so that both paint into a backing store of the same size.
        QStringList lateLog;
        if (lateLogMs > 0)
            lateLog << QStringLiteral("--late-log") << QString::number(lateLogMs);
        BareRun bareLoop(QStringLiteral("the bare program"),
                         QStringList{QStringLiteral("--loop"), QString::number(seconds)} + lateLog);
        BareRun bareWindow(
            QStringLiteral("the bare window"),
            QStringList{QStringLiteral("--window"), QString::number(seconds),
                        QStringLiteral("--size"),
                        QStringLiteral("%1x%2").arg(form.width()).arg(form.height())} +
                lateLog);
        QString bareError;
        if (!bareLoop.start(bareError) || !bareWindow.start(bareError))
            fail(bareError);

        // The minute of live readings.
        const size_t commandsBefore = logTexts(sim, QStringLiteral("in")).size();
        probe.start();
        const qint64 soakStartNs = bench::monotonicNs();
        const std::optional<double> cpuBefore = platform::processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        MemoryTrend memory;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const double at = double(wall.elapsed()) / 1000.0;
            if (at >= kWarmUpShare * seconds)
                memory.sample(at);
        });
        sampler.start(kMemorySampleMs);
        runFor(seconds * 1000);
        sampler.stop();
        const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
        const std::optional<double> cpuAfter = platform::processCpuSeconds();
        const bool cpuMeasured = cpuBefore && cpuAfter;
        const double cpuPercent =
            cpuMeasured ? 100.0 * (*cpuAfter - *cpuBefore) / wallSeconds : 0.0;
        const double liveLateness = probe.worstMs();
        const qint64 liveWorstAtNs = probe.worstAtNs();
        const qint64 liveWorstPollNs = probe.worstPollNs();
        const bench::HeldEvent liveWorstStretch = probe.worstStretch();
        const long liveTicks = probe.ticks();
        const std::optional<bench::ThreadAccount> liveAccount = probe.account();
        const bench::HeldEvent liveHeld = bench::event_timing::sinceStart();
        const bench::HeldEvent liveStretch = bench::event_timing::stretchSinceStart();
        if (lateLogMs > 0)
            std::fprintf(stderr,
                         "soak of live readings from %s s to %s s; the calibration follows\n",
                         qPrintable(bench::monotonicText(soakStartNs)),
                         qPrintable(bench::monotonicText(bench::monotonicNs())));
        const std::optional<qint64> livePeakKiB = platform::peakResidentKiB();
        const bool bareLoopRan = bareLoop.finish(60000);
        const bool bareWindowRan = bareWindow.finish(60000);
        const size_t readings = logTexts(sim, QStringLiteral("in")).size() - commandsBefore;

        // The scripted calibration of every channel.
        auto* const refresh = workbenchControl<QTimer>(form, "Timer1");
        auto* const channelList = workbenchControl<QComboBox>(form, "cboChannelNumber");
        auto* const loVoltsField = workbenchControl<platform::MaskEdBox>(form, "medSensorLoVolts");
        auto* const hiVoltsField = workbenchControl<platform::MaskEdBox>(form, "medSensorHiVolts");
        auto* const rangeLoField = workbenchControl<platform::MaskEdBox>(form, "medSensorRangeLo");
        auto* const rangeHiField = workbenchControl<platform::MaskEdBox>(form, "medSensorRangeHi");
        refresh->stop();
        probe.reset();
        int fieldsRefused = 0;
        QElapsedTimer calibration;
        calibration.start();
        for (const records::ChannelInfo& channel : records::channelTable()) {
            // Picked in the list, which loads it; the channel already shown is loaded again.
            if (channelList->currentText() == channel.listText)
                form.LoadChannel();
            else
                channelList->setCurrentText(channel.listText.toString());

            const QString loVolts = loVoltsField->Text() == QLatin1String("0.600")
                                        ? QStringLiteral("0.700")
                                        : QStringLiteral("0.600");
            const QString hiVolts = hiVoltsField->Text() == QLatin1String("4.400")
                                        ? QStringLiteral("4.300")
                                        : QStringLiteral("4.400");
            fieldsRefused += loVoltsField->setText(loVolts) ? 0 : 1;
            fieldsRefused += hiVoltsField->setText(hiVolts) ? 0 : 1;
            fieldsRefused += rangeLoField->setText(nudgedRange(rangeLoField->Text(), true)) ? 0 : 1;
            fieldsRefused +=
                rangeHiField->setText(nudgedRange(rangeHiField->Text(), false)) ? 0 : 1;
            form.cmdAccept_Click();
        }
        const double calibrationMs = double(calibration.nsecsElapsed()) / 1e6;
        const double calibrationLateness = probe.worstMs();
        if (lateLogMs > 0)
            std::fprintf(stderr, "calibration ends at %s s\n",
                         qPrintable(bench::monotonicText(bench::monotonicNs())));
        refresh->stop();

        const int channels = int(records::channelTable().size());
        const int nominalMs = channels * (kLoadNominalMs + kAcceptNominalMs);
        const double ratio = calibrationMs / nominalMs;

        // What the controller answered to the calibration commands.
        const std::vector<QByteArray> in = logTexts(sim, QStringLiteral("in"));
        const std::vector<QByteArray> out = logTexts(sim, QStringLiteral("out"));
        const long writes = std::count_if(in.begin(), in.end(), [](const QByteArray& line) {
            return line.startsWith(">(00TC ");
        });
        const long refused = std::count(out.begin(), out.end(), QByteArray("ER\r"));
        QFile report(records::reportFilePath());
        const QByteArray reportText = report.open(QIODevice::ReadOnly) ? report.readAll() : "";
        const long rowsFilled = std::count_if(
            records::channelTable().begin(), records::channelTable().end(),
            [&](const records::ChannelInfo& c) {
                const QByteArray data =
                    reportText.mid(c.reportOffset, records::kReportRecordLength);
                return data.size() == records::kReportRecordLength && !data.contains('x');
            });

        rows.push_back({QStringLiteral("live readings: worst lateness of 10 ms probe"),
                        QStringLiteral("%1 ms (%2 ticks in %3 s)")
                            .arg(liveLateness, 0, 'f', 1)
                            .arg(liveTicks)
                            .arg(wallSeconds, 0, 'f', 1),
                        QStringLiteral("< %1 ms").arg(kLatenessGoalMs, 0, 'f', 0),
                        verdict(liveLateness < kLatenessGoalMs)});
        // The soak goals hold for a run of ten minutes or more; a shorter run only reports.
        const bool soak = seconds >= 600;
        rows.push_back({QStringLiteral("live readings: resident memory growth"),
                        QStringLiteral("%1 KiB per hour (%2 samples)")
                            .arg(memory.kibPerHour(), 0, 'f', 1)
                            .arg(memory.count()),
                        QStringLiteral("< %1 KiB per hour over >= 10 min")
                            .arg(kGrowthGoalKiBPerHour, 0, 'f', 0),
                        soak ? verdict(memory.kibPerHour() < kGrowthGoalKiBPerHour)
                             : QStringLiteral("reported")});
        rows.push_back(
            {QStringLiteral("live readings: soak lateness of 10 ms probe"),
             QStringLiteral("%1 ms").arg(liveLateness, 0, 'f', 1),
             QStringLiteral("< %1 ms over >= 10 min").arg(kSoakLatenessGoalMs, 0, 'f', 0),
             soak ? verdict(liveLateness < kSoakLatenessGoalMs) : QStringLiteral("reported")});
        rows.push_back(
            {QStringLiteral("live readings: CPU (user+sys) per wall second"),
             cpuMeasured
                 ? QStringLiteral("%1 % (%2 readings)").arg(cpuPercent, 0, 'f', 2).arg(readings)
                 : notMeasured(),
             QStringLiteral("< %1 %").arg(kCpuGoalPercent, 0, 'f', 0),
             cpuMeasured ? verdict(cpuPercent < kCpuGoalPercent) : notMeasured()});
        const auto ms = [](double value) { return QStringLiteral("%1 ms").arg(value, 0, 'f', 1); };
        const auto mib = [](double kib) {
            return QStringLiteral("%1 MiB").arg(kib / 1024.0, 0, 'f', 1);
        };
        const auto bareLateness = [&](const BareRun& bare, bool ran) {
            if (!ran)
                return QStringLiteral("no figure (the program gave none)");
            return QStringLiteral("%1 at %2 s (%3 ticks)")
                .arg(ms(bare.number("worst_lateness_ms")), bare.text("worst_at_s"),
                     bare.text("ticks"));
        };
        rows.push_back({QStringLiteral("soak: tool, worst lateness of the probe"),
                        QStringLiteral("%1 at %2 s")
                            .arg(ms(liveLateness), bench::monotonicText(liveWorstAtNs)),
                        QStringLiteral("-"), QStringLiteral("reported")});
        rows.push_back(
            {QStringLiteral("soak: tool, gap before its worst tick"),
             probe.pollTimed()
                 ? QStringLiteral("%1 asleep in poll(), longest stretch outside it %2 (%3)")
                       .arg(ms(double(liveWorstPollNs) / 1e6),
                            ms(double(liveWorstStretch.ns) / 1e6), liveWorstStretch.what())
                 : QStringLiteral("not measured on this system (no GLib event loop)"),
             QStringLiteral("-"), QStringLiteral("reported")});
        rows.push_back({QStringLiteral("soak: bare Qt program, worst lateness of the same probe"),
                        bareLateness(bareLoop, bareLoopRan), QStringLiteral("-"),
                        QStringLiteral("reported")});
        rows.push_back({QStringLiteral("soak: bare window, worst lateness of the same probe"),
                        bareLateness(bareWindow, bareWindowRan), QStringLiteral("-"),
                        QStringLiteral("reported")});
        const double latenessOver = liveLateness - bareLoop.number("worst_lateness_ms");
        rows.push_back({QStringLiteral("soak: tool's worst lateness above the bare program's"),
                        bareLoopRan ? ms(latenessOver) : QStringLiteral("no figure"),
                        QStringLiteral("< %1 ms").arg(kLatenessOverBareGoalMs, 0, 'f', 0),
                        verdict(bareLoopRan && latenessOver < kLatenessOverBareGoalMs)});
        rows.push_back({QStringLiteral("soak: tool, longest single event holding the loop"),
                        QStringLiteral("%1 at %2 s: %3")
                            .arg(ms(double(liveHeld.ns) / 1e6),
                                 bench::monotonicText(liveHeld.endNs), liveHeld.what()),
                        QStringLiteral("-"), QStringLiteral("reported")});
        rows.push_back({QStringLiteral("soak: tool, longest stretch outside poll() (loop held)"),
                        probe.pollTimed()
                            ? QStringLiteral("%1 at %2 s: %3")
                                  .arg(ms(double(liveStretch.ns) / 1e6),
                                       bench::monotonicText(liveStretch.endNs), liveStretch.what())
                            : QStringLiteral("not measured on this system (no GLib event loop)"),
                        QStringLiteral("-"), QStringLiteral("reported")});
        rows.push_back({QStringLiteral("soak: tool, kernel's account of the main thread"),
                        bench::describe(liveAccount), QStringLiteral("-"),
                        QStringLiteral("reported")});
        const auto bareAccount = [](const BareRun& bare, bool ran) {
            if (!ran)
                return QStringLiteral("no figure");
            // The program gives the account only where the system keeps one.
            if (bare.text("cpu_ms").isEmpty())
                return notMeasured();
            return QStringLiteral("on a CPU %1 ms, waiting for a CPU %2 ms, %3 involuntary "
                                  "switches, %4 major faults, machine's steal %5 ms")
                .arg(bare.text("cpu_ms"), bare.text("cpu_wait_ms"),
                     bare.text("involuntary_switches"), bare.text("major_faults"),
                     bare.text("steal_ms"));
        };
        rows.push_back({QStringLiteral("soak: bare Qt program, kernel's account"),
                        bareAccount(bareLoop, bareLoopRan), QStringLiteral("-"),
                        QStringLiteral("reported")});
        rows.push_back({QStringLiteral("soak: bare window, kernel's account"),
                        bareAccount(bareWindow, bareWindowRan), QStringLiteral("-"),
                        QStringLiteral("reported")});
        const QString peakName = platform::peakResidentName();
        const auto mibOrNot = [&](const std::optional<qint64>& kib) {
            return kib ? mib(double(*kib)) : notMeasured();
        };
        rows.push_back({QStringLiteral("soak: tool, peak resident memory (%1)").arg(peakName),
                        mibOrNot(livePeakKiB), QStringLiteral("-"), QStringLiteral("reported")});
        const double bareWindowKiB = bareWindow.number("peak_rss_kib");
        rows.push_back(
            {QStringLiteral("soak: bare window, peak resident memory (%1)").arg(peakName),
             bareWindowRan ? mib(bareWindowKiB) : QStringLiteral("no figure"), QStringLiteral("-"),
             QStringLiteral("reported")});
        const bool memoryCompared = bareWindowRan && livePeakKiB;
        const double memoryOverKiB = double(livePeakKiB.value_or(0)) - bareWindowKiB;
        rows.push_back({QStringLiteral("soak: tool's peak resident memory above the bare window's"),
                        memoryCompared ? mib(memoryOverKiB) : QStringLiteral("no figure"),
                        QStringLiteral("< %1 MiB").arg(kMemoryOverBareGoalMiB, 0, 'f', 0),
                        verdict(memoryCompared && memoryOverKiB < kMemoryOverBareGoalMiB * 1024)});
        rows.push_back(
            {QStringLiteral("peak resident memory after the calibration (%1)").arg(peakName),
             mibOrNot(platform::peakResidentKiB()), QStringLiteral("-"),
             QStringLiteral("reported")});
        rows.push_back({QStringLiteral("calibration of %1 channels: wall time").arg(channels),
                        QStringLiteral("%1 s").arg(calibrationMs / 1000.0, 0, 'f', 2),
                        QStringLiteral("%1 s of line waits, ratio <= %2")
                            .arg(nominalMs / 1000.0, 0, 'f', 2)
                            .arg(kCalibrationRatioGoal, 0, 'f', 2),
                        QStringLiteral("%1 %2")
                            .arg(ratio, 0, 'f', 3)
                            .arg(verdict(ratio <= kCalibrationRatioGoal))});
        rows.push_back({QStringLiteral("calibration: worst lateness of 10 ms probe"),
                        QStringLiteral("%1 ms").arg(calibrationLateness, 0, 'f', 1),
                        QStringLiteral("< %1 ms").arg(kLatenessGoalMs, 0, 'f', 0),
                        verdict(calibrationLateness < kLatenessGoalMs)});
        const bool clean = writes == channels && refused == 0 && rowsFilled == channels &&
                           fieldsRefused == 0 && boxes == 0;
        rows.push_back({QStringLiteral("calibration: writes sent / refused / report rows / boxes"),
                        QStringLiteral("%1 / %2 / %3 / %4")
                            .arg(writes)
                            .arg(refused)
                            .arg(rowsFilled)
                            .arg(boxes),
                        QStringLiteral("%1 / 0 / %1 / 0").arg(channels),
                        clean ? QStringLiteral("PASS") : QStringLiteral("MISS")});
        for (const QString& text : boxTexts)
            std::fprintf(stderr, "tq8400-bench-workbench: box: %s\n", qPrintable(text));
        if (fieldsRefused > 0)
            std::fprintf(stderr, "tq8400-bench-workbench: %d setpoint texts did not fit the mask\n",
                         fieldsRefused);
    }

    devicelink::ClosePort();
    platform::PDQ().replaceComm1(nullptr);
    platform::setMessageBoxHandler({});
    bench::printTable(QStringLiteral("Calibration workbench"), rows);
    return 0;
}
