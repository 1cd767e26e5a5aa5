// SPDX-License-Identifier: GPL-3.0-or-later
#include "screenshot.h"

#include "platform/services.h"

namespace orvik {

QString captureName(const QDate& date) { return dateText(date) + QStringLiteral(".bmp"); }

QString bitmapPath(const QString& imagePath, const QString& captureName)
{
    return imagePath + QStringLiteral("orv_") + captureName;
}

QString converterProgram() { return QStringLiteral("nconvert"); }

QStringList converterArguments(const QString& bitmapPath)
{
    return {QStringLiteral("-out"),         QStringLiteral("png"),
            QStringLiteral("-transpcolor"), QStringLiteral("240"),
            QStringLiteral("240"),          QStringLiteral("240"),
            QStringLiteral("-colors"),      QStringLiteral("256"),
            QStringLiteral("-crop"),        QStringLiteral("1"),
            QStringLiteral("116"),          QStringLiteral("660"),
            QStringLiteral("560"),          QStringLiteral("-quiet"),
            QStringLiteral("-D"),           bitmapPath};
}

} // namespace orvik
