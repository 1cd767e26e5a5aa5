// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendreadout.h"

#include "platform/numbertext.h"
#include "ui/trends/timeaxis.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace orvik {

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

QString numberText(double value, bool whole)
{
    return whole ? wholeNumberText(value) : fixed2NumberText(value);
}

} // namespace

QList<QPointF>::const_iterator nearestPoint(const QList<QPointF>& points, double x)
{
    auto it = std::lower_bound(points.begin(), points.end(), x,
                               [](const QPointF& p, double v) { return p.x() < v; });
    if (it != points.begin() && (it == points.end() || x - (it - 1)->x() < it->x() - x))
        --it;
    return it;
}

double readOutAt(const std::vector<ChartLine>& lines, double x)
{
    if (std::isnan(x))
        return kNone;
    double best = kNone;
    for (const ChartLine& line : lines) {
        const auto it = nearestPoint(line.points, x);
        if (it != line.points.end() && (std::isnan(best) || std::abs(it->x() - x) < std::abs(best - x)))
            best = it->x();
    }
    return best;
}

double readOutStep(const std::vector<ChartLine>& lines, double from, int direction)
{
    if (std::isnan(from))
        from = direction > 0 ? -std::numeric_limits<double>::infinity()
                             : std::numeric_limits<double>::infinity();
    double next = kNone;
    for (const ChartLine& line : lines) {
        if (direction > 0) {
            auto it = std::upper_bound(line.points.begin(), line.points.end(), from,
                                       [](double v, const QPointF& p) { return v < p.x(); });
            if (it != line.points.end() && (std::isnan(next) || it->x() < next))
                next = it->x();
        } else {
            auto it = std::lower_bound(line.points.begin(), line.points.end(), from,
                                       [](const QPointF& p, double v) { return p.x() < v; });
            if (it != line.points.begin() && (std::isnan(next) || (it - 1)->x() > next))
                next = (it - 1)->x();
        }
    }
    return next;
}

QString readOutText(const std::vector<ChartLine>& lines, TrendTime time, double x)
{
    if (std::isnan(x))
        return {};
    QStringList parts;
    for (const ChartLine& line : lines) {
        const auto it = nearestPoint(line.points, x);
        QString part = line.caption + u' ';
        part += it == line.points.end() ? QStringLiteral("no value") : numberText(it->y(), line.whole);
        if (it != line.points.end() && !line.unit.isEmpty())
            part += u' ' + line.unit;
        parts << part;
    }
    return timeText(time, x) + QStringLiteral(": ") + parts.join(QStringLiteral(", "));
}

} // namespace orvik
