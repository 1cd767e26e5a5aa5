// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

namespace orvik {

// The layout is drawn in twips at 96 dots per inch: 15 twips make one pixel.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) { return twips / kTwipsPerPixel; }

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

// The layout's font names mapped to metric-compatible families that Debian ships
// ("MS Sans Serif" to Liberation Sans, "Courier New" to Liberation Mono), sized in
// pixels so that captions fit the fixed pixel layout whatever the screen's DPI.
QFont layoutFont(const QString& family, double points, bool bold = false);

} // namespace orvik
