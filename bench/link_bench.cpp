// tq8400-bench-link: how long the controller link's transactions take on the wire, against
// the sleeps each wait mode makes, with the reply in the first pass, in the second pass and
// never.
#include "bench/report.h"

#include "link/serial_port.h"
#include "link/transact.h"
#include "platform/serial/pdq.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const QString kIdentityCommand = QStringLiteral(">(00F00 RX 22)\r\n");
const QString kTableCommand = QStringLiteral(">(00TRX 112)\r\n");

// Goal: every transaction within 3 % above the sleeps it makes, never below them.
constexpr double kRatioLow = 1.00;
constexpr double kRatioHigh = 1.03;

struct Case {
    QString name;
    QString command;
    qint16 mode;
    QStringList simArguments;
    int nominalMs;
    qint16 expectedStatus;
    int repetitions;
};

struct Outcome {
    std::vector<double> durationsMs;
    bool statusAsExpected = true;
    qint16 lastStatus = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

Outcome measure(const Case& c) {
    Outcome outcome;
    for (int i = 0; i < c.repetitions; ++i) {
        QByteArray reply;
        QString errorText;
        qint16 status = c.mode;
        QElapsedTimer clock;
        clock.start();
        devicelink::Transact(c.command, reply, status, errorText);
        outcome.durationsMs.push_back(double(clock.nsecsElapsed()) / 1e6);
        outcome.lastStatus = status;
        if (status != c.expectedStatus)
            outcome.statusAsExpected = false;
    }
    return outcome;
}

int parseRepetitions(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--repeat"));
    if (at < 0)
        return 5;
    bool ok = false;
    const int n = at + 1 < arguments.size() ? arguments[at + 1].toInt(&ok) : 0;
    if (!ok || n < 1) {
        std::fprintf(stderr, "tq8400-bench-link: --repeat needs a whole number of at least 1\n");
        std::exit(2);
    }
    return n;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::printf("Usage: tq8400-bench-link [--repeat N]\n"
                    "Times link transactions per wait mode against tq8400-sim (N repetitions of "
                    "modes 22 and -3, default 5).\n");
        return 0;
    }
    const int n = parseRepetitions(arguments);
    const QStringList delay22{QStringLiteral("--delay"), QStringLiteral("150")};
    const QStringList delay3{QStringLiteral("--delay"), QStringLiteral("230")};
    const QStringList silent{QStringLiteral("--silent")};

    const std::vector<Case> cases = {
        {QStringLiteral("mode 22, reply in pass 1"), kIdentityCommand, 22, {}, 110, 0, n},
        {QStringLiteral("mode 22, reply in pass 2 (delay 150 ms)"), kIdentityCommand, 22, delay22,
         220, 0, n},
        {QStringLiteral("mode 22, no reply"), kIdentityCommand, 22, silent, 660, 4, n},
        {QStringLiteral("mode -3, reply in pass 1"), kTableCommand, -3, {}, 200, 0, n},
        {QStringLiteral("mode -3, reply in pass 2 (delay 230 ms)"), kTableCommand, -3, delay3, 265,
         0, n},
        {QStringLiteral("mode -3, no reply"), kTableCommand, -3, silent, 525, 4, n},
        {QStringLiteral("mode 0, one pass"), kIdentityCommand, 0, {}, 100, 0, 1},
        {QStringLiteral("mode -2, one pass"), kIdentityCommand, -2, {}, 1000, 0, 1},
        {QStringLiteral("mode -1, one pass"), kIdentityCommand, -1, {}, 5000, 0, 1},
    };

    // One simulator per set of options, started when its first case comes.
    std::vector<bench::Row> rows;
    std::unique_ptr<sim::Launcher> sim;
    QStringList running;
    bool first = true;
    for (const Case& c : cases) {
        if (first || c.simArguments != running) {
            devicelink::ClosePort();
            sim = std::make_unique<sim::Launcher>(c.simArguments);
            QString error;
            if (!sim->start() || !bench::attachPort(*sim, error)) {
                std::fprintf(stderr, "tq8400-bench-link: %s\n",
                             qPrintable(sim->error().isEmpty() ? error : sim->error()));
                return 1;
            }
            running = c.simArguments;
            // One exchange that is not counted, so that no case pays for the port's first use.
            if (first && c.simArguments.isEmpty()) {
                QByteArray reply;
                QString errorText;
                qint16 status = 22;
                devicelink::Transact(kIdentityCommand, reply, status, errorText);
            }
            first = false;
        }
        const Outcome outcome = measure(c);
        const double measured = median(outcome.durationsMs);
        const double ratio = measured / c.nominalMs;
        QString value = QStringLiteral("%1 ms").arg(measured, 0, 'f', 1);
        if (outcome.durationsMs.size() > 1)
            value +=
                QStringLiteral(" (median of %1, max %2)")
                    .arg(outcome.durationsMs.size())
                    .arg(*std::max_element(outcome.durationsMs.begin(), outcome.durationsMs.end()),
                         0, 'f', 1);
        QString verdict =
            QStringLiteral("%1 %2")
                .arg(ratio, 0, 'f', 3)
                .arg(ratio >= kRatioLow && ratio <= kRatioHigh ? QStringLiteral("PASS")
                                                               : QStringLiteral("MISS"));
        if (!outcome.statusAsExpected)
            verdict += QStringLiteral(" (status %1, expected %2)")
                           .arg(outcome.lastStatus)
                           .arg(c.expectedStatus);
        rows.push_back({c.name, value,
                        QStringLiteral("%1 ms, ratio %2..%3")
                            .arg(c.nominalMs)
                            .arg(kRatioLow, 0, 'f', 2)
                            .arg(kRatioHigh, 0, 'f', 2),
                        verdict});
    }
    devicelink::ClosePort();
    platform::PDQ().replaceComm1(nullptr);
    sim.reset();

    bench::printTable(QStringLiteral("Link transactions (wall time per transaction)"), rows);
    return 0;
}
