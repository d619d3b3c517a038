// The calibration tool.
#include "app/startup.h"
#include "platform/terminal.h"

#include <QApplication>
#include <QString>
#include <QTextStream>

#ifndef TQ_VERSION
#error "TQ_VERSION (the project version) is set by the build"
#endif

namespace {

// --version and --help answer on the terminal and end the program before any window or
// display is needed; every other argument is left alone, as before.
bool answeredOnTerminal(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        QTextStream out(stdout);
        if (argument == QLatin1String("--version")) {
            out << "tq8400-cal " << TQ_VERSION << Qt::endl;
            return true;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            out << "Usage: tq8400-cal [--version] [--help]  (opens the TQ-8400 sensor calibration; "
                   "port n is the COMn link beside the program, else the n-th serial port)"
                << Qt::endl;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    platform::useParentTerminal();
    if (answeredOnTerminal(argc, argv))
        return 0;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TQ-8400 Sensor Calibration"));
    return Module1::Main();
}
