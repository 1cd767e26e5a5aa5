// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivequery.h"

#include <QString>
#include <functional>
#include <vector>

namespace orvik {

// A tick of the time axis: where it stands and its label, the second line only where the
// date (or the on-board day) changes and at the first tick.
struct TimeTick {
    double x = 0;
    QString label;
    QString dateLabel;
};

// Ticks at round times (seconds to months, UTC; on board seconds to days) between lo and
// hi, as many as fit `width` pixels with labels of the widths textWidth measures.
std::vector<TimeTick> timeTicks(TrendTime time, double lo, double hi, double width,
                                const std::function<double(const QString&)>& textWidth);

// Text of an x: UTC date and time, or the on-board days and time as the panels show it.
QString timeText(TrendTime time, double x);

} // namespace orvik
