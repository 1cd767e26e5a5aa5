// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelocations.h"

#include "archive/archive.h"
#include "platform/services.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace orvik {

namespace {

QString userFolder(QStandardPaths::StandardLocation location)
{
    const QString folder = QStandardPaths::writableLocation(location);
    return QDir::toNativeSeparators(folder.isEmpty() ? QDir::homePath() : folder);
}

} // namespace

FileLocations fileLocations(const QString& programFolder)
{
    FileLocations where;
    where.confFile = joinPath(programFolder, QStringLiteral("conf.ini"));
    const QString userConf =
        joinPath(userFolder(QStandardPaths::GenericConfigLocation), QStringLiteral("orvik/conf.ini"));
    if (!QFileInfo::exists(where.confFile) && QFileInfo::exists(userConf))
        where.confFile = userConf;

    // A missing program folder stays the target, so that the failure names it.
    const QFileInfo folder(programFolder);
    const bool portable = !folder.exists() || folder.isWritable();
    where.exportFolder = portable ? programFolder : userFolder(QStandardPaths::DocumentsLocation);
    where.imageFolder = portable ? programFolder : userFolder(QStandardPaths::PicturesLocation);
    where.archiveFolder = portable ? programFolder : QFileInfo(defaultArchivePath()).path();
    where.settingsFile = portable ? joinPath(programFolder, QStringLiteral("orvik-decoder.ini"))
                                  : joinPath(userFolder(QStandardPaths::GenericConfigLocation),
                                             QStringLiteral("orvik/orvik-decoder.ini"));
    return where;
}

} // namespace orvik
