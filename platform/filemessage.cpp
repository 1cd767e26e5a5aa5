// SPDX-License-Identifier: GPL-3.0-or-later
#include "filemessage.h"

#include <QDir>

namespace orvik {

namespace {

QString failed(FileStep step, const QString& reason)
{
    const char* const verb = step == FileStep::Opened ? "opened"
                             : step == FileStep::Read ? "read"
                                                      : "written";
    return QStringLiteral("cannot be %1: %2").arg(QLatin1StringView(verb), reason);
}

} // namespace

QString aboutFile(const QString& path, const QString& what)
{
    return QStringLiteral("'%1' %2").arg(QDir::toNativeSeparators(path), what);
}

QString fileError(const QString& path, FileStep step, const QString& reason)
{
    return aboutFile(path, failed(step, reason));
}

QString standardOutputError(const QString& reason)
{
    return QStringLiteral("standard output ") + failed(FileStep::Written, reason);
}

} // namespace orvik
