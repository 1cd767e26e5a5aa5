// SPDX-License-Identifier: GPL-3.0-or-later
#include "channelchart.h"

#include <QBarSeries>
#include <QBarSet>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace orvik {

ChannelChart::ChannelChart(QWidget* parent)
    : QChartView(parent)
    , m_series(new QBarSeries)
    , m_set(new QBarSet(QString()))
    , m_rows(new QValueAxis)
    , m_values(new QValueAxis)
{
    auto* c = new QChart;
    c->legend()->hide();
    c->setBackgroundRoundness(0);

    m_set->setColor(QColor(0, 0, 160));
    m_set->setBorderColor(QColor(0, 0, 96));
    m_series->append(m_set);
    m_series->setBarWidth(0.7);
    c->addSeries(m_series);

    m_values->setLabelsFont(font());
    // The bottom margin holds the row labels.
    c->setMargins(QMargins(4, 4, 4, 4 + rowLabelHeight()));
    m_rows->setVisible(false);
    m_values->setLabelFormat(QStringLiteral("%.4g"));
    c->addAxis(m_rows, Qt::AlignBottom);
    c->addAxis(m_values, Qt::AlignLeft);
    m_series->attachAxis(m_rows);
    m_series->attachAxis(m_values);
    m_rows->setRange(-0.5, 0.5);
    m_values->setRange(0, 1);
    // The view releases its default chart without deleting it.
    QChart* const initial = chart();
    setChart(c);
    delete initial;
    setRenderHint(QPainter::Antialiasing, false);
}

void ChannelChart::setValues(const QList<double>& values)
{
    // Touch only what differs: an edit mostly adds or drops a record at the end, and every
    // bar replaced or created costs the chart a relayout of its own.
    const qsizetype oldCount = m_set->count();
    const qsizetype kept = std::min(oldCount, values.size());
    if (oldCount > kept)
        m_set->remove(kept, oldCount - kept);
    for (qsizetype i = 0; i < kept; ++i) {
        if (m_set->at(i) != values[i])
            m_set->replace(i, values[i]);
    }
    if (values.size() > kept)
        m_set->append(values.mid(kept));

    double lo = 0;
    double hi = 0;
    for (double v : values) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (lo == hi)
        hi = lo + 1;
    // Ranging the axis relayouts the whole chart twice; skip it when the extremes stay.
    if (lo != m_rangedLow || hi != m_rangedHigh) {
        m_rangedLow = lo;
        m_rangedHigh = hi;
        m_values->setRange(lo, hi);
        m_values->applyNiceNumbers();
    }
    if (oldCount != values.size()) {
        m_rows->setRange(-0.5, double(values.size()) - 0.5);
        updateRowLabels();
    }
}

qsizetype ChannelChart::barCount() const { return m_set->count(); }

double ChannelChart::barValue(qsizetype row) const { return m_set->at(row); }

QList<QPair<qsizetype, QString>> ChannelChart::shownRowLabels() const { return m_rowLabels; }

int ChannelChart::rowLabelHeight() const { return QFontMetrics(m_values->labelsFont()).height() + 4; }

void ChannelChart::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    updateRowLabels();
}

void ChannelChart::updateRowLabels()
{
    const qsizetype n = m_set->count();
    m_rowLabels.clear();
    viewport()->update();
    if (n == 0)
        return;

    // Room per label: the widest number plus a gap, against the plot's width per bar.
    const QFontMetrics fm(m_values->labelsFont());
    const double labelWidth = fm.horizontalAdvance(QString::number(n)) + fm.averageCharWidth() * 1.5;
    const double plotWidth = std::max(chart()->plotArea().width(), double(width()) * 0.8);
    const double perBar = plotWidth / double(n);
    qsizetype step = 1;
    for (qsizetype candidate : {1, 2, 5, 10, 20, 25, 50, 100}) {
        step = candidate;
        if (perBar * double(candidate) >= labelWidth)
            break;
    }

    // Multiples of the step, and the first record where it keeps clear of the next label.
    const bool showFirst = step == 1 || perBar * double(step - 1) >= labelWidth;
    for (qsizetype row = 1; row <= n; ++row) {
        if (row % step == 0 || (row == 1 && showFirst))
            m_rowLabels.append({row - 1, QString::number(row)});
    }
}

void ChannelChart::drawForeground(QPainter* painter, const QRectF& rect)
{
    QChartView::drawForeground(painter, rect);
    const qsizetype n = m_set->count();
    if (n == 0)
        return;
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    const double perBar = plot.width() / double(n);
    painter->save();
    painter->setFont(m_values->labelsFont());
    painter->setPen(m_values->linePenColor());
    painter->drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));
    painter->setPen(m_values->labelsColor());
    const QFontMetrics fm(m_values->labelsFont());
    for (const auto& [index, text] : std::as_const(m_rowLabels)) {
        const double x = plot.left() + (double(index) + 0.5) * perBar;
        painter->drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        const double w = fm.horizontalAdvance(text);
        painter->drawText(QPointF(x - w / 2, plot.bottom() + 3 + fm.ascent()), text);
    }
    painter->restore();
}

} // namespace orvik
