// SPDX-License-Identifier: GPL-3.0-or-later
#include "screenshot.h"

#include "platform/services.h"

#include <algorithm>

namespace orvik {

namespace {

bool startsWithDriveLetter(const QString& path)
{
    if (path.size() < 2 || path[1] != u':')
        return false;
    const char16_t c = path[0].unicode();
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isWindowsPath(const QString& path) { return startsWithDriveLetter(path) || path.startsWith(u'\\'); }

} // namespace

QString resolveImagePath(const QString& defaultFolder, const QString& configured)
{
    if (configured.startsWith(u'/') || isWindowsPath(configured))
        return configured;
    return joinPath(defaultFolder, configured);
}

bool imagePathIsUsable(const QString& imagePath, QString* reason)
{
#ifdef Q_OS_WIN
    Q_UNUSED(imagePath);
    Q_UNUSED(reason);
#else
    if (isWindowsPath(imagePath)) {
        const qsizetype end = std::max(imagePath.lastIndexOf(u'\\'), imagePath.lastIndexOf(u'/')) + 1;
        const QString folder = end > 0 ? imagePath.first(end) : imagePath.first(2);
        if (reason)
            *reason =
                QStringLiteral("the folder ") + folder + QStringLiteral(" does not exist on this system");
        return false;
    }
#endif
    return true;
}

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
