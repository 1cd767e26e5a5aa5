// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archivequery.h"
#include "ui/trends/timeaxis.h"
#include "ui/trends/timelabels.h"
#include "ui/trends/trendreadout.h"

#include <QChartView>
#include <QList>
#include <QMap>
#include <QPair>
#include <functional>
#include <vector>

QT_FORWARD_DECLARE_CLASS(QDateTimeAxis)
QT_FORWARD_DECLARE_CLASS(QLineSeries)
QT_FORWARD_DECLARE_CLASS(QValueAxis)

namespace orvik {

// Value ranges of the value axes, by unit.
using ValueRanges = QMap<QString, QPair<double, double>>;

// Channels as lines over time. Each unit has its own value axis, alternately left and right.
// The time axis is a hidden QDateTimeAxis that places the points; its round UTC (or
// on-board) ticks, grid and two-line labels are painted by the view, since the axis itself
// labels in local time at evenly divided instants. A dragged rectangle, the wheel, and keys
// ask for another span with zoomRequested(); the read-out follows the mouse or the arrow keys.
class TrendChart : public QChartView {
    Q_OBJECT
public:
    using Line = ChartLine;

    explicit TrendChart(QWidget* parent);

    // The lines over [lo, hi]; value axes of a unit in `fixed` keep that range, the others fit
    // their lines. `emptyText` is shown in the plot when no line has a point.
    void setLines(const std::vector<Line>& lines, TrendTime time, double lo, double hi,
                  const ValueRanges& fixed, const QString& emptyText);

    double lo() const { return m_lo; }
    double hi() const { return m_hi; }
    ValueRanges valueRanges() const;
    // Pixel columns of the plot: the most points a line may need.
    int plotColumns() const;
    QList<QLineSeries*> lineSeries() const { return m_series; }
    QList<QValueAxis*> valueAxes() const { return m_axes; }
    std::vector<TimeTick> shownTicks() const;
    QString readOut() const { return m_readOut; }

signals:
    // A new span; `fixed` holds the value ranges a dragged rectangle chose.
    void zoomRequested(double lo, double hi, const ValueRanges& fixed);
    void backRequested();
    void readOutChanged(const QString& text);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void drawBackground(QPainter* painter, const QRectF& rect) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    struct AxisUse;
    int axisFor(const QString& unit, QStringList& units, std::vector<AxisUse>& uses);
    void rangeAxes(const QStringList& units, const std::vector<AxisUse>& uses, const ValueRanges& fixed);
    QRectF plotRect() const;
    double xAt(double sceneX) const;
    double sceneXOf(double x) const;
    SceneX toScene() const;
    void zoomAround(double x, double factor);
    void pan(double fraction);
    void setReadOutX(double x);
    void stepReadOut(int direction);
    void drawLines(QPainter* painter, const QRectF& plot) const;

    QDateTimeAxis* m_timeAxis;
    QList<QLineSeries*> m_series;
    QList<QValueAxis*> m_slots;  // left, right, left...: made once, hidden when unused
    QList<QValueAxis*> m_axes;   // those in use, in the order of their units
    void colourTexts();          // the legend's names in the palette's text colour
    QList<QColor> m_colours;     // of each line
    std::vector<int> m_lineAxis; // each line's axis in m_axes
    std::vector<Line> m_lines;
    TrendTime m_time = TrendTime::Received;
    double m_lo = 0;
    double m_hi = 1;
    double m_readOutX;
    QString m_readOut;
    QString m_emptyText;
};

} // namespace orvik
