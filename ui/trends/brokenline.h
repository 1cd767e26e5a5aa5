// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <functional>
#include <vector>

namespace orvik {

// Records further apart than this are not joined by a line.
constexpr double kGapMs = 3600.0 * 1000;

// Records this far apart on screen, or further, are each marked on their line.
constexpr double kMarkSpacingPx = 6;

// A line of the trend chart as drawn: no line where nothing was received, a record alone
// (or records on one spot) a dot, and a record that stands clear of its neighbours a mark.
struct BrokenLine {
    QPainterPath path;
    std::vector<QPointF> dots;
    std::vector<QPointF> marks;
};

// The points, in x order, placed by `at`; neighbours kGapMs or more apart that stand more
// than 3 pixels apart are not joined.
BrokenLine brokenLine(const QList<QPointF>& points, const std::function<QPointF(const QPointF&)>& at);

} // namespace orvik
