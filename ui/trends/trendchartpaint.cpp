// SPDX-License-Identifier: GPL-3.0-or-later
// How the trend chart paints its grid, its lines, their marks and the read-out cursor.
#include "brokenline.h"
#include "timelabels.h"
#include "trendchart.h"
#include "trendreadout.h"

#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <cmath>

namespace orvik {

void TrendChart::drawBackground(QPainter* painter, const QRectF& rect)
{
    painter->fillRect(rect, palette().color(QPalette::Base));
    drawTimeGrid(*painter, plotRect(), shownTicks(), toScene(), palette().color(QPalette::Text));
}

void TrendChart::drawLines(QPainter* painter, const QRectF& plot) const
{
    painter->save();
    painter->setClipRect(plot.adjusted(-2, -2, 2, 2));
    painter->setRenderHint(QPainter::Antialiasing, true);
    for (std::size_t i = 0; i < m_lines.size() && i < m_lineAxis.size(); ++i) {
        const QValueAxis* axis = m_axes[m_lineAxis[i]];
        const double perValue = plot.height() / (axis->max() - axis->min());
        const auto at = [&](const QPointF& p) {
            return QPointF(sceneXOf(p.x()), plot.bottom() - (p.y() - axis->min()) * perValue);
        };
        const BrokenLine line = brokenLine(m_lines[i].points, at);
        painter->setPen(QPen(m_colours[qsizetype(i)], 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(line.path);
        // A record alone must be seen at a glance, not as one pixel.
        painter->setBrush(m_colours[qsizetype(i)]);
        for (const QPointF& dot : line.dots)
            painter->drawEllipse(dot, 2.5, 2.5);
        // Each record received, where records stand apart: a ring on the line.
        painter->setBrush(palette().color(QPalette::Base));
        painter->setPen(QPen(m_colours[qsizetype(i)], 1.5));
        for (const QPointF& mark : line.marks)
            painter->drawEllipse(mark, 2.5, 2.5);
    }
    painter->restore();
}

void TrendChart::drawForeground(QPainter* painter, const QRectF& rect)
{
    QChartView::drawForeground(painter, rect);
    const QRectF plot = plotRect();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setFont(font());
    painter->setPen(palette().color(QPalette::Text));
    drawTimeLabels(*painter, plot, shownTicks(), toScene(), m_time);
    if (!m_emptyText.isEmpty()) {
        QFont bold = font();
        bold.setBold(true);
        painter->setFont(bold);
        painter->drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
    }
    drawLines(painter, plot);
    if (!std::isnan(m_readOutX) && m_readOutX >= m_lo && m_readOutX <= m_hi) {
        painter->setRenderHint(QPainter::Antialiasing, true);
        const double x = sceneXOf(m_readOutX);
        QColor cursor = palette().color(QPalette::Highlight);
        painter->setPen(QPen(cursor, 1, Qt::DashLine));
        painter->drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        for (qsizetype i = 0; i < m_series.size(); ++i) {
            const QList<QPointF>& points = m_lines[std::size_t(i)].points;
            const auto it = nearestPoint(points, m_readOutX);
            if (it == points.end())
                continue;
            const QPointF at = chart()->mapToPosition(*it, m_series[i]);
            painter->setPen(QPen(m_colours[i], 2));
            painter->setBrush(palette().color(QPalette::Base));
            painter->drawEllipse(chart()->mapToScene(at), 4, 4);
        }
    }
    painter->restore();
}

} // namespace orvik
