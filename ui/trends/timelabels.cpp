// SPDX-License-Identifier: GPL-3.0-or-later
#include "timelabels.h"

namespace orvik {

namespace {

int lineHeight(const QFontMetrics& fm) { return fm.height() + 1; }

} // namespace

int timeLabelsHeight(const QFontMetrics& fm) { return 3 * lineHeight(fm); }

void drawTimeGrid(QPainter& painter, const QRectF& plot, const std::vector<TimeTick>& ticks,
                  const SceneX& sceneX, QColor text)
{
    text.setAlpha(40);
    painter.setPen(QPen(text, 0));
    for (const TimeTick& tick : ticks)
        painter.drawLine(QPointF(sceneX(tick.x), plot.top()), QPointF(sceneX(tick.x), plot.bottom()));
}

void drawTimeLabels(QPainter& painter, const QRectF& plot, const std::vector<TimeTick>& ticks,
                    const SceneX& sceneX, TrendTime time)
{
    painter.save();
    const QFontMetrics fm(painter.font());
    const int line = lineHeight(fm);
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    for (const TimeTick& tick : ticks) {
        const double x = sceneX(tick.x);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        painter.drawText(QPointF(x - fm.horizontalAdvance(tick.label) / 2.0, plot.bottom() + 3 + fm.ascent()),
                         tick.label);
        if (!tick.dateLabel.isEmpty())
            painter.drawText(QPointF(x - fm.horizontalAdvance(tick.dateLabel) / 2.0,
                                     plot.bottom() + 3 + line + fm.ascent()),
                             tick.dateLabel);
    }
    const QString title = time == TrendTime::Received
                              ? QStringLiteral("Received (UTC)")
                              : QStringLiteral("On-board time (days since the clock's start)");
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QPointF(plot.center().x() - QFontMetrics(bold).horizontalAdvance(title) / 2.0,
                             plot.bottom() + 3 + 2 * line + fm.ascent()),
                     title);
    painter.restore();
}

} // namespace orvik
