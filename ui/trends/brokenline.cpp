// SPDX-License-Identifier: GPL-3.0-or-later
#include "brokenline.h"

#include <algorithm>

namespace orvik {

BrokenLine brokenLine(const QList<QPointF>& points, const std::function<QPointF(const QPointF&)>& at)
{
    BrokenLine out;
    qsizetype runStart = 0;
    QPointF previous;
    QPointF runLow, runHigh; // the corners of what the current run covers, in pixels
    for (qsizetype k = 0; k <= points.size(); ++k) {
        const QPointF here = k == points.size() ? QPointF() : at(points[k]);
        const bool gap = k == points.size() || (k > 0 && points[k].x() - points[k - 1].x() >= kGapMs &&
                                                here.x() - previous.x() > 3);
        if (k > 0 && gap) {
            // A record alone, or records that all land on one spot, would draw no line.
            if (k - runStart == 1 || (runHigh.x() - runLow.x() < 1 && runHigh.y() - runLow.y() < 1))
                out.dots.push_back(previous);
            runStart = k;
        }
        if (k == points.size())
            break;
        if (k == runStart) {
            out.path.moveTo(here);
            runLow = runHigh = here;
        } else {
            out.path.lineTo(here);
            runLow = QPointF(std::min(runLow.x(), here.x()), std::min(runLow.y(), here.y()));
            runHigh = QPointF(std::max(runHigh.x(), here.x()), std::max(runHigh.y(), here.y()));
        }
        previous = here;
    }
    // Where records stand clear of each other, each one received is seen.
    for (qsizetype k = 0; k < points.size() && points.size() > 1; ++k) {
        const double x = at(points[k]).x();
        const bool clearBefore = k == 0 || x - at(points[k - 1]).x() >= kMarkSpacingPx;
        const bool clearAfter = k + 1 == points.size() || at(points[k + 1]).x() - x >= kMarkSpacingPx;
        const QPointF here = at(points[k]);
        if (clearBefore && clearAfter && std::find(out.dots.begin(), out.dots.end(), here) == out.dots.end())
            out.marks.push_back(here);
    }
    return out;
}

} // namespace orvik
