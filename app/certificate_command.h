// "tq8400-cal --certificate": the calibration certificate made from the log on the command line,
// without a window.
#pragma once

#include <QString>
#include <QStringList>

namespace app {

// Exit statuses of the certificate command.
inline constexpr int kCertificateMade = 0;
inline constexpr int kCertificateNotMade = 1;
inline constexpr int kCertificateBadArguments = 2;
inline constexpr int kCertificateChainBroken = 3;
// --out names a record or a file the tool did not write (certificate_output.h).
inline constexpr int kCertificateOutputRefused = 4;

// What the command line asks for.
struct CertificateArguments {
    QString logPath;   // empty: CalLog.csv beside the program
    QString pdfPath;   // empty: CalCertificate.pdf beside the log
    bool open = false; // --open: show the certificate once it is written
    QString error;     // what is wrong with the arguments
};

// Reads the arguments after the program's name.
CertificateArguments certificateArguments(const QStringList& arguments);

// Readies the graphics for a certificate: no display is needed unless it is to be opened
// (`open`). Called before the application object is made.
void prepareCertificateGraphics(bool open);

// Makes the certificate (the application object made); the exit status. Errors and a broken
// chain are told on standard error.
int runCertificateCommand(const CertificateArguments& arguments, const QString& tool);

} // namespace app
