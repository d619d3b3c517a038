#include "records/certificate.h"

#include "records/calibration_log.h"
#include "records/channel_table.h"

#include <QColor>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextOption>

#include <algorithm>
#include <iterator>
#include <map>

namespace records {

namespace {

void addOnce(QStringList& list, const QString& text) {
    if (!text.isEmpty() && !list.contains(text))
        list << text;
}

// "line 7", "lines 2-15".
QString fileLinesText(int first, int last) {
    return first == last ? QStringLiteral("line %1").arg(first)
                         : QStringLiteral("lines %1-%2").arg(first).arg(last);
}

// ---------------------------------------------------------------------------------------------
// Layout of the page: A4 landscape, so that one row per channel fits on a line.

constexpr double kMarginMm = 12.0;
constexpr double kCellPaddingMm = 0.8;
constexpr double kFooterMm = 11.0;
constexpr double kBodyPoints = 6.5;
const QColor kBreakColour(0xB0, 0x00, 0x00);
const QColor kGridColour(0x80, 0x80, 0x80);
const QColor kHeadShade(0xE4, 0xE4, 0xE4);
const QColor kQuietColour(0x60, 0x60, 0x60);

// A column of the table: its title, its share of the width, and the log's column it shows
// (none for where the line stands in the log).
struct Column {
    const char* title;
    double weight;
    const char* logColumn;
};
const Column kTableColumns[] = {
    {"Channel", 4.5, "channel"},
    {"Sensor type", 6.5, "sensor_type"},
    {"Unit", 6.0, "unit"},
    {"Low volts", 4.5, "low_volts"},
    {"High volts", 4.5, "high_volts"},
    {"Low range", 5.0, "low_range"},
    {"High range", 5.0, "high_range"},
    {"Low count", 4.5, "low_count"},
    {"High count", 4.5, "high_count"},
    {"Controller write", 9.5, "controller_write"},
    {"Report file", 11.0, "report_file"},
    {"Reading before", 7.5, "reading_before"},
    {"Reading after", 7.5, "reading_after"},
    {"Time", 13.0, "date_time"},
    {"Log line", 6.0, nullptr},
};
constexpr int kTableColumnCount = int(std::size(kTableColumns));

// Where a line stands: "12" in the log, "pending 3" in its pending file; " broken" after it
// when its chain value does not follow.
QString logLineText(const LogLine& line) {
    return (line.pending ? QStringLiteral("pending %1") : QStringLiteral("%1"))
               .arg(line.firstFileLine) +
           (line.chained ? QString() : QStringLiteral(" broken"));
}

// The cells of a calibrated row, read from its line of the log.
QStringList rowCells(const Certificate& certificate, const CertificateRow& row) {
    QStringList cells;
    for (const Column& column : kTableColumns)
        cells << (column.logColumn == nullptr
                      ? logLineText(*row.accept)
                      : logCell(certificate.columns, *row.accept, QLatin1String(column.logColumn)));
    return cells;
}

QFont fontOf(double points, bool bold = false) {
    QFont font;
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Paints on the PDF; every text is drawn as plain text, never as markup.
class Page {
  public:
    explicit Page(QPainter& painter, double resolution)
        : m_painter(painter), m_resolution(resolution) {
        m_wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }

    double mm(double millimetres) const { return millimetres * m_resolution / 25.4; }

    // The height `text` takes when wrapped to `width`.
    double heightOf(const QString& text, const QFont& font, double width) {
        m_painter.setFont(font);
        const QRectF bounds = m_painter.boundingRect(QRectF(0, 0, width, 1e9), text, m_wrap);
        return std::max(bounds.height(), QFontMetricsF(font, m_painter.device()).height());
    }

    // Draws `text` wrapped into the box at (x, y) of width `width`; the height it took.
    double text(double x, double y, double width, const QString& text, const QFont& font,
                const QColor& colour = Qt::black, Qt::Alignment alignment = Qt::AlignLeft) {
        const double height = heightOf(text, font, width);
        m_painter.setPen(colour);
        QTextOption option = m_wrap;
        option.setAlignment(alignment);
        m_painter.drawText(QRectF(x, y, width, height), text, option);
        return height;
    }

    void box(const QRectF& rect, const QColor& fill = QColor()) {
        m_painter.setPen(QPen(kGridColour, mm(0.15)));
        m_painter.setBrush(fill.isValid() ? QBrush(fill) : QBrush(Qt::NoBrush));
        m_painter.drawRect(rect);
    }

  private:
    QPainter& m_painter;
    double m_resolution;
    QTextOption m_wrap;
};

struct TableGeometry {
    std::vector<double> x; // left edge of each column, and the table's right edge last
    double headHeight = 0; // the column titles' row
    std::vector<double> rowHeight;
};

} // namespace

QString brokenLinesText(const std::vector<int>& fileLines) {
    QStringList numbers;
    for (const int line : fileLines)
        numbers << QString::number(line);
    if (numbers.isEmpty())
        return {};
    return (numbers.size() == 1 ? QStringLiteral("line ") : QStringLiteral("lines ")) +
           numbers.join(QStringLiteral(", "));
}

QString brokenPlacesText(const std::vector<int>& fileLines, const std::vector<int>& pendingLines) {
    QStringList places;
    if (!fileLines.empty())
        places << brokenLinesText(fileLines) + QStringLiteral(" of the log");
    if (!pendingLines.empty())
        places << brokenLinesText(pendingLines) + QStringLiteral(" of the pending file");
    return places.join(QStringLiteral(" and "));
}

std::optional<Certificate> certificateFromLog(const CalibrationLogReading& log,
                                              const QString& logPath, QString& error) {
    if (!log.error.isEmpty()) {
        error = log.error;
        return std::nullopt;
    }
    const auto cell = [&log](const LogLine& line, const char* column) {
        return log.cell(line, QLatin1String(column));
    };
    const auto identity = [&cell](const LogLine& line) {
        return QStringList{cell(line, "display_micro_date"), cell(line, "display_micro_info"),
                           cell(line, "terminal_micro_date")};
    };
    // Only Accepts with every column name a controller and a channel. A line written while
    // the controller's identity was unconfirmed names no controller, so it is on no
    // certificate.
    const QStringList unconfirmed{kIdentityUnconfirmed, kIdentityUnconfirmed, kIdentityUnconfirmed};
    const QString accept = logRecordName(LogRecord::Accept);
    std::vector<const LogLine*> complete;
    for (const LogLine& line : log.lines)
        if (line.cells.size() == log.columns.size() && identity(line) != unconfirmed &&
            cell(line, "record") == accept)
            complete.push_back(&line);
    if (complete.empty()) {
        error = QStringLiteral("%1 holds no calibration yet").arg(logPath);
        return std::nullopt;
    }

    // The controller of the last line, and the lines at the end of the log that name it. The
    // identity block names the controller's firmware, which two controllers may share, so an
    // earlier stretch of the log for the same identity is not taken as the same controller:
    // a certificate names no Accept of another controller.
    const QStringList controller = identity(*complete.back());
    auto first = complete.end();
    while (first != complete.begin() && identity(**std::prev(first)) == controller)
        --first;
    const std::vector<const LogLine*> used(first, complete.end());

    Certificate certificate;
    certificate.displayMicroDate = controller[0];
    certificate.displayMicroInfo = controller[1];
    certificate.terminalMicroDate = controller[2];
    certificate.logPath = logPath;
    if (!log.pendingPath.isEmpty())
        certificate.pendingPath = QDir::toNativeSeparators(log.pendingPath);
    for (const LogLine* line : used) {
        int& first = line->pending ? certificate.firstPendingLine : certificate.firstFileLine;
        (line->pending ? certificate.lastPendingLine : certificate.lastFileLine) =
            line->lastFileLine;
        if (first == 0)
            first = line->firstFileLine;
    }
    certificate.firstDate = cell(*used.front(), "date_time").left(10);
    certificate.lastDate = cell(*used.back(), "date_time").left(10);
    certificate.brokenFileLines = log.brokenFileLines();
    certificate.brokenPendingLines = log.brokenPendingLines();
    if (!log.lines.empty() && !log.lines.back().cells.isEmpty())
        certificate.lastChain = log.lines.back().cells.back().toLatin1();

    // Each channel's latest Accept: the last line naming it.
    std::map<QString, const LogLine*> latest;
    for (const LogLine* line : used) {
        addOnce(certificate.ports, cell(*line, "port"));
        addOnce(certificate.devices, cell(*line, "device"));
        addOnce(certificate.technicians, cell(*line, "user"));
        latest[cell(*line, "channel")] = line;
    }
    certificate.columns = log.columns;
    for (const ChannelInfo& channel : channelTable()) {
        CertificateRow row;
        row.channel = channel.listText.toString();
        if (const auto found = latest.find(row.channel); found != latest.end())
            row.accept = *found->second;
        certificate.rows.push_back(row);
    }
    return certificate;
}

bool writeCertificatePdf(const Certificate& certificate, const QString& pdfPath,
                         const QString& tool, QString& error) {
    // Written under another name and renamed when whole: never half a certificate.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write %1: %2").arg(pdfPath, file.errorString());
        return false;
    }
    const QString controllerText =
        QStringLiteral("%1 / %2 / %3")
            .arg(certificate.displayMicroDate, certificate.displayMicroInfo,
                 certificate.terminalMicroDate);
    QPdfWriter writer(&file);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setTitle(QStringLiteral("Calibration certificate, controller ") + controllerText);
    writer.setCreator(tool);

    QPainter painter;
    if (!painter.begin(&writer)) {
        error = QStringLiteral("cannot write %1: the PDF could not be started").arg(pdfPath);
        return false;
    }
    Page page(painter, writer.resolution());
    const double width = writer.width();
    const double height = writer.height();
    const double pad = page.mm(kCellPaddingMm);
    const QFont body = fontOf(kBodyPoints);
    const QFont bodyBold = fontOf(kBodyPoints, true);
    const QFont label = fontOf(8.5, true);
    const QFont value = fontOf(8.5);
    const QFont title = fontOf(17, true);
    const bool intact =
        certificate.brokenFileLines.empty() && certificate.brokenPendingLines.empty();
    const QString broken =
        brokenPlacesText(certificate.brokenFileLines, certificate.brokenPendingLines);
    QStringList sources;
    if (certificate.firstFileLine > 0)
        sources << QStringLiteral("%1 of %2")
                       .arg(fileLinesText(certificate.firstFileLine, certificate.lastFileLine),
                            certificate.logPath);
    // Accepts the log could not take when they were made: part of the record, marked apart.
    if (certificate.firstPendingLine > 0)
        sources << QStringLiteral("%1 of %2 (pending: kept there while the log could not be "
                                  "written; Log line \"pending n\")")
                       .arg(
                           fileLinesText(certificate.firstPendingLine, certificate.lastPendingLine),
                           certificate.pendingPath);
    const QString madeFrom = QStringLiteral("Made from ") + sources.join(QStringLiteral(" and "));
    const QString chainText =
        intact ? QStringLiteral("Chain intact: every line of the log%1 follows from the one "
                                "before it (last chain value %2).")
                     .arg(certificate.pendingPath.isEmpty()
                              ? QString()
                              : QStringLiteral(" and of its pending file"),
                          QString::fromLatin1(certificate.lastChain.left(16)))
               : QStringLiteral("CHAIN BROKEN at %1: changed since it was written or "
                                "unreadable. Rows from such a line are marked.")
                     .arg(broken);
    const QString chainShort = intact ? QStringLiteral("Chain intact.")
                                      : QStringLiteral("Chain BROKEN at %1.")
                                            .arg(certificate.brokenPendingLines.empty()
                                                     ? brokenLinesText(certificate.brokenFileLines)
                                                     : broken);

    // The table's columns, spread over the page's width by their weights.
    TableGeometry table;
    double weights = 0;
    for (const Column& column : kTableColumns)
        weights += column.weight;
    table.x.push_back(0);
    for (const Column& column : kTableColumns)
        table.x.push_back(table.x.back() + width * column.weight / weights);
    const auto cellWidth = [&](int column) {
        return table.x[size_t(column) + 1] - table.x[size_t(column)] - 2 * pad;
    };
    for (int c = 0; c < kTableColumnCount; ++c)
        table.headHeight =
            std::max(table.headHeight,
                     page.heightOf(QLatin1String(kTableColumns[c].title), bodyBold, cellWidth(c)));
    table.headHeight += 2 * pad;
    const double restWidth = width - table.x[1] - 2 * pad;
    for (const CertificateRow& row : certificate.rows) {
        double rowHeight = 0;
        if (row.calibrated()) {
            const QStringList cells = rowCells(certificate, row);
            for (int c = 0; c < kTableColumnCount; ++c)
                rowHeight = std::max(rowHeight, page.heightOf(cells[c], body, cellWidth(c)));
        } else {
            rowHeight = page.heightOf(QStringLiteral("not calibrated"), body, restWidth);
        }
        table.rowHeight.push_back(rowHeight + 2 * pad);
    }

    // The head of the first page: what, for which controller, by whom, when, from what.
    const auto joined = [](const QStringList& list) {
        return list.isEmpty() ? QStringLiteral("(none named)") : list.join(QStringLiteral(", "));
    };
    const std::pair<QString, QString> facts[] = {
        {QStringLiteral("Controller, display board date"), certificate.displayMicroDate},
        {QStringLiteral("Controller, display board info"), certificate.displayMicroInfo},
        {QStringLiteral("Controller, terminal board date"), certificate.terminalMicroDate},
        {QStringLiteral("Port"), joined(certificate.ports)},
        {QStringLiteral("Device"), joined(certificate.devices)},
        {QStringLiteral("Technician(s)"), joined(certificate.technicians)},
        {QStringLiteral("First Accept"), certificate.firstDate},
        {QStringLiteral("Last Accept"), certificate.lastDate},
        {QStringLiteral("Calibration log"), madeFrom},
    };
    const double labelWidth = page.mm(60);
    const auto drawHead = [&](bool measureOnly) {
        double y = 0;
        const auto put = [&](double x, double w, const QString& text, const QFont& font,
                             const QColor& colour) {
            return measureOnly ? page.heightOf(text, font, w)
                               : page.text(x, y, w, text, font, colour);
        };
        y += put(0, width, QStringLiteral("Calibration Certificate"), title, Qt::black);
        y += put(0, width,
                 QStringLiteral("%1 - issued %2")
                     .arg(tool, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))),
                 value, kQuietColour);
        y += page.mm(3);
        for (const auto& [name, text] : facts) {
            const double h = std::max(put(0, labelWidth, name, label, Qt::black),
                                      put(labelWidth, width - labelWidth, text, value, Qt::black));
            y += h + page.mm(0.6);
        }
        y += page.mm(1.5);
        y += put(0, width, chainText, label, intact ? Qt::black : kBreakColour);
        return y + page.mm(3);
    };
    const auto drawContinuedHead = [&](bool measureOnly) {
        const QString text = QStringLiteral("Calibration Certificate, controller %1 (continued)")
                                 .arg(controllerText);
        return (measureOnly ? page.heightOf(text, label, width)
                            : page.text(0, 0, width, text, label, Qt::black)) +
               page.mm(2);
    };

    // Rows to pages: as many as fit below the head and above the footer, the titles again on
    // every page.
    const double bottom = height - page.mm(kFooterMm);
    std::vector<std::pair<size_t, size_t>> pages;
    {
        size_t start = 0;
        double y = drawHead(true) + table.headHeight;
        for (size_t r = 0; r < table.rowHeight.size(); ++r) {
            if (y + table.rowHeight[r] > bottom && r > start) {
                pages.emplace_back(start, r);
                start = r;
                y = drawContinuedHead(true) + table.headHeight;
            }
            y += table.rowHeight[r];
        }
        pages.emplace_back(start, table.rowHeight.size());
    }

    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0)
            writer.newPage();
        double y = p == 0 ? drawHead(false) : drawContinuedHead(false);
        for (int c = 0; c < kTableColumnCount; ++c) {
            const QRectF cellBox(table.x[size_t(c)], y, table.x[size_t(c) + 1] - table.x[size_t(c)],
                                 table.headHeight);
            page.box(cellBox, kHeadShade);
            page.text(cellBox.x() + pad, y + pad, cellWidth(c),
                      QLatin1String(kTableColumns[c].title), bodyBold);
        }
        y += table.headHeight;
        for (size_t r = pages[p].first; r < pages[p].second; ++r) {
            const CertificateRow& row = certificate.rows[r];
            const double rowHeight = table.rowHeight[r];
            const QColor colour = row.chained() ? QColor(Qt::black) : kBreakColour;
            if (row.calibrated()) {
                const QStringList cells = rowCells(certificate, row);
                for (int c = 0; c < kTableColumnCount; ++c) {
                    page.box(QRectF(table.x[size_t(c)], y,
                                    table.x[size_t(c) + 1] - table.x[size_t(c)], rowHeight));
                    page.text(table.x[size_t(c)] + pad, y + pad, cellWidth(c), cells[c],
                              c == 0 ? bodyBold : body, colour);
                }
            } else {
                page.box(QRectF(0, y, table.x[1], rowHeight));
                page.text(pad, y + pad, cellWidth(0), row.channel, bodyBold);
                page.box(QRectF(table.x[1], y, width - table.x[1], rowHeight));
                page.text(table.x[1] + pad, y + pad, restWidth, QStringLiteral("not calibrated"),
                          body, kQuietColour);
            }
            y += rowHeight;
        }

        // The footer: the page, the log lines, the chain.
        const QString pageText = QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages.size());
        const double footerTop = bottom + page.mm(2);
        const double pageWidth = page.mm(28);
        page.text(0, footerTop, width - pageWidth, madeFrom + QStringLiteral(". ") + chainShort,
                  body, intact ? kQuietColour : kBreakColour);
        page.text(width - pageWidth, footerTop, pageWidth, pageText, body, kQuietColour,
                  Qt::AlignRight);
    }
    if (!painter.end()) {
        error = QStringLiteral("cannot write %1: the PDF could not be finished").arg(pdfPath);
        return false;
    }
    if (!file.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(pdfPath, file.errorString());
        return false;
    }
    return true;
}

} // namespace records
