// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/layout.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <string_view>

class QWidget;

namespace orvik {

// The window's look as drawn: its font, its light-desktop colours and its boxes.
inline constexpr double kLayoutPointSize = 8.25;
QString layoutSansSerif();
QColor layoutBackground();

QString toQString(std::string_view utf8);
QRect pixels(const layout::Box& b);

// The layout's colours are those of a light desktop. Under a dark palette every text and
// background comes from that palette, so that the two always belong together.
bool usesDesignColours();
void setTextColour(QWidget* w, const QColor& colour);
void setBackground(QWidget* w, const QColor& colour);
// The colour of a doubtful value on the given background.
QColor doubtColour(const QColor& background);

} // namespace orvik
