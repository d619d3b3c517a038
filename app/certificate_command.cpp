#include "app/certificate_command.h"

#include "app/certificate_output.h"
#include "platform/files/whole_file.h"
#include "platform/system/signed_in_user.h"
#include "platform/widgets/offscreen_fonts.h"
#include "records/calibration_log.h"
#include "records/calibration_log_reader.h"
#include "records/certificate.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QUrl>

namespace app {

namespace {
// Far above any certificate this tool writes (some hundred kilobytes), and little to hold.
constexpr qint64 kLargestCertificateBytes = 64 * 1024 * 1024;
} // namespace

CertificateArguments certificateArguments(const QStringList& arguments) {
    CertificateArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--certificate"))
            continue;
        if (argument == QLatin1String("--open")) {
            parsed.open = true;
        } else if (argument == QLatin1String("--out")) {
            if (i + 1 >= arguments.size() || !parsed.pdfPath.isEmpty()) {
                parsed.error = QStringLiteral("--out needs one file name");
                return parsed;
            }
            parsed.pdfPath = arguments[++i];
        } else if (!argument.startsWith(QLatin1Char('-')) && parsed.logPath.isEmpty()) {
            parsed.logPath = argument;
        } else {
            parsed.error = QStringLiteral("unexpected argument \"%1\"").arg(argument);
            return parsed;
        }
    }
    return parsed;
}

void prepareCertificateGraphics(bool open) {
    // Writing a PDF needs fonts, so a graphics platform, but no display: unless the operator
    // chose a platform, the offscreen one is asked for first. The windowing platforms follow
    // it, for an installation that ships no offscreen platform (where a display always is).
    // Opening the certificate needs the desktop's own platform, which is left as it is.
    if (!open && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen;windows;cocoa;wayland;xcb");
    // Without the system's fonts the offscreen platform would draw every letter as a box.
    platform::findSystemFontsOffscreen();
}

int runCertificateCommand(const CertificateArguments& arguments, const QString& tool) {
    QTextStream err(stderr);
    const auto fail = [&err](const QString& why, int status) {
        err << "tq8400-cal: " << why << Qt::endl;
        return status;
    };
    if (!arguments.error.isEmpty())
        return fail(arguments.error + QStringLiteral(" (see --help)"), kCertificateBadArguments);

    const QString logPath = QDir::cleanPath(
        QFileInfo(arguments.logPath.isEmpty() ? records::calibrationLogPath() : arguments.logPath)
            .absoluteFilePath());
    // Beside the log by default, where the technician finds the log itself.
    const QString pdfPath =
        QFileInfo(arguments.pdfPath.isEmpty()
                      ? QFileInfo(logPath).dir().filePath(QStringLiteral("CalCertificate.pdf"))
                      : arguments.pdfPath)
            .absoluteFilePath();

    const QString refused =
        refusedCertificateOutput(pdfPath, logPath, QCoreApplication::applicationName());
    if (!refused.isEmpty())
        return fail(refused, kCertificateOutputRefused);

    // The Accepts waiting in the pending file are part of the record.
    const records::CalibrationLogReading log = records::readCalibrationLogWithPending(logPath);
    QString error;
    const std::optional<records::Certificate> certificate =
        records::certificateFromLog(log, QDir::toNativeSeparators(logPath), error);
    if (!certificate)
        return fail(error, kCertificateNotMade);
    // The certificate written over is one issued before: kept to be put back should this one
    // not be issued.
    QByteArray replaced;
    QString reason;
    const platform::ReadWholeResult before =
        platform::readWholeFile(pdfPath, kLargestCertificateBytes, replaced, &reason);
    if (before == platform::ReadWholeResult::Failed)
        return fail(QStringLiteral("cannot write the certificate to %1: the certificate there "
                                   "cannot be read: %2")
                        .arg(QDir::toNativeSeparators(pdfPath), reason),
                    kCertificateNotMade);
    const QDate issued = QDate::currentDate();
    if (!records::writeCertificatePdf(*certificate, pdfPath, tool, issued, error))
        return fail(error, kCertificateNotMade);
    // Issued only once its record is in the log (or waits in the pending file): a certificate
    // the log does not know of is taken back, and the one it replaced is there again.
    const records::CalibrationLogEntry issue =
        records::certificateIssueEntry(*certificate, issued, platform::signedInUser());
    if (records::appendCalibrationLogAt(logPath, issue, records::LogFailureBox::Silent) ==
        records::LogOutcome::NotRecorded) {
        QString why = QStringLiteral("the certificate was not issued: the calibration log %1 "
                                     "cannot take its record")
                          .arg(QDir::toNativeSeparators(logPath));
        const bool takenBack = before == platform::ReadWholeResult::Read
                                   ? platform::replaceFileWhole(pdfPath, replaced, &reason)
                                   : QFile::remove(pdfPath);
        if (!takenBack)
            why += QStringLiteral("; %1 could not be taken back and is NOT an issued "
                                  "certificate")
                       .arg(QDir::toNativeSeparators(pdfPath));
        return fail(why, kCertificateNotMade);
    }

    int status = kCertificateMade;
    if (!certificate->brokenFileLines.empty() || !certificate->brokenPendingLines.empty()) {
        status = fail(QStringLiteral("the chain of %1 is broken at %2: changed since it was "
                                     "written, or unreadable; the certificate shows it")
                          .arg(QDir::toNativeSeparators(logPath),
                               certificate->brokenPendingLines.empty()
                                   ? records::brokenLinesText(certificate->brokenFileLines)
                                   : records::brokenPlacesText(certificate->brokenFileLines,
                                                               certificate->brokenPendingLines)),
                      kCertificateChainBroken);
    }
    QTextStream(stdout) << QDir::toNativeSeparators(pdfPath) << Qt::endl;
    if (arguments.open && !QDesktopServices::openUrl(QUrl::fromLocalFile(pdfPath)))
        err << "tq8400-cal: cannot open " << QDir::toNativeSeparators(pdfPath) << Qt::endl;
    return status;
}

} // namespace app
