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
// Numbers use the user's decimal separator, as the panels do. Hovering over a record's
// column tells its value; clicking it asks for that record with barClicked().
class ChannelChart : public QChartView {
    Q_OBJECT
public:
    // Whole numbers for time, counters and status words, two decimals for measurements.
    enum class NumberForm { Whole, TwoDecimals };

    explicit ChannelChart(QWidget* parent);

    // The unit titles the value axis; an empty unit leaves it without a title.
    void setChannel(const QString& unit, NumberForm form);
    // A doubtful value, read from a field that holds other characters than hex digits, is
    // outlined in the doubt colour and left out of the value axis's range, unless all are.
    // A value left out (NaN) gets no bar; hovering there tells `why[row]`, its reason.
    void setValues(const QList<double>& values, const QList<bool>& doubtful = {},
                   const QStringList& why = {});
    // Marks the bar of record n, counted from 1; a record without a bar marks none.
    void setCurrentRecord(int record);

    qsizetype barCount() const;
    double barValue(qsizetype row) const;
    // The row labels shown under the bars, left to right, with the bar index of each.
    QList<QPair<qsizetype, QString>> shownRowLabels() const;
    // The value axis labels as the chart draws them, bottom to top.
    QStringList shownValueLabels() const;

signals:
    void barClicked(int record);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;

private:
    void rangeValues(double low, double high);
    void markCurrentRecord();
    void updateRowLabels();
    int rowLabelHeight() const;
    int titleHeight() const;
    qsizetype barAt(const QPoint& viewportPos) const;
    QRect columnRect(qsizetype row) const;
    QString hoverText(qsizetype row) const;

    QBarSeries* m_series;
    QBarSet* m_set;
    QValueAxis* m_rows; // places the bars; hidden
    QValueAxis* m_values;
    QList<QPair<qsizetype, QString>> m_rowLabels;
    QList<bool> m_doubtful; // of each bar
    QStringList m_why;      // of each bar left out, empty for the others
    bool leftOut(qsizetype row) const { return row < m_why.size() && !m_why[row].isEmpty(); }
    QString m_unit;
    NumberForm m_form = NumberForm::TwoDecimals;
    int m_currentRecord = 0;
    qsizetype m_pressedBar = -1;
    bool m_rangeStale = false; // the number form changed since the value axis was ranged
    double m_rangedLow = 0;    // the extremes the value axis was last ranged for
    double m_rangedHigh = 1;
};

} // namespace orvik
