// SPDX-License-Identifier: GPL-3.0-or-later
#include "trendchart.h"

#include "timelabels.h"
#include "trendreadout.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QKeyEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QRubberBand>
#include <QValueAxis>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace orvik {

namespace {

constexpr double kShortestSpan = 1000;

QDateTime utc(double x) { return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(x)), Qt::UTC); }

// Nice round limits and as many decimals as the step has, as the bar chart's axis does.
void rangeAxis(QValueAxis* axis, double low, double high, bool nice)
{
    if (!(high > low)) {
        low -= 0.5;
        high += 0.5;
    }
    axis->setTickCount(5);
    axis->setRange(low, high);
    if (nice)
        axis->applyNiceNumbers();
    const double step = (axis->max() - axis->min()) / double(axis->tickCount() - 1);
    const int decimals = std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 6);
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(decimals) + u'f');
}

} // namespace

TrendChart::TrendChart(QWidget* parent)
    : QChartView(parent)
    , m_timeAxis(new QDateTimeAxis)
    , m_readOutX(std::numeric_limits<double>::quiet_NaN())
{
    auto* c = new QChart;
    c->setBackgroundVisible(false);
    c->setBackgroundRoundness(0);
    c->legend()->setAlignment(Qt::AlignTop);
    QLocale numbers = QLocale::system();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    c->setLocale(numbers);
    c->setLocalizeNumbers(true);
    // The view paints the time labels in the bottom margin: two lines and the title.
    c->setMargins(QMargins(6, 4, 6, timeLabelsHeight(fontMetrics()) + 6));
    m_timeAxis->setVisible(false);
    c->addAxis(m_timeAxis, Qt::AlignBottom);
    QChart* const initial = chart();
    setChart(c);
    delete initial;
    setRenderHint(QPainter::Antialiasing, true);
    setRubberBand(QChartView::RectangleRubberBand);
    setFocusPolicy(Qt::StrongFocus);
}

// What the lines on one value axis hold: their extremes, how many they are, whether all whole.
struct TrendChart::AxisUse {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    int series = 0;
    bool whole = true;
};

// The chart's own grey is lost on a dark window; a palette changed while shown applies at once.
void TrendChart::colourTexts() { chart()->legend()->setLabelColor(palette().color(QPalette::Text)); }

void TrendChart::changeEvent(QEvent* event)
{
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        colourTexts();
}

void TrendChart::setLines(const std::vector<Line>& lines, TrendTime time, double lo, double hi,
                          const ValueRanges& fixed, const QString& emptyText)
{
    m_lines = lines;
    m_time = time;
    m_lo = lo;
    m_hi = hi > lo ? hi : lo + kShortestSpan;
    QChart* c = chart();
    colourTexts();
    for (QLineSeries* s : std::as_const(m_series)) {
        c->removeSeries(s);
        delete s;
    }
    // Axes are kept and hidden when unused: one removed from a chart leaves its labels drawn.
    for (QValueAxis* a : std::as_const(m_slots))
        a->setVisible(false);
    m_series.clear();
    m_axes.clear();
    m_colours.clear();
    m_lineAxis.clear();
    m_timeAxis->setRange(utc(m_lo), utc(m_hi));

    QStringList units;
    std::vector<AxisUse> uses;
    bool anyPoint = false;
    for (const Line& line : m_lines) {
        auto* series = new QLineSeries;
        series->setName(line.unit.isEmpty() ? line.caption
                                            : line.caption + QStringLiteral(" (") + line.unit + u')');
        series->replace(line.points);
        c->addSeries(series);
        series->attachAxis(m_timeAxis);
        const int u = axisFor(line.unit, units, uses);
        series->attachAxis(m_axes[u]);
        m_series << series;
        m_lineAxis.push_back(u);
        // The view draws the line, broken where records are missing; the series places it.
        const QColor colour = series->color();
        m_colours << colour;
        series->setPen(QPen(Qt::NoPen));
        for (QLegendMarker* marker : c->legend()->markers(series)) {
            marker->setPen(QPen(colour));
            marker->setBrush(colour);
        }
        AxisUse& use = uses[std::size_t(u)];
        ++use.series;
        use.whole = use.whole && line.whole;
        for (const QPointF& p : line.points) {
            use.low = std::min(use.low, p.y());
            use.high = std::max(use.high, p.y());
        }
        anyPoint = anyPoint || !line.points.isEmpty();
    }
    rangeAxes(units, uses, fixed);
    m_emptyText = anyPoint ? QString() : emptyText;
    const double keep =
        m_readOutX >= m_lo && m_readOutX <= m_hi ? m_readOutX : std::numeric_limits<double>::quiet_NaN();
    setReadOutX(keep);
    viewport()->update();
}

// The value axis of a unit: one in use, or the next slot, made the first time it is needed.
int TrendChart::axisFor(const QString& unit, QStringList& units, std::vector<AxisUse>& uses)
{
    const qsizetype found = units.indexOf(unit);
    if (found >= 0)
        return int(found);
    const qsizetype u = units.size();
    units << unit;
    if (u == m_slots.size()) {
        auto* slot = new QValueAxis;
        slot->setLabelsFont(font());
        chart()->addAxis(slot, u % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
        m_slots << slot;
    }
    QValueAxis* axis = m_slots[u];
    axis->setTitleText(unit);
    axis->setLabelsColor(palette().color(QPalette::Text));
    axis->setTitleBrush(palette().color(QPalette::Text));
    axis->setVisible(true);
    m_axes << axis;
    uses.emplace_back();
    return int(u);
}

void TrendChart::rangeAxes(const QStringList& units, const std::vector<AxisUse>& uses,
                           const ValueRanges& fixed)
{
    for (qsizetype u = 0; u < m_axes.size(); ++u) {
        QValueAxis* axis = m_axes[u];
        const AxisUse& use = uses[std::size_t(u)];
        if (fixed.contains(units[u]))
            rangeAxis(axis, fixed[units[u]].first, fixed[units[u]].second, false);
        else if (use.low <= use.high)
            rangeAxis(axis, use.low, use.high, true);
        else
            rangeAxis(axis, 0, 1, true);
        if (use.whole && axis->labelFormat() != QStringLiteral("%.0f") && axis->max() - axis->min() >= 4)
            axis->setLabelFormat(QStringLiteral("%.0f"));
        // An axis of one line takes its colour, so that the two are read together.
        for (std::size_t i = 0; use.series == 1 && i < m_lineAxis.size(); ++i) {
            if (m_lineAxis[i] == u) {
                axis->setLabelsColor(m_colours[qsizetype(i)]);
                axis->setTitleBrush(m_colours[qsizetype(i)]);
            }
        }
    }
}

ValueRanges TrendChart::valueRanges() const
{
    ValueRanges out;
    for (QValueAxis* axis : m_axes)
        out.insert(axis->titleText(), {axis->min(), axis->max()});
    return out;
}

int TrendChart::plotColumns() const
{
    const double w = chart()->plotArea().width();
    // Before the chart is laid out: a width that the plot will not fall short of.
    return w >= 16 ? int(w) : std::max(16, width() - 160);
}

std::vector<TimeTick> TrendChart::shownTicks() const
{
    const QFontMetrics fm(font());
    return timeTicks(m_time, m_lo, m_hi, plotRect().width(),
                     [&fm](const QString& s) { return double(fm.horizontalAdvance(s)); });
}

QRectF TrendChart::plotRect() const { return chart()->mapRectToScene(chart()->plotArea()); }

double TrendChart::xAt(double sceneX) const
{
    const QRectF plot = plotRect();
    return m_lo + (sceneX - plot.left()) / plot.width() * (m_hi - m_lo);
}

double TrendChart::sceneXOf(double x) const
{
    const QRectF plot = plotRect();
    return plot.left() + (x - m_lo) / (m_hi - m_lo) * plot.width();
}

SceneX TrendChart::toScene() const
{
    return [this](double x) { return sceneXOf(x); };
}

void TrendChart::zoomAround(double x, double factor)
{
    double lo = x - (x - m_lo) * factor;
    double hi = x + (m_hi - x) * factor;
    if (hi - lo < kShortestSpan) {
        lo = x - kShortestSpan / 2;
        hi = x + kShortestSpan / 2;
    }
    emit zoomRequested(lo, hi, {});
}

void TrendChart::pan(double fraction)
{
    const double d = (m_hi - m_lo) * fraction;
    emit zoomRequested(m_lo + d, m_hi + d, {});
}

// The read-out stands on the nearest point of any line; each line tells its value nearest to it.
void TrendChart::setReadOutX(double x)
{
    m_readOutX = readOutAt(m_lines, x);
    const QString text = readOutText(m_lines, m_time, m_readOutX);
    viewport()->update();
    if (text != m_readOut) {
        m_readOut = text;
        emit readOutChanged(text);
    }
}

void TrendChart::stepReadOut(int direction)
{
    const double next = readOutStep(m_lines, m_readOutX, direction);
    if (!std::isnan(next))
        setReadOutX(next);
}

void TrendChart::keyPressEvent(QKeyEvent* event)
{
    const bool shift = event->modifiers().testFlag(Qt::ShiftModifier);
    const double centre = std::isnan(m_readOutX) ? (m_lo + m_hi) / 2 : m_readOutX;
    switch (event->key()) {
    case Qt::Key_Left: shift ? pan(-0.25) : stepReadOut(-1); break;
    case Qt::Key_Right: shift ? pan(0.25) : stepReadOut(1); break;
    case Qt::Key_Home:
    case Qt::Key_End:
        m_readOutX = std::numeric_limits<double>::quiet_NaN();
        stepReadOut(event->key() == Qt::Key_Home ? 1 : -1);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: zoomAround(centre, 0.5); break;
    case Qt::Key_Minus: zoomAround(centre, 2); break;
    case Qt::Key_Backspace: emit backRequested(); break;
    default: QChartView::keyPressEvent(event); return;
    }
    event->accept();
}

void TrendChart::wheelEvent(QWheelEvent* event)
{
    const QPointF at = mapToScene(event->position().toPoint());
    const int steps = event->angleDelta().y();
    if (!plotRect().contains(at) || steps == 0) {
        event->ignore();
        return;
    }
    zoomAround(xAt(at.x()), std::pow(0.8, double(steps) / 120.0));
    event->accept();
}

void TrendChart::mouseMoveEvent(QMouseEvent* event)
{
    QChartView::mouseMoveEvent(event);
    const auto* band = findChild<QRubberBand*>();
    const QPointF at = mapToScene(event->position().toPoint());
    if ((!band || !band->isVisible()) && plotRect().contains(at))
        setReadOutX(xAt(at.x()));
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event)
{
    auto* band = findChild<QRubberBand*>();
    if (event->button() == Qt::LeftButton && band && band->isVisible()) {
        // The rectangle chooses the span and the value ranges; the chart itself is not zoomed,
        // the span is read again so that its columns are those of the pixels.
        band->hide();
        const QRectF plot = plotRect();
        const QRectF r = mapToScene(band->geometry()).boundingRect().intersected(plot);
        event->accept();
        if (r.width() < 3)
            return;
        ValueRanges fixed;
        if (r.height() >= 3 && r.height() < plot.height() - 1) {
            for (QValueAxis* axis : std::as_const(m_axes)) {
                const double perPixel = (axis->max() - axis->min()) / plot.height();
                fixed.insert(axis->titleText(), {axis->min() + (plot.bottom() - r.bottom()) * perPixel,
                                                 axis->min() + (plot.bottom() - r.top()) * perPixel});
            }
        }
        emit zoomRequested(xAt(r.left()), xAt(r.right()), fixed);
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        emit backRequested();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

} // namespace orvik
