// SPDX-License-Identifier: GPL-3.0-or-later
#include "brokenline.h"

namespace orvik {

BrokenLine brokenLine(const QList<QPointF>& points, const std::function<QPointF(const QPointF&)>& at)
{
    BrokenLine out;
    qsizetype runStart = 0;
    QPointF previous;
    for (qsizetype k = 0; k <= points.size(); ++k) {
        const QPointF here = k == points.size() ? QPointF() : at(points[k]);
        const bool gap = k == points.size() || (k > 0 && points[k].x() - points[k - 1].x() >= kGapMs &&
                                                here.x() - previous.x() > 3);
        if (k > 0 && gap) {
            if (k - runStart == 1)
                out.dots.push_back(previous);
            runStart = k;
        }
        if (k == points.size())
            break;
        if (k == runStart)
            out.path.moveTo(here);
        else
            out.path.lineTo(here);
        previous = here;
    }
    return out;
}

} // namespace orvik
