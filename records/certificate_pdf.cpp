// The certificate laid out on A4 pages: the whole job first, a summary of the fourteen
// channels, then each calibrated channel's tests, adjustment and plot, the statements, the
// review line and the end mark. Every page carries the certificate's number and "Page n of m".
#include "records/certificate.h"

#include "records/error_plot.h"

#include <QColor>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextOption>

#include <algorithm>
#include <functional>
#include <map>

namespace records {

namespace {

constexpr double kMarginMm = 14.0;
constexpr double kHeaderMm = 9.0;
constexpr double kFooterMm = 9.0;
constexpr double kCellPaddingMm = 0.7;
const QColor kBreakColour(0xB0, 0x00, 0x00);
const QColor kGridColour(0x80, 0x80, 0x80);
const QColor kHeadShade(0xE4, 0xE4, 0xE4);
const QColor kQuietColour(0x50, 0x50, 0x50);

QFont fontOf(double points, bool bold = false) {
    QFont font;
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// "line 7", "lines 2-15".
QString fileLinesText(int first, int last) {
    return first == last ? QStringLiteral("line %1").arg(first)
                         : QStringLiteral("lines %1-%2").arg(first).arg(last);
}

QString orNone(const QString& text) {
    return text.isEmpty() ? QStringLiteral("(not given)") : text;
}

// Paints on the PDF; every text is drawn as plain text, never as markup. With `drawing` off it
// only measures, so that the same code lays out and then draws a page.
class Canvas {
  public:
    Canvas(QPainter& painter, double resolution) : m_painter(painter), m_resolution(resolution) {
        m_wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }
    double mm(double millimetres) const { return millimetres * m_resolution / 25.4; }
    bool drawing = false;

    double heightOf(const QString& text, const QFont& font, double width) {
        m_painter.setFont(font);
        const QRectF bounds = m_painter.boundingRect(QRectF(0, 0, width, 1e9), text, m_wrap);
        return std::max(bounds.height(), QFontMetricsF(font, m_painter.device()).height());
    }
    // `text` wrapped into the box at (x, y) of width `width`; the height it takes.
    double text(double x, double y, double width, const QString& text, const QFont& font,
                const QColor& colour = Qt::black, Qt::Alignment alignment = Qt::AlignLeft) {
        const double height = heightOf(text, font, width);
        if (drawing) {
            m_painter.setPen(colour);
            QTextOption option = m_wrap;
            option.setAlignment(alignment);
            m_painter.drawText(QRectF(x, y, width, height), text, option);
        }
        return height;
    }
    void box(const QRectF& rect, const QColor& fill = QColor()) {
        if (!drawing)
            return;
        m_painter.setPen(QPen(kGridColour, mm(0.15)));
        m_painter.setBrush(fill.isValid() ? QBrush(fill) : QBrush(Qt::NoBrush));
        m_painter.drawRect(rect);
    }
    QPainter& painter() { return m_painter; }

  private:
    QPainter& m_painter;
    double m_resolution;
    QTextOption m_wrap;
};

// A piece of the certificate that is never split over two pages: it draws itself at a given
// top (or only measures) and says how tall it is. `keepWithNext` keeps a heading on the page
// of what follows it.
struct Block {
    std::function<double(Canvas&, double top)> paint;
    bool keepWithNext = false;
};

// A table: the titles shaded on top, one row per entry, the columns by their weights.
double table(Canvas& canvas, double top, double width, const QStringList& titles,
             const std::vector<double>& weights, const std::vector<QStringList>& rows,
             const std::vector<QColor>& rowColours, const QFont& font, const QFont& bold) {
    const double pad = canvas.mm(kCellPaddingMm);
    double total = 0;
    for (double weight : weights)
        total += weight;
    std::vector<double> x{0};
    for (double weight : weights)
        x.push_back(x.back() + width * weight / total);
    const auto cellWidth = [&](size_t c) { return x[c + 1] - x[c] - 2 * pad; };
    const auto rowHeight = [&](const QStringList& cells, const QFont& f) {
        double height = 0;
        for (size_t c = 0; c < size_t(cells.size()) && c + 1 < x.size(); ++c)
            height = std::max(height, canvas.heightOf(cells[qsizetype(c)], f, cellWidth(c)));
        return height + 2 * pad;
    };
    double y = top;
    const auto drawRow = [&](const QStringList& cells, const QFont& f, const QColor& colour,
                             const QColor& fill) {
        const double height = rowHeight(cells, f);
        for (size_t c = 0; c < size_t(cells.size()) && c + 1 < x.size(); ++c) {
            canvas.box(QRectF(x[c], y, x[c + 1] - x[c], height), fill);
            canvas.text(x[c] + pad, y + pad, cellWidth(c), cells[qsizetype(c)], f, colour);
        }
        y += height;
    };
    drawRow(titles, bold, Qt::black, kHeadShade);
    for (size_t r = 0; r < rows.size(); ++r)
        drawRow(rows[r], font, r < rowColours.size() ? rowColours[r] : QColor(Qt::black), QColor());
    return y - top;
}

// The plot of a test's points, drawn as the Verify window draws it.
ErrorPlot plotOf(const CertificateTest& test) {
    ErrorPlot plot;
    plot.tolerancePercent = test.tolerancePercent.toDouble();
    plot.acceptancePercent = plot.tolerancePercent;
    if (test.decisionRule.startsWith(decisionRuleName(DecisionRule::Kind::GuardBand)))
        plot.acceptancePercent =
            std::max(0.0, plot.tolerancePercent - test.largestUncertaintyPercent().value_or(0));
    for (const CertificatePoint& point : test.points)
        plot.points.push_back({point.percent.toDouble(), point.errorPercent.toDouble(),
                               point.uncertaintyPercent.toDouble(),
                               point.verdict == verdictName(Verdict::Pass), point.descending});
    return plot;
}

QString phaseTitle(const QString& phase) {
    return phase == QLatin1String("as-left") ? QStringLiteral("As-left")
                                             : QStringLiteral("As-found");
}

// "As-found: FAIL. Test of 2026-12-09T22:35:20+00:00 by pat, 5 points, mode V, tolerance
// ±0.5 % of span, U up to 0.059 % of span (k = 2), TUR 8.5 : 1, decision rule ...".
QString testSummary(const CertificateTest& test) {
    QStringList parts;
    parts << QStringLiteral("test begun %1 by %2").arg(test.started, orNone(test.technician));
    parts << QStringLiteral("%1 points").arg(test.points.size());
    parts << QStringLiteral("applied as %1")
                 .arg(test.mode == QLatin1String("EU") ? QStringLiteral("engineering values")
                                                       : QStringLiteral("volts"));
    if (!test.tolerancePercent.isEmpty())
        parts << QStringLiteral("tolerance \u00b1%1 % of span").arg(test.tolerancePercent);
    if (const auto u = test.largestUncertaintyPercent())
        parts << QStringLiteral("U up to %1 % of span (k = 2)").arg(QString::number(*u, 'g', 4));
    if (const auto tur = test.testUncertaintyRatio())
        parts << QStringLiteral("TUR %1 : 1").arg(QString::number(*tur, 'f', 1));
    if (!test.decisionRule.isEmpty())
        parts << QStringLiteral("decision rule: %1").arg(test.decisionRule);
    parts << QStringLiteral("reference %1, certificate %2")
                 .arg(orNone(test.reference.serial), orNone(test.reference.certificate));
    parts << QStringLiteral("log %1 %2")
                 .arg(test.pending ? QStringLiteral("pending file") : QStringLiteral("file"),
                      fileLinesText(test.firstFileLine, test.lastFileLine));
    if (!test.chained)
        parts << QStringLiteral("CHAIN BROKEN in these lines");
    return QStringLiteral("%1: %2. ").arg(phaseTitle(test.phase), test.verdict.toUpper()) +
           parts.join(QStringLiteral(", ")) + QLatin1Char('.') +
           (test.reason.isEmpty() ? QString() : QStringLiteral(" Reason: %1.").arg(test.reason));
}

// The references the tests were made with, once each.
std::vector<const CertificateTest*> referenceTests(const Certificate& certificate) {
    std::vector<const CertificateTest*> tests;
    QStringList seen;
    for (const CertificateRow& row : certificate.rows)
        for (const auto* test :
             {row.asFound ? &*row.asFound : nullptr, row.asLeft ? &*row.asLeft : nullptr}) {
            if (test == nullptr || test->points.empty())
                continue;
            const QString key =
                test->reference.serial + QLatin1Char('|') + test->reference.certificate;
            if (!seen.contains(key)) {
                seen << key;
                tests.push_back(test);
            }
        }
    return tests;
}

} // namespace

bool writeCertificatePdf(const Certificate& certificate, const QString& pdfPath,
                         const QString& tool, const QDate& issued, QString& error) {
    // Written under another name and renamed when whole: never half a certificate.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write %1: %2").arg(pdfPath, file.errorString());
        return false;
    }
    const QString number = certificate.number(issued);
    QPdfWriter writer(&file);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    writer.setResolution(600);
    writer.setTitle(QStringLiteral("Calibration certificate %1, controller %2")
                        .arg(number, certificate.controllerText()));
    writer.setCreator(tool);

    QPainter painter;
    if (!painter.begin(&writer)) {
        error = QStringLiteral("cannot write %1: the PDF could not be started").arg(pdfPath);
        return false;
    }
    Canvas canvas(painter, writer.resolution());
    const double width = writer.width();
    const double height = writer.height();
    const QFont body = fontOf(8);
    const QFont bold = fontOf(8, true);
    const QFont small = fontOf(6.8);
    const QFont smallBold = fontOf(6.8, true);
    const QFont heading = fontOf(10.5, true);
    const QFont title = fontOf(17, true);
    const bool intact =
        certificate.brokenFileLines.empty() && certificate.brokenPendingLines.empty();
    const QString broken =
        brokenPlacesText(certificate.brokenFileLines, certificate.brokenPendingLines);
    const JobDetails& job = certificate.settings.job;

    std::vector<Block> blocks;
    const auto paragraph = [&](const QString& text, const QFont& font,
                               const QColor& colour = Qt::black, double after = 1.2) {
        blocks.push_back({[=](Canvas& c, double top) {
            return c.text(0, top, width, text, font, colour) + c.mm(after);
        }});
    };
    const auto headingBlock = [&](const QString& text) {
        blocks.push_back({[=](Canvas& c, double top) {
                              return c.mm(2.5) + c.text(0, top + c.mm(2.5), width, text, heading) +
                                     c.mm(1.2);
                          },
                          true});
    };
    // Label and value side by side.
    const double labelWidth = canvas.mm(46);
    const auto fact = [&](const QString& label, const QString& value,
                          const QColor& colour = Qt::black) {
        blocks.push_back({[=](Canvas& c, double top) {
            return std::max(c.text(0, top, labelWidth, label, bold),
                            c.text(labelWidth, top, width - labelWidth, value, body, colour)) +
                   c.mm(0.8);
        }});
    };

    // --- The whole job.
    blocks.push_back({[=](Canvas& c, double top) {
        double y = top + c.text(0, top, width, QStringLiteral("Calibration Certificate"), title);
        y += c.text(0, y, width, QStringLiteral("Certificate number %1").arg(number), heading);
        y += c.text(0, y, width,
                    QStringLiteral("Issued %1 by %2")
                        .arg(issued.toString(QStringLiteral("yyyy-MM-dd")), tool),
                    body, kQuietColour);
        if (!certificate.replaces.isEmpty())
            y += c.text(0, y, width,
                        QStringLiteral("This certificate replaces certificate %1.")
                            .arg(certificate.replaces),
                        bold);
        return y - top + c.mm(3);
    }});
    fact(QStringLiteral("Calibrated by"),
         orNone(job.organisation) +
             (job.address.isEmpty()
                  ? QString()
                  : QStringLiteral(", ") +
                        QString(job.address).replace(QLatin1Char('\n'), QStringLiteral(", "))));
    fact(QStringLiteral("Site"), orNone(job.site));
    fact(QStringLiteral("Customer"), orNone(job.customer));
    fact(QStringLiteral("Work order"), orNone(job.workOrder));
    fact(QStringLiteral("Item calibrated"),
         QStringLiteral("TQ-8400 controller %1; display board date %2, display board info %3, "
                        "terminal board date %4; its fourteen analog inputs")
             .arg(certificate.controllerTag.isEmpty()
                      ? QStringLiteral("(no tag or serial number given)")
                      : certificate.controllerTag,
                  certificate.displayMicroDate, certificate.displayMicroInfo,
                  certificate.terminalMicroDate));
    fact(QStringLiteral("Connected through"),
         QStringLiteral("port %1").arg(certificate.ports.join(QStringLiteral(", "))) +
             (certificate.devices.isEmpty()
                  ? QString()
                  : QStringLiteral(" (%1)").arg(certificate.devices.join(QStringLiteral(", ")))));
    fact(QStringLiteral("Date of calibration"),
         certificate.firstDate == certificate.lastDate
             ? certificate.firstDate
             : QStringLiteral("%1 to %2").arg(certificate.firstDate, certificate.lastDate));
    if (!job.ambient.isEmpty()) {
        // Kept in degrees Celsius; a settings file edited by hand may say more.
        bool number = false;
        job.ambient.toDouble(&number);
        fact(QStringLiteral("Ambient temperature"),
             number ? job.ambient + QStringLiteral(" \u00b0C") : job.ambient);
    }
    // The method: the number of points of the tests made.
    qsizetype points = 0;
    QStringList modes;
    QStringList rules;
    QStringList tolerances;
    for (const CertificateRow& row : certificate.rows)
        for (const auto* test :
             {row.asFound ? &*row.asFound : nullptr, row.asLeft ? &*row.asLeft : nullptr}) {
            if (test == nullptr || test->points.empty())
                continue;
            points = std::max(points, qsizetype(test->points.size()));
            const QString mode = test->mode == QLatin1String("EU")
                                     ? QStringLiteral("the measured quantity applied")
                                     : QStringLiteral("voltage injection");
            if (!modes.contains(mode))
                modes << mode;
            if (!test->decisionRule.isEmpty() && !rules.contains(test->decisionRule))
                rules << test->decisionRule;
            const QString tolerance =
                QStringLiteral("\u00b1%1 % of span").arg(test->tolerancePercent);
            if (!test->tolerancePercent.isEmpty() && !tolerances.contains(tolerance))
                tolerances << tolerance;
        }
    fact(QStringLiteral("Method"),
         points == 0
             ? QStringLiteral("Adjustment of the analog inputs' setpoints, procedure %1, tool %2. "
                              "No test against a reference is recorded.")
                   .arg(orNone(job.procedure), tool)
             : QStringLiteral("Analog input verification by %1, %2 points, procedure %3, tool "
                              "%4. Each point's error is the channel's reading less the value "
                              "the reference applied, in % of the channel's span.")
                   .arg(modes.join(QStringLiteral(" and ")))
                   .arg(points)
                   .arg(orNone(job.procedure), tool));
    const std::vector<const CertificateTest*> references = referenceTests(certificate);
    if (references.empty()) {
        fact(QStringLiteral("Reference standard"),
             QStringLiteral("none: no test against a reference is recorded"));
    }
    for (const CertificateTest* test : references) {
        const ReferenceInstrument& r = test->reference;
        fact(QStringLiteral("Reference standard"),
             QStringLiteral("%1, serial %2, certificate %3 issued by %4, due %5, U = %6 (k = 2)")
                 .arg(orNone(r.description), orNone(r.serial), orNone(r.certificate),
                      orNone(r.laboratory), orNone(r.dueDate), orNone(test->referenceUncertainty)));
        fact(QStringLiteral("Traceability"),
             QStringLiteral("The reference %1 was calibrated by %2 under certificate %3; through "
                            "it the results are traceable to the International System of Units "
                            "(SI) by way of national measurement standards.")
                 .arg(orNone(r.serial), orNone(r.laboratory), orNone(r.certificate)));
    }
    fact(QStringLiteral("Uncertainty"),
         QStringLiteral("The expanded uncertainty U is the combined standard uncertainty of the "
                        "reference, the reading's resolution and its repeatability, multiplied "
                        "by the coverage factor k = 2, which for a normal distribution gives a "
                        "coverage probability of about 95 %."));
    fact(QStringLiteral("Decision rule"),
         rules.isEmpty() ? QStringLiteral("(no test made)") : rules.join(QStringLiteral("; ")));
    fact(QStringLiteral("Tolerance"), tolerances.isEmpty() ? QStringLiteral("(no test made)")
                                                           : tolerances.join(QStringLiteral(", ")));
    fact(QStringLiteral("Performed by"), certificate.technicians.join(QStringLiteral(", ")));

    // --- The record it is made from.
    QStringList sources;
    if (certificate.firstFileLine > 0)
        sources << QStringLiteral("%1 of %2")
                       .arg(fileLinesText(certificate.firstFileLine, certificate.lastFileLine),
                            QDir::toNativeSeparators(certificate.logPath));
    if (certificate.firstPendingLine > 0)
        sources << QStringLiteral("%1 of %2 (pending: kept there while the log could not be "
                                  "written)")
                       .arg(
                           fileLinesText(certificate.firstPendingLine, certificate.lastPendingLine),
                           QDir::toNativeSeparators(certificate.pendingPath));
    const QString madeFrom = QStringLiteral("Made from ") + sources.join(QStringLiteral(" and "));
    fact(QStringLiteral("Calibration log"),
         madeFrom + QStringLiteral(". The certificate covers the log's first %1 lines after its "
                                   "header; the chain value of the last of them is %2.")
                        .arg(certificate.coveredLines)
                        .arg(QString::fromLatin1(certificate.lastChain)));
    fact(QStringLiteral("Chain"),
         intact ? QStringLiteral("Chain intact: every line of the log%1 follows from the one "
                                 "before it.")
                      .arg(certificate.pendingPath.isEmpty()
                               ? QString()
                               : QStringLiteral(" and of its pending file"))
                : QStringLiteral("CHAIN BROKEN at %1: changed since it was written or "
                                 "unreadable. What stands on such a line is marked.")
                      .arg(broken),
         intact ? QColor(Qt::black) : kBreakColour);
    if (!certificate.timeOrderBreaks.empty()) {
        QStringList flagged;
        for (const TimeOrderBreak& b : certificate.timeOrderBreaks)
            flagged << QStringLiteral("%1 is dated %2, before the line above it (%3)")
                           .arg(b.place, b.time, b.previousTime);
        fact(QStringLiteral("TIME ORDER"),
             flagged.join(QStringLiteral("; ")) +
                 QStringLiteral(". The computer's clock was set back while the log was kept: "
                                "the dates of these lines cannot be relied on."),
             kBreakColour);
    }

    // --- Summary of the channels.
    headingBlock(QStringLiteral("Results by channel"));
    {
        std::vector<QStringList> rows;
        std::vector<QColor> colours;
        for (const CertificateRow& row : certificate.rows) {
            const QString adjusted =
                row.accept ? QStringLiteral("adjusted %1")
                                 .arg(logCell(certificate.columns, *row.accept,
                                              QStringLiteral("date_time")))
                           : (row.calibrated() ? QStringLiteral("not adjusted") : QString());
            rows.push_back({row.channel, row.sensorType, row.unit,
                            row.asFound ? row.asFound->verdict : QString(), adjusted,
                            row.asLeft ? row.asLeft->verdict : QString(), row.status()});
            colours.push_back(row.chained() ? QColor(Qt::black) : kBreakColour);
        }
        blocks.push_back({[=](Canvas& c, double top) {
            return table(c, top, width,
                         {QStringLiteral("Channel"), QStringLiteral("Sensor type"),
                          QStringLiteral("Unit"), QStringLiteral("As-found"),
                          QStringLiteral("Adjustment"), QStringLiteral("As-left"),
                          QStringLiteral("Result")},
                         {5, 8, 7, 8, 16, 8, 14}, rows, colours, small, smallBold) +
                   c.mm(1);
        }});
    }

    // --- Each calibrated channel.
    const QStringList pointTitles{
        QStringLiteral("% of span"),        QStringLiteral("Nominal"),
        QStringLiteral("Applied"),          QStringLiteral("Expected"),
        QStringLiteral("Reading"),          QStringLiteral("Error"),
        QStringLiteral("Error, % of span"), QStringLiteral("U (k = 2), % of span"),
        QStringLiteral("Verdict")};
    const std::vector<double> pointWeights{6, 7, 7, 7, 7, 7, 8, 9, 6};
    const auto testBlocks = [&](const CertificateRow& row,
                                const std::optional<CertificateTest>& test, const QString& phase) {
        if (!test) {
            const QString none =
                phase == QLatin1String("as-left")
                    ? (row.accept ? QStringLiteral("As-left: adjusted, not verified: no as-left "
                                                   "test after the adjustment.")
                                  : QStringLiteral("As-left: no adjustment made, no as-left test."))
                    : QStringLiteral("As-found: not tested.");
            paragraph(none, body, Qt::black);
            return;
        }
        const QColor colour = test->chained ? QColor(Qt::black) : kBreakColour;
        if (test->verdict == QLatin1String("not applicable")) {
            paragraph(QStringLiteral("As-found: not applicable (initial calibration). Reason: "
                                     "%1. Recorded %2 by %3, log %4.")
                          .arg(orNone(test->reason), test->started, orNone(test->technician),
                               fileLinesText(test->firstFileLine, test->lastFileLine)),
                      body, colour);
            return;
        }
        paragraph(testSummary(*test), body, colour, 0.8);
        blocks.back().keepWithNext = true;
        std::vector<QStringList> rows;
        std::vector<QColor> colours;
        for (const CertificatePoint& p : test->points) {
            rows.push_back({p.percent + (p.descending ? QStringLiteral(" down") : QString()),
                            p.nominal, p.applied, p.expected, p.reading, p.error, p.errorPercent,
                            p.uncertaintyPercent, p.verdict});
            colours.push_back(colour);
        }
        if (!rows.empty())
            blocks.push_back({[=](Canvas& c, double top) {
                return table(c, top, width, pointTitles, pointWeights, rows, colours, small,
                             smallBold) +
                       c.mm(1.5);
            }});
    };
    for (const CertificateRow& row : certificate.rows) {
        if (!row.calibrated())
            continue;
        headingBlock(QStringLiteral("Channel %1: %2 %3, %4")
                         .arg(row.channel, row.sensorType, row.unit, row.status()));
        if (!row.earlierAttempts.isEmpty())
            paragraph(QStringLiteral("%1 earlier attempt%2, log line%2 %3 (not shown).")
                          .arg(row.earlierAttempts.size())
                          .arg(row.earlierAttempts.size() == 1 ? QString() : QStringLiteral("s"))
                          .arg(row.earlierAttempts.join(QStringLiteral(", "))),
                      body, kQuietColour);
        testBlocks(row, row.asFound, QStringLiteral("as-found"));
        if (row.accept) {
            const auto cell = [&](const char* column) {
                return logCell(certificate.columns, *row.accept, QLatin1String(column));
            };
            const QColor colour = row.accept->chained ? QColor(Qt::black) : kBreakColour;
            paragraph(
                QStringLiteral("Adjustment %1 by %2: setpoints %3 V to %4 V for %5 to %6 %7 "
                               "(converter counts %8 and %9); controller write: %10; replies "
                               "%11; reading before %12, after %13; report file: %14; log "
                               "line %15%16.")
                    .arg(cell("date_time"), cell("user"), cell("low_volts"), cell("high_volts"),
                         cell("low_range"), cell("high_range"), cell("unit"), cell("low_count"),
                         cell("high_count"))
                    .arg(cell("controller_write"), orNone(cell("write_replies")),
                         orNone(cell("reading_before")), orNone(cell("reading_after")),
                         cell("report_file"),
                         (row.accept->pending ? QStringLiteral("pending %1") : QStringLiteral("%1"))
                             .arg(row.accept->firstFileLine),
                         row.accept->chained ? QString() : QStringLiteral(" broken")),
                body, colour);
        } else {
            paragraph(QStringLiteral("Adjustment: none."), body);
        }
        testBlocks(row, row.asLeft, QStringLiteral("as-left"));
        // The plots of the tests with points, side by side.
        std::vector<std::pair<QString, ErrorPlot>> plots;
        for (const auto* test :
             {row.asFound ? &*row.asFound : nullptr, row.asLeft ? &*row.asLeft : nullptr})
            if (test != nullptr && !test->points.empty())
                plots.push_back({phaseTitle(test->phase), plotOf(*test)});
        if (!plots.empty())
            blocks.push_back({[=](Canvas& c, double top) {
                const double plotWidth = (width - c.mm(6)) / 2;
                const double plotHeight = c.mm(42);
                double x = 0;
                for (const auto& [name, plot] : plots) {
                    const double label = c.text(x, top, plotWidth,
                                                name + QStringLiteral(": error, % of span"), small);
                    if (c.drawing) {
                        // Drawn at the size of a screen's pixels, scaled up: marks and lines
                        // keep the weight they have in the Verify window.
                        const double scale = c.mm(25.4) / 96.0;
                        QPainter& painter = c.painter();
                        painter.save();
                        painter.translate(x, top + label);
                        painter.scale(scale, scale);
                        // In the scaled units, as a screen's pixels: a font given in points
                        // would be sized for the page's resolution and then scaled again.
                        QFont font = small;
                        font.setPixelSize(9);
                        painter.setFont(font);
                        drawErrorPlot(painter, QRectF(0, 0, plotWidth / scale, plotHeight / scale),
                                      plot);
                        painter.restore();
                    }
                    x += plotWidth + c.mm(6);
                }
                return c.heightOf(QStringLiteral("A"), small, width) + plotHeight + c.mm(2);
            }});
    }

    // --- The statements, the review and the end.
    headingBlock(QStringLiteral("Statements"));
    paragraph(QStringLiteral("The results relate only to the item calibrated."), body);
    paragraph(QStringLiteral("This certificate shall not be reproduced except in full."), body);
    paragraph(
        QStringLiteral("Performed by: %1").arg(certificate.technicians.join(QStringLiteral(", "))),
        body, Qt::black, 5);
    paragraph(QStringLiteral("Reviewed by ______________________________   Date ______________"),
              body, Qt::black, 3);
    paragraph(QStringLiteral("End of certificate"), bold);

    // --- Pages: the blocks in order, a block never split, a heading kept with what follows.
    const double contentTop = canvas.mm(kHeaderMm);
    const double contentBottom = height - canvas.mm(kFooterMm);
    canvas.drawing = false;
    std::vector<double> heights;
    for (Block& block : blocks)
        heights.push_back(block.paint(canvas, 0));
    std::vector<size_t> pageStarts{0};
    {
        double y = contentTop;
        for (size_t b = 0; b < blocks.size(); ++b) {
            double needed = heights[b];
            for (size_t n = b; blocks[n].keepWithNext && n + 1 < blocks.size(); ++n)
                needed += heights[n + 1];
            if (y + needed > contentBottom && b > pageStarts.back()) {
                pageStarts.push_back(b);
                y = contentTop;
            }
            y += heights[b];
        }
    }
    const int pageCount = int(pageStarts.size());
    canvas.drawing = true;
    const QString chainShort =
        intact ? QStringLiteral("Chain intact") : QStringLiteral("Chain BROKEN at %1").arg(broken);
    for (int p = 0; p < pageCount; ++p) {
        if (p > 0)
            writer.newPage();
        const QString pageText = QStringLiteral("Page %1 of %2").arg(p + 1).arg(pageCount);
        canvas.text(0, 0, width * 0.7, QStringLiteral("Calibration Certificate %1").arg(number),
                    small, kQuietColour);
        canvas.text(width * 0.7, 0, width * 0.3, pageText, small, kQuietColour, Qt::AlignRight);
        double y = contentTop;
        const size_t end = p + 1 < pageCount ? pageStarts[size_t(p) + 1] : blocks.size();
        for (size_t b = pageStarts[size_t(p)]; b < end; ++b)
            y += blocks[b].paint(canvas, y);
        canvas.text(0, contentBottom + canvas.mm(3), width * 0.7,
                    QStringLiteral("Certificate %1. %2.").arg(number, chainShort), small,
                    intact ? kQuietColour : kBreakColour);
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
