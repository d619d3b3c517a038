// The calibration certificate: what the calibration log holds about one controller, laid out
// as an A4 PDF a customer or an auditor can file.
#pragma once

#include "records/calibration_log_reader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace records {

// One channel's row: its latest Accept, or nothing ("not calibrated").
struct CertificateRow {
    QString channel;
    // The log's line of the channel's latest Accept, as read back: its cells, where it stands
    // in the log (or in its pending file), and whether its chain value follows. None when the
    // channel has not been calibrated.
    std::optional<LogLine> accept;

    bool calibrated() const { return accept.has_value(); }
    // False for a row made from a line whose chain value does not follow.
    bool chained() const { return !accept || accept->chained; }
};

struct Certificate {
    // The controller's identity, as the log's last line names it.
    QString displayMicroDate;
    QString displayMicroInfo;
    QString terminalMicroDate;
    // Every port and device, and every technician, in the order they first appear.
    QStringList ports;
    QStringList devices;
    QStringList technicians;
    // Dates of the first and the last Accept it is made from (yyyy-MM-dd).
    QString firstDate;
    QString lastDate;
    // The fourteen channels in list order, and the log's column titles their cells are read by.
    std::vector<CertificateRow> rows;
    QStringList columns;
    // The log and the lines of it the certificate is made from (0 when none of them is).
    QString logPath;
    int firstFileLine = 0;
    int lastFileLine = 0;
    // The pending file and the lines of it the certificate is made from: Accepts that wait
    // there to join the log (0 when none does).
    QString pendingPath;
    int firstPendingLine = 0;
    int lastPendingLine = 0;
    // The lines, of the whole log and of the pending file, whose chain does not follow (both
    // empty: the chain is intact), and the chain value of the last line.
    std::vector<int> brokenFileLines;
    std::vector<int> brokenPendingLines;
    QByteArray lastChain;
};

// The certificate of the controller named by the last line (the pending file's lines coming
// after the log's), made from the run of lines at the end that name the same controller;
// none, with why, when the log cannot be used or holds no Accept.
std::optional<Certificate> certificateFromLog(const CalibrationLogReading& log,
                                              const QString& logPath, QString& error);

// The break as a person reads it: "line 7" or "lines 7, 12"; empty for an intact chain.
QString brokenLinesText(const std::vector<int>& fileLines);

// The break in the log and in its pending file: "line 7 of the log", "line 2 of the pending
// file", or both joined by "and"; empty for an intact chain.
QString brokenPlacesText(const std::vector<int>& fileLines, const std::vector<int>& pendingLines);

// Writes the certificate as an A4 PDF at `pdfPath`, whole or not at all; `tool` is the tool's
// name and version as the certificate names them. False, with why, when it cannot be written.
bool writeCertificatePdf(const Certificate& certificate, const QString& pdfPath,
                         const QString& tool, QString& error);

} // namespace records
