// SPDX-License-Identifier: GPL-3.0-or-later
#include "statuslabel.h"

#include <QAccessible>
#include <QPainter>
#include <QStyle>

namespace orvik {

StatusLabel::StatusLabel(QWidget* parent)
    : QLabel(parent)
{}

void StatusLabel::setMessage(const QString& message, const QString& details)
{
    setText(message);
    const QString whole = details.isEmpty() ? message : details;
    setToolTip(whole);
    setAccessibleName(message);
    setAccessibleDescription(whole);
    QAccessibleEvent nameChanged(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&nameChanged);
}

void StatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

} // namespace orvik
