// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivequery.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <vector>

namespace orvik {

// A channel of the trend chart: its points in x order.
struct ChartLine {
    QString caption;
    QString unit;
    bool whole = false; // whole numbers, as the panels show counters and the time
    QList<QPointF> points;
};

// The point nearest to x of points in x order; end() when there are none.
QList<QPointF>::const_iterator nearestPoint(const QList<QPointF>& points, double x);

// Where the read-out stands for x: the x of the nearest point of any line; NaN when x is NaN
// or no line has a point.
double readOutAt(const std::vector<ChartLine>& lines, double x);

// The x of the first point of any line after `from` (direction > 0) or the last before it;
// NaN when there is none. A NaN `from` stands before the first point or after the last.
double readOutStep(const std::vector<ChartLine>& lines, double from, int direction);

// "<time>: <caption> <value> <unit>, ..." at x, each line's value nearest to it; empty for NaN.
QString readOutText(const std::vector<ChartLine>& lines, TrendTime time, double x);

} // namespace orvik
