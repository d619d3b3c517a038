// The picture of a test: each point's error in % of span over its place on the span, with its
// uncertainty bar, inside the tolerance band (and the narrower acceptance limits of a guard
// band). Drawn with a painter into any rectangle, so a window and a printed page draw the same.
#pragma once

#include "records/point_result.h"

#include <QRectF>
#include <QString>

#include <vector>

class QPainter;

namespace records {

struct ErrorPlotPoint {
    double percent = 0;      // where on the span, 0 to 100
    double errorPercent = 0; // the error, % of span
    double uncertaintyPercent = 0;
    bool passed = false;
    bool descending = false; // taken on the way down (hysteresis)
};

struct ErrorPlot {
    std::vector<ErrorPlotPoint> points;
    double tolerancePercent = 0.5;
    // The limit a guard band leaves inside the tolerance, when narrower; drawn dashed.
    double acceptancePercent = 0.5;
};

// The plot of a test's recorded points.
ErrorPlot errorPlotOf(const std::vector<PointResult>& results, double tolerancePercent);

// How far the vertical axis reaches either side of zero: the band and every point with its
// bar fit, with a margin, on a round number.
double errorAxisReach(const ErrorPlot& plot);

// Draws the plot into `area`; the painter's pen, brush and font are left as they were.
void drawErrorPlot(QPainter& painter, const QRectF& area, const ErrorPlot& plot);

} // namespace records
