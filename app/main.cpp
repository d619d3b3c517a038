// The calibration tool.
#include "app/certificate_command.h"
#include "app/startup.h"
#include "app/verify_log_command.h"
#include "platform/system/terminal.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <QStringList>
#include <QTextStream>

#ifndef TQ_VERSION
#error "TQ_VERSION (the project version) is set by the build"
#endif

namespace {

const QString kToolName = QStringLiteral("TQ-8400 Sensor Calibration");

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
                   "port n is the COMn link beside the program, else the n-th serial port)\n"
                   "       tq8400-cal --certificate [LOG] [--out FILE.pdf] [--open]\n"
                   "  Writes an A4 PDF calibration certificate, without a window, for the "
                   "controller named by the\n"
                   "  last calibration line of the calibration log LOG (default: CalLog.csv beside "
                   "the "
                   "program), to FILE.pdf\n"
                   "  (default: CalCertificate.pdf beside the log); --open then opens it. "
                   "Its issue is\n"
                   "  recorded in the log, with its number, the lines it covers and their "
                   "last chain value.\n"
                   "  Exit status: 0 certificate written, the log's chain intact\n"
                   "               1 no certificate: the log missing, unreadable, of an older "
                   "layout or without a\n"
                   "                 calibration, the PDF not written, or its issue not "
                   "recorded in the log\n"
                   "               2 wrong arguments\n"
                   "               3 certificate written, but the log's chain is broken (the "
                   "changed lines are\n"
                   "                 named on standard error and on the certificate)\n"
                   "               4 no certificate: FILE.pdf names the log, its pending file or "
                   "a report file\n"
                   "                 CalData.txt, or an existing file that is not a certificate "
                   "this tool wrote\n"
                   "       tq8400-cal --verify-log LOG --chain HEX --lines N\n"
                   "  Checks, without a window, that the first N lines of the calibration log "
                   "LOG (after its\n"
                   "  header, the lines of its pending file after the log's) are unchanged and "
                   "that line N ends in\n"
                   "  the chain value HEX (all 64 digits), as a certificate states them.\n"
                   "  Exit status: 0 intact\n"
                   "               1 the log missing, unreadable or of an older layout\n"
                   "               2 wrong arguments\n"
                   "               3 the log holds fewer than N lines (cut short)\n"
                   "               4 the chain is broken at or before line N (the first changed "
                   "line is named)\n"
                   "               5 the first N lines are intact but end in another chain value "
                   "(the log was\n"
                   "                 rebuilt, or is another log)"
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
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (arguments.contains(QLatin1String("--verify-log"))) {
        // Reads the log only: no graphics at all.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(kToolName);
        return app::runVerifyLogCommand(
            app::verifyLogArguments(QCoreApplication::arguments().mid(1)));
    }
    if (arguments.contains(QLatin1String("--certificate"))) {
        // No widgets and no window: a certificate can be made where there is no display.
        app::prepareCertificateGraphics(arguments.contains(QLatin1String("--open")));
        QGuiApplication app(argc, argv);
        QGuiApplication::setApplicationName(kToolName);
        // Read once Qt has taken its own options (-platform and the like) off the line.
        return app::runCertificateCommand(
            app::certificateArguments(QGuiApplication::arguments().mid(1)),
            kToolName + QStringLiteral(" ") + TQ_VERSION);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kToolName);
    return app::Main();
}
