// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivequery.h"
#include "ui/trends/timeaxis.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QRectF>
#include <functional>
#include <vector>

namespace orvik {

// The trend chart paints its time axis itself: `sceneX` places an x of the plot.
using SceneX = std::function<double(double)>;

// Room below the plot for the labels: two lines of tick labels and the title.
int timeLabelsHeight(const QFontMetrics& fm);

// Faint lines across the plot at the ticks, in the colour of the text.
void drawTimeGrid(QPainter& painter, const QRectF& plot, const std::vector<TimeTick>& ticks,
                  const SceneX& sceneX, QColor text);

// Below the plot, in the painter's font and pen: its bottom line, a mark and one or two
// labels a tick, and the title in bold. The painter is left as it was.
void drawTimeLabels(QPainter& painter, const QRectF& plot, const std::vector<TimeTick>& ticks,
                    const SceneX& sceneX, TrendTime time);

} // namespace orvik
