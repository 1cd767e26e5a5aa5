// SPDX-License-Identifier: GPL-3.0-or-later
#include "channelchart.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace orvik {

ChannelChart::ChannelChart(QWidget* parent)
    : QChartView(parent)
    , m_series(new QBarSeries)
    , m_set(new QBarSet(QString()))
    , m_rows(new QCategoryAxis)
    , m_values(new QValueAxis)
{
    auto* c = new QChart;
    c->legend()->hide();
    c->setBackgroundRoundness(0);
    c->setMargins(QMargins(4, 4, 4, 4));
    m_set->setColor(QColor(0, 0, 160));
    m_set->setBorderColor(QColor(0, 0, 96));
    m_series->append(m_set);
    m_series->setBarWidth(0.7);
    c->addSeries(m_series);

    QFont axisFont = font();
    m_rows->setLabelsFont(axisFont);
    m_values->setLabelsFont(axisFont);
    m_rows->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_rows->setGridLineVisible(false);
    m_rows->setTruncateLabels(false);
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

QList<QPair<qsizetype, QString>> ChannelChart::shownRowLabels() const
{
    QList<QPair<qsizetype, QString>> out;
    const QStringList labels = m_rows->categoriesLabels();
    for (const QString& label : labels)
        out.append({qsizetype(std::llround(m_rows->endValue(label))), label});
    return out;
}

void ChannelChart::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    updateRowLabels();
}

void ChannelChart::updateRowLabels()
{
    const qsizetype n = m_set->count();
    for (const QString& label : m_rows->categoriesLabels())
        m_rows->remove(label);
    if (n == 0)
        return;

    // Room per label: the widest number plus a gap, against the plot's width per bar.
    const QFontMetrics fm(m_rows->labelsFont());
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
    m_rows->setStartValue(-0.5);
    for (qsizetype row = 1; row <= n; ++row) {
        if (row % step == 0 || (row == 1 && showFirst))
            m_rows->append(QString::number(row), double(row - 1));
    }
}

} // namespace orvik
