// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QScrollBar>

namespace orvik {

// A horizontal scroll bar that shows when it has the keyboard focus, in every style: some
// styles draw no focus mark on scroll bars at all.
class FocusMarkedScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit FocusMarkedScrollBar(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A scroll bar with 16-bit signed position and range ends, where the minimum may lie
// above the maximum. A plain QScrollBar lowers its minimum when the maximum is set below
// it; this one keeps both ends and moves the position only when it falls outside the range:
// to the minimum when it lies below a forward range, else to the new maximum. changed()
// runs synchronously inside the setter that caused it, and after arrow, page, keyboard and
// released-thumb moves, never during a drag.
class ScrollBar : public QObject {
    Q_OBJECT
public:
    ScrollBar(QScrollBar* widget, qint16 min, qint16 max, qint16 value);

    QScrollBar* widget() const { return m_widget; }

    qint16 value() const { return m_value; }
    qint16 min() const { return m_min; }
    qint16 max() const { return m_max; }

    void setValue(qint16 value);
    void setMin(qint16 min);
    void setMax(qint16 max);
    void setEnabled(bool enabled);

signals:
    void changed();

private:
    void applyRange(qint16 newValue);
    int toWidget(qint16 value) const;
    void onWidgetValueChanged(int value);

    QPointer<QScrollBar> m_widget;
    qint16 m_min;
    qint16 m_max;
    qint16 m_value;
    bool m_updating = false;
};

} // namespace orvik
