// SPDX-License-Identifier: GPL-3.0-or-later
#include "scrollbar.h"

#include <QScrollBar>

#include <algorithm>

namespace orvik {

ScrollBar::ScrollBar(QScrollBar* widget, qint16 min, qint16 max, qint16 value)
    : QObject(widget)
    , m_widget(widget)
    , m_min(min)
    , m_max(max)
    , m_value(std::clamp(value, std::min(min, max), std::max(min, max)))
{
    // Moves while dragging are not reported, only where the thumb is released.
    m_widget->setTracking(false);
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
    applyRange(inside ? m_value : m_max);
    if (m_value != old)
        emit changed();
}

void ScrollBar::setEnabled(bool enabled) { m_widget->setEnabled(enabled); }

void ScrollBar::applyRange(qint16 newValue)
{
    m_value = newValue;
    m_updating = true;
    // With the minimum above the maximum the bar runs backwards, right end = maximum.
    const bool reversed = m_min > m_max;
    m_widget->setInvertedAppearance(reversed);
    m_widget->setInvertedControls(reversed);
    m_widget->setRange(std::min(m_min, m_max), std::max(m_min, m_max));
    m_widget->setValue(m_value);
    m_updating = false;
}

void ScrollBar::onWidgetValueChanged(int value)
{
    if (m_updating || value == m_value)
        return;
    m_value = qint16(value);
    emit changed();
}

} // namespace orvik
