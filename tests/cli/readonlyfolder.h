// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <unistd.h>

inline bool runProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A folder whose files may be read and not written, not even by root: a tmpfs mounted
// read-only for root, who may write any file of a folder of mode 0555; that folder for others.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& path)
        : m_path(path)
    {
        m_mounted = ::geteuid() == 0 &&
                    runProgram(QStringLiteral("mount"),
                               {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                QStringLiteral("size=16m"), QStringLiteral("tmpfs"), path});
    }
    ~ReadOnlyFolder()
    {
        if (m_mounted)
            runProgram(QStringLiteral("umount"), {m_path});
        else
            QFile::setPermissions(m_path,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    bool usable() const { return m_mounted || ::geteuid() != 0; }
    bool seal()
    {
        if (m_mounted)
            return runProgram(QStringLiteral("mount"),
                              {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_path});
        return QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }

private:
    QString m_path;
    bool m_mounted = false;
};
