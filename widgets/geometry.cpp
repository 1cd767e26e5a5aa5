// SPDX-License-Identifier: GPL-3.0-or-later
#include "geometry.h"

#include <cmath>

namespace orvik {

QFont layoutFont(const QString& family, double points, bool bold)
{
    QString mapped = family;
    if (family == QLatin1String("MS Sans Serif"))
        mapped = QStringLiteral("Liberation Sans");
    else if (family == QLatin1String("Courier New"))
        mapped = QStringLiteral("Liberation Mono");
    QFont font(mapped);
    font.setPixelSize(int(std::lround(points * 96.0 / 72.0)));
    font.setBold(bold);
    font.setStyleHint(mapped.endsWith(QLatin1String("Mono")) ? QFont::TypeWriter : QFont::SansSerif);
    return font;
}

} // namespace orvik
