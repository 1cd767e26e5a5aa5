// SPDX-License-Identifier: GPL-3.0-or-later
#include "channelchart.h"

#include "look.h"
#include "platform/numbertext.h"

#include <QBarSeries>
#include <QBarSet>
#include <QGraphicsTextItem>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <utility>

namespace orvik {

namespace {

const QString kRowTitle = QStringLiteral("Record");

} // namespace

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
    m_set->setSelectedColor(palette().color(QPalette::Highlight));
    m_series->append(m_set);
    m_series->setBarWidth(0.7);
    c->addSeries(m_series);

    m_values->setLabelsFont(font());
    // The bottom margin holds the row labels and their title.
    c->setMargins(QMargins(4, 4, 4, 4 + rowLabelHeight() + titleHeight()));
    QLocale numbers = QLocale::system();
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    c->setLocale(numbers);
    c->setLocalizeNumbers(true);
    m_rows->setVisible(false);
    c->addAxis(m_rows, Qt::AlignBottom);
    c->addAxis(m_values, Qt::AlignLeft);
    m_series->attachAxis(m_rows);
    m_series->attachAxis(m_values);
    m_rows->setRange(-0.5, 0.5);
    rangeValues(0, 1);
    // The view releases its default chart without deleting it.
    QChart* const initial = chart();
    setChart(c);
    delete initial;
    setRenderHint(QPainter::Antialiasing, false);
}

void ChannelChart::setChannel(const QString& unit, NumberForm form)
{
    if (unit != m_unit) {
        m_unit = unit;
        m_values->setTitleText(unit);
    }
    if (form != m_form) {
        m_form = form;
        m_rangeStale = true;
    }
}

void ChannelChart::setValues(const QList<double>& given, const QList<bool>& doubtful, const QStringList& why)
{
    m_doubtful = doubtful;
    m_doubtful.resize(given.size(), false);
    m_why = why;
    m_why.resize(given.size());
    QList<double> values = given;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (std::isnan(values[i])) {
            values[i] = 0;
            m_doubtful[i] = false;
            if (m_why[i].isEmpty())
                m_why[i] = QStringLiteral("no value");
        }
    }
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
    // Doubtful values stay out of the range unless all are; a value left out has none.
    bool anyCertain = false;
    for (qsizetype i = 0; i < values.size(); ++i)
        anyCertain = anyCertain || (!m_doubtful[i] && !leftOut(i));
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (leftOut(i) || (m_doubtful[i] && anyCertain))
            continue;
        lo = std::min(lo, values[i]);
        hi = std::max(hi, values[i]);
    }
    if (lo == hi)
        hi = lo + 1;
    // Ranging the axis relayouts the whole chart twice; skip it when the extremes stay.
    if (lo != m_rangedLow || hi != m_rangedHigh || m_rangeStale)
        rangeValues(lo, hi);
    if (oldCount != values.size()) {
        m_rows->setRange(-0.5, double(values.size()) - 0.5);
        updateRowLabels();
    }
    markCurrentRecord();
}

void ChannelChart::rangeValues(double low, double high)
{
    m_rangedLow = low;
    m_rangedHigh = high;
    m_rangeStale = false;
    // Nice numbers depend on the tick count they start from: always the same start.
    m_values->setTickCount(5);
    m_values->setRange(low, high);
    m_values->applyNiceNumbers();
    double step = (m_values->max() - m_values->min()) / double(m_values->tickCount() - 1);
    if (m_form == NumberForm::Whole && step < 1) {
        // Whole numbers tick at whole numbers only: 0 to 1 has no tick at 0.5.
        const double min = std::floor(m_values->min());
        const double max = std::ceil(m_values->max());
        m_values->setRange(min, max);
        m_values->setTickCount(int(max - min) + 1);
        step = 1;
    }
    // As many decimals as the step has, in fixed form: 150000 never becomes 1.5e+05.
    const int decimals = std::max(0, int(-std::floor(std::log10(step) + 1e-9)));
    const QString format = QStringLiteral("%.") + QString::number(decimals) + u'f';
    if (m_values->labelFormat() != format)
        m_values->setLabelFormat(format);
}

void ChannelChart::setCurrentRecord(int record)
{
    m_currentRecord = record;
    markCurrentRecord();
}

void ChannelChart::markCurrentRecord()
{
    const qsizetype n = m_set->count();
    const int row = m_currentRecord >= 1 && m_currentRecord <= n ? m_currentRecord - 1 : -1;
    const QList<int> marked = m_set->selectedBars();
    if (row < 0 ? marked.isEmpty() : marked == QList<int>{row})
        return;
    m_set->deselectAllBars();
    if (row >= 0)
        m_set->selectBar(row);
}

qsizetype ChannelChart::barCount() const { return m_set->count(); }

double ChannelChart::barValue(qsizetype row) const { return m_set->at(row); }

QList<QPair<qsizetype, QString>> ChannelChart::shownRowLabels() const { return m_rowLabels; }

QStringList ChannelChart::shownValueLabels() const
{
    // The axis draws each label as a text item in a group of its own, apart from its title;
    // the hidden row axis hides its group.
    QList<const QGraphicsTextItem*> labels;
    for (const QGraphicsItem* item : scene()->items()) {
        const auto* text = qobject_cast<const QGraphicsTextItem*>(item->toGraphicsObject());
        if (text && text->isVisible() && text->parentItem() &&
            text->parentItem()->type() == QGraphicsItemGroup::Type)
            labels.append(text);
    }
    std::sort(labels.begin(), labels.end(), [](const QGraphicsTextItem* a, const QGraphicsTextItem* b) {
        return a->sceneBoundingRect().center().y() > b->sceneBoundingRect().center().y();
    });
    QStringList out;
    for (const QGraphicsTextItem* label : std::as_const(labels))
        out.append(label->toPlainText());
    return out;
}

int ChannelChart::rowLabelHeight() const { return QFontMetrics(m_values->labelsFont()).height() + 4; }

int ChannelChart::titleHeight() const { return QFontMetrics(m_values->titleFont()).height() + 2; }

qsizetype ChannelChart::barAt(const QPoint& viewportPos) const
{
    const qsizetype n = m_set->count();
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    const QPointF at = mapToScene(viewportPos);
    if (n == 0 || !plot.contains(at))
        return -1;
    const auto row = qsizetype((at.x() - plot.left()) / (plot.width() / double(n)));
    return std::clamp<qsizetype>(row, 0, n - 1);
}

QRect ChannelChart::columnRect(qsizetype row) const
{
    const QRectF plot = chart()->mapRectToScene(chart()->plotArea());
    const double perBar = plot.width() / double(m_set->count());
    return mapFromScene(QRectF(plot.left() + double(row) * perBar, plot.top(), perBar, plot.height()))
        .boundingRect();
}

QString ChannelChart::hoverText(qsizetype row) const
{
    if (leftOut(row))
        return QStringLiteral("record ") + QString::number(row + 1) + QStringLiteral(": left out, ") +
               m_why[row];
    const double value = m_set->at(row);
    QString text = QStringLiteral("record ") + QString::number(row + 1) + QStringLiteral(": ") +
                   (m_form == NumberForm::Whole ? wholeNumberText(value) : fixed2NumberText(value));
    if (!m_unit.isEmpty())
        text += u' ' + m_unit;
    if (row < m_doubtful.size() && m_doubtful[row])
        text += QStringLiteral(", doubtful");
    return text;
}

void ChannelChart::changeEvent(QEvent* event)
{
    QChartView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_set->setSelectedColor(palette().color(QPalette::Highlight));
}

void ChannelChart::mouseMoveEvent(QMouseEvent* event)
{
    QChartView::mouseMoveEvent(event);
    const qsizetype row = barAt(event->position().toPoint());
    // Shown at once, and for the whole column: a bar of 0 has no height to hover over.
    if (row < 0)
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), hoverText(row), viewport(), columnRect(row));
}

void ChannelChart::mousePressEvent(QMouseEvent* event)
{
    m_pressedBar = event->button() == Qt::LeftButton ? barAt(event->position().toPoint()) : -1;
    QChartView::mousePressEvent(event);
}

void ChannelChart::mouseReleaseEvent(QMouseEvent* event)
{
    const qsizetype pressed = std::exchange(m_pressedBar, -1);
    QChartView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && pressed >= 0 && barAt(event->position().toPoint()) == pressed)
        emit barClicked(int(pressed + 1));
}

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
    // Doubtful bars are outlined, up to the plot's edge where their value lies beyond it.
    painter->setPen(QPen(doubtColour(palette().color(QPalette::Base)), 2, Qt::DashLine));
    painter->setBrush(Qt::NoBrush);
    for (qsizetype row = 0; row < n && row < m_doubtful.size(); ++row) {
        if (!m_doubtful[row])
            continue;
        const double width = perBar * m_series->barWidth();
        const double x = plot.left() + (double(row) + 0.5) * perBar - width / 2;
        const double zero = chart()->mapToPosition(QPointF(double(row), 0), m_series).y();
        const double top = chart()->mapToPosition(QPointF(double(row), m_set->at(row)), m_series).y();
        const double y0 = std::clamp(std::min(zero, top), plot.top(), plot.bottom());
        const double y1 = std::clamp(std::max(zero, top), plot.top(), plot.bottom());
        painter->drawRect(QRectF(x, y0, width, std::max(1.0, y1 - y0)));
    }
    painter->setFont(m_values->titleFont());
    painter->setPen(m_values->titleBrush().color());
    const QFontMetrics title(m_values->titleFont());
    painter->drawText(QPointF(plot.center().x() - title.horizontalAdvance(kRowTitle) / 2.0,
                              plot.bottom() + rowLabelHeight() + title.ascent()),
                      kRowTitle);
    painter->restore();
}

} // namespace orvik
