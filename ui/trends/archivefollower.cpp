// SPDX-License-Identifier: GPL-3.0-or-later
#include "archivefollower.h"

#include "archive/archivequery.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

namespace orvik {

namespace {

// The file's size and time of change, empty when it is missing.
QString fileStamp(const QString& path)
{
    const QFileInfo info(path);
    return info.exists()
               ? QStringLiteral("%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch())
               : QString();
}

} // namespace

ArchiveFollower::ArchiveFollower(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setInterval(kLookEveryMs);
    connect(m_timer, &QTimer::timeout, this, &ArchiveFollower::look);
}

void ArchiveFollower::follow(const QString& path, const Archive* archive)
{
    m_path = path;
    m_archive = archive;
    m_version = archive ? archiveDataVersion(*archive) : std::nullopt;
    m_stamp = fileStamp(path);
    m_timer->start();
}

void ArchiveFollower::look()
{
    if (!m_archive) {
        const QString stamp = fileStamp(m_path);
        if (stamp == m_stamp)
            return;
        m_stamp = stamp;
        emit changed();
        return;
    }
    const std::optional<qint64> version = archiveDataVersion(*m_archive);
    if (!version || version == m_version)
        return;
    m_version = version;
    emit changed();
}

} // namespace orvik
