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
        return QStringLiteral("--out names the calibration log's pending file %1").arg(shown);
    const QString besideLog =
        QFileInfo(logPath).dir().filePath(QString::fromLatin1(records::kReportFileName));
    if (samePlace(pdfPath, records::reportFilePath()) || samePlace(pdfPath, besideLog))
        return QStringLiteral("--out names the report file %1").arg(shown);

    const QFileInfo existing(pdfPath);
    if (!existing.exists())
        return {};
    if (existing.isDir())
        return QStringLiteral("--out names %1, a folder, not a file").arg(shown);
    const std::optional<QString> creator = creatorOf(pdfPath);
    if (!creator || (*creator != toolName && !creator->startsWith(toolName + QLatin1Char(' '))))
        return QStringLiteral("--out names %1, which is not a certificate this tool wrote: it "
                              "is not written over")
            .arg(shown);
    return {};
}

} // namespace app
