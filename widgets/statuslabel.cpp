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

QString StatusLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void StatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

} // namespace orvik
