// SPDX-License-Identifier: GPL-3.0-or-later
#include "look.h"

#include "widgets/geometry.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace orvik {

QString layoutSansSerif() { return QStringLiteral("MS Sans Serif"); }

QColor layoutBackground() { return QColor(240, 240, 240); }

QString toQString(std::string_view utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

QRect pixels(const layout::Box& b) { return twipsRect(b.left, b.top, b.width, b.height); }

bool usesDesignColours() { return QApplication::palette().color(QPalette::Window).lightness() >= 128; }

void setTextColour(QWidget* w, const QColor& colour)
{
    if (!usesDesignColours())
        return;
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::ButtonText, colour);
    w->setPalette(p);
}

void setBackground(QWidget* w, const QColor& colour)
{
    if (!usesDesignColours())
        return;
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QColor doubtColour(const QColor& background)
{
    return background.lightness() < 128 ? QColor(255, 170, 80) : QColor(170, 0, 0);
}

} // namespace orvik
