#include "records/error_plot.h"

#include "records/figure_text.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace records {

ErrorPlot errorPlotOf(const std::vector<PointResult>& results, double tolerancePercent) {
    ErrorPlot plot;
    plot.tolerancePercent = tolerancePercent;
    plot.acceptancePercent = tolerancePercent;
    double lastPercent = -1;
    for (const PointResult& result : results) {
        ErrorPlotPoint point;
        point.percent = result.point.percent;
        point.errorPercent = result.errorPercent;
        point.uncertaintyPercent = result.uncertaintyPercent;
        point.passed = result.passed();
        point.descending = result.point.percent < lastPercent;
        lastPercent = result.point.percent;
        plot.points.push_back(point);
        plot.acceptancePercent = std::min(plot.acceptancePercent, result.rule.acceptancePercent);
    }
    plot.acceptancePercent = std::max(plot.acceptancePercent, 0.0);
    return plot;
}

double errorAxisReach(const ErrorPlot& plot) {
    double reach = std::abs(plot.tolerancePercent) * 1.5;
    for (const ErrorPlotPoint& point : plot.points)
        reach = std::max(reach, (std::abs(point.errorPercent) + point.uncertaintyPercent) * 1.1);
    if (!std::isfinite(reach) || reach <= 0)
        return 1;
    // 1, 2 or 5 times a power of ten.
    const double decade = std::pow(10.0, std::floor(std::log10(reach)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * decade >= reach)
            return step * decade;
    return 10 * decade;
}

void drawErrorPlot(QPainter& painter, const QRectF& area, const ErrorPlot& plot) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font());
    const double reach = errorAxisReach(plot);
    const QString top = figureText(reach, 3);
    // Room on the left for the widest label: the reach, or a tolerance with more digits.
    const double labelWidth = std::max(
        metrics.horizontalAdvance(QLatin1Char('-') + top),
        metrics.horizontalAdvance(QLatin1Char('-') + figureText(plot.tolerancePercent, 3)));
    const double left = area.left() + labelWidth + 6;
    const double bottom = area.bottom() - metrics.height() * 2 - 4;
    const QRectF frame(QPointF(left, area.top() + metrics.height()),
                       QPointF(area.right() - 6, bottom));
    const auto x = [&](double percent) { return frame.left() + frame.width() * percent / 100; };
    const auto y = [&](double errorPercent) {
        const double clamped = std::clamp(errorPercent, -reach, reach);
        return frame.center().y() - frame.height() / 2 * clamped / reach;
    };

    // The tolerance band, then the acceptance limits of a guard band inside it.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(220, 235, 220));
    painter.drawRect(QRectF(QPointF(frame.left(), y(plot.tolerancePercent)),
                            QPointF(frame.right(), y(-plot.tolerancePercent))));
    if (plot.acceptancePercent < plot.tolerancePercent) {
        painter.setPen(QPen(QColor(60, 120, 60), 1, Qt::DashLine));
        for (double limit : {plot.acceptancePercent, -plot.acceptancePercent})
            painter.drawLine(QPointF(frame.left(), y(limit)), QPointF(frame.right(), y(limit)));
    }

    // Frame, zero line and the axes' texts.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    painter.drawLine(QPointF(frame.left(), y(0)), QPointF(frame.right(), y(0)));
    painter.setPen(Qt::black);
    const double textHeight = metrics.height();
    // The reach and zero always; the tolerance where it does not crowd them.
    const bool toleranceLabelled = std::abs(y(plot.tolerancePercent) - y(0)) > textHeight &&
                                   std::abs(y(plot.tolerancePercent) - y(reach)) > textHeight;
    for (double value : {reach, plot.tolerancePercent, 0.0, -plot.tolerancePercent, -reach}) {
        if (!toleranceLabelled && std::abs(value) == plot.tolerancePercent &&
            plot.tolerancePercent != reach)
            continue;
        const QString text = figureText(value, 3);
        painter.drawText(
            QRectF(area.left(), y(value) - textHeight / 2, left - area.left() - 4, textHeight),
            Qt::AlignRight | Qt::AlignVCenter, text);
    }
    for (int percent = 0; percent <= 100; percent += 25) {
        const QString text = QString::number(percent);
        const double width = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(x(percent) - width / 2, bottom + textHeight), text);
    }
    painter.drawText(QRectF(frame.left(), bottom + textHeight, frame.width(), textHeight * 1.5),
                     Qt::AlignHCenter | Qt::AlignBottom,
                     QStringLiteral("% of span; error in % of span (band: tolerance)"));

    // Each point with its uncertainty bar: a dot when it passed, a cross when it did not;
    // points on the way down drawn hollow.
    for (const ErrorPlotPoint& point : plot.points) {
        const double px = x(point.percent);
        const double py = y(point.errorPercent);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(QPointF(px, y(point.errorPercent + point.uncertaintyPercent)),
                         QPointF(px, y(point.errorPercent - point.uncertaintyPercent)));
        const double r = 3.5;
        if (point.passed) {
            painter.setBrush(point.descending ? QBrush(Qt::white) : QBrush(Qt::black));
            painter.drawEllipse(QPointF(px, py), r, r);
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.setPen(QPen(QColor(180, 0, 0), 2));
            painter.drawLine(QPointF(px - r, py - r), QPointF(px + r, py + r));
            painter.drawLine(QPointF(px - r, py + r), QPointF(px + r, py - r));
        }
    }
    painter.restore();
}

} // namespace records
