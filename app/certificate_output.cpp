#include "app/certificate_output.h"

#include "records/calibration_log.h"
#include "records/pdf_info.h"
#include "records/report_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace app {

namespace {

// A certificate is a few hundred kilobytes; a larger file is not one the tool wrote.
constexpr qint64 kLargestCertificate = 64 * 1024 * 1024;

// The name a path stands for: the canonical one where the file exists, else the cleaned full
// name, of the link's target for a symbolic link.
QString placeOf(const QString& path) {
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    if (info.isSymLink())
        return QDir::cleanPath(info.absoluteDir().absoluteFilePath(info.symLinkTarget()));
    return QDir::cleanPath(info.absoluteFilePath());
}

bool samePlace(const QString& a, const QString& b) {
    return placeOf(a).compare(placeOf(b), Qt::CaseInsensitive) == 0;
}

// The creator an existing file names as a PDF: none when it cannot be read or is no PDF.
std::optional<QString> creatorOf(const QString& path) {
    QFile file(path);
    if (file.size() > kLargestCertificate || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return records::pdfCreator(file.readAll());
}

} // namespace

QString refusedCertificateOutput(const QString& pdfPath, const QString& logPath,
                                 const QString& toolName) {
    const QString shown = QDir::toNativeSeparators(pdfPath);
    // The log and its pending file are never written over, not even by a slip of --out.
    if (samePlace(pdfPath, logPath))
        return QStringLiteral("--out names the calibration log itself");
    if (samePlace(pdfPath, records::pendingLogPath(logPath)))
        return QStringLiteral("will not write the certificate over the calibration log's "
                              "pending file %1")
            .arg(shown);
    const QString besideLog =
        QFileInfo(logPath).dir().filePath(QString::fromLatin1(records::kReportFileName));
    if (samePlace(pdfPath, records::reportFilePath()) || samePlace(pdfPath, besideLog))
        return QStringLiteral("will not write the certificate over the report file %1").arg(shown);

    const QFileInfo existing(pdfPath);
    if (!existing.exists())
        return {};
    // Only a plain file is read: a pipe or a device could hold the reading up for good.
    if (!existing.isFile())
        return QStringLiteral("cannot write the certificate to %1: it is %2")
            .arg(shown, existing.isDir() ? QStringLiteral("a folder") : QStringLiteral("no file"));
    const std::optional<QString> creator = creatorOf(pdfPath);
    if (!creator || (*creator != toolName && !creator->startsWith(toolName + QLatin1Char(' '))))
        return QStringLiteral("will not write the certificate over %1: it is not a certificate "
                              "this tool wrote")
            .arg(shown);
    return {};
}

} // namespace app
