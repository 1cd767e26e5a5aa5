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

// Cut between words: a word cut in two ("...ecodes them all") reads as another word. The end
// keeps up to two thirds of the room, the start the rest; a single word too long for its share
// is elided as it must be.
QString StatusLabel::shownText() const
{
    const QFontMetrics fm = fontMetrics();
    const int room = contentsRect().width();
    const QString whole = text();
    if (fm.horizontalAdvance(whole) <= room)
        return whole;
    const QString gap = QStringLiteral(" \u2026 ");
    const QStringList words = whole.split(u' ');
    qsizetype tailFrom = words.size();
    QString tail;
    while (tailFrom > 1) {
        const QString longer = words.mid(tailFrom - 1).join(u' ');
        if (fm.horizontalAdvance(longer + gap) > room * 2 / 3)
            break;
        tail = longer;
        --tailFrom;
    }
    QString head;
    for (qsizetype i = 0; i < tailFrom; ++i) {
        const QString longer = words.mid(0, i + 1).join(u' ');
        if (fm.horizontalAdvance(longer + gap + tail) > room)
            break;
        head = longer;
    }
    if (head.isEmpty() || tail.isEmpty())
        return fm.elidedText(whole, Qt::ElideMiddle, room);
    return head + gap + tail;
}

void StatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

} // namespace orvik
