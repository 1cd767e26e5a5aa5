// SPDX-License-Identifier: GPL-3.0-or-later
#include "scrollbar.h"

#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace orvik {

FocusMarkedScrollBar::FocusMarkedScrollBar(QWidget* parent)
    : QScrollBar(Qt::Horizontal, parent)
{}

void FocusMarkedScrollBar::paintEvent(QPaintEvent* event)
{
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

ScrollBar::ScrollBar(QScrollBar* widget, qint16 min, qint16 max, qint16 value)
    : QObject(widget)
    , m_widget(widget)
    , m_min(min)
    , m_max(max)
    , m_value(std::clamp(value, std::min(min, max), std::max(min, max)))
{
    // Moves while dragging are not reported, only where the thumb is released.
    m_widget->setTracking(false);
    // A QScrollBar inverts its keys by default; here Right and PageUp go towards the maximum.
    m_widget->setInvertedAppearance(false);
    m_widget->setInvertedControls(false);
    applyRange(m_value);
    connect(m_widget, &QScrollBar::valueChanged, this, &ScrollBar::onWidgetValueChanged);
}

void ScrollBar::setValue(qint16 value)
{
    const qint16 clamped = std::clamp(value, std::min(m_min, m_max), std::max(m_min, m_max));
    if (clamped == m_value)
        return;
    applyRange(clamped);
    emit changed();
}

void ScrollBar::setMin(qint16 min)
{
    m_min = min;
    const bool inside = m_value >= std::min(m_min, m_max) && m_value <= std::max(m_min, m_max);
    const qint16 old = m_value;
    applyRange(inside ? m_value : m_min);
    if (m_value != old)
        emit changed();
}

void ScrollBar::setMax(qint16 max)
{
    m_max = max;
    const bool inside = m_value >= std::min(m_min, m_max) && m_value <= std::max(m_min, m_max);
    const qint16 old = m_value;
    // Left below a forward range, as 0 is by an empty log's 1 to 0, the position starts over.
    const bool belowMin = m_min <= m_max && m_value < m_min;
    applyRange(inside ? m_value : belowMin ? m_min : m_max);
    if (m_value != old)
        emit changed();
}

void ScrollBar::setEnabled(bool enabled) { m_widget->setEnabled(enabled); }

void ScrollBar::applyRange(qint16 newValue)
{
    m_value = newValue;
    m_updating = true;
    // The minimum stays at the left end. A reversed range is held negated in the widget, so
    // that its arrows, page areas, keys and thumb all move towards the maximum on the right.
    m_widget->setRange(toWidget(m_min), toWidget(m_max));
    m_widget->setValue(toWidget(m_value));
    m_updating = false;
}

int ScrollBar::toWidget(qint16 value) const { return m_min > m_max ? -int(value) : int(value); }

void ScrollBar::onWidgetValueChanged(int value)
{
    if (m_updating)
        return;
    const auto moved = qint16(m_min > m_max ? -value : value);
    if (moved == m_value)
        return;
    m_value = moved;
    emit changed();
}

} // namespace orvik
