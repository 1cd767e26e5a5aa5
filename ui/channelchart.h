// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChartView>
#include <QList>

QT_FORWARD_DECLARE_CLASS(QBarSeries)
QT_FORWARD_DECLARE_CLASS(QBarSet)
QT_FORWARD_DECLARE_CLASS(QValueAxis)

namespace orvik {

// A bar chart of one channel over the decoded records: bar r is labelled r. The series and
// axes are built once and updated in place. Row labels are thinned to every 2nd, 5th,
// 10th... record when they would otherwise overlap, and painted by the view itself: an axis
// of the chart rebuilds every label as rich text on each change of the record count.
class ChannelChart : public QChartView {
    Q_OBJECT
public:
    explicit ChannelChart(QWidget* parent);

    void setValues(const QList<double>& values);

    qsizetype barCount() const;
    double barValue(qsizetype row) const;
    // The row labels shown under the bars, left to right, with the bar index of each.
    QList<QPair<qsizetype, QString>> shownRowLabels() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    void updateRowLabels();
    int rowLabelHeight() const;

    QBarSeries* m_series;
    QBarSet* m_set;
    QValueAxis* m_rows; // places the bars; hidden
    QValueAxis* m_values;
    QList<QPair<qsizetype, QString>> m_rowLabels;
    double m_rangedLow = 0; // the extremes the value axis was last ranged for
    double m_rangedHigh = 1;
};

} // namespace orvik
