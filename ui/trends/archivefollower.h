// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QTimer;

namespace orvik {

class Archive;

// Tells when an archive file changed: for an open archive, when another connection (another
// program's too) committed a change; for a file that could not be opened, when it changed or
// came to be.
class ArchiveFollower : public QObject {
    Q_OBJECT
public:
    static constexpr int kLookEveryMs = 500;

    explicit ArchiveFollower(QObject* parent = nullptr);
    // Follows `path`, open as `archive` (which must outlive the following), or null when it
    // could not be opened.
    void follow(const QString& path, const Archive* archive);

signals:
    void changed();

private:
    void look();

    QTimer* m_timer = nullptr;
    QString m_path;
    const Archive* m_archive = nullptr;
    std::optional<qint64> m_version;
    QString m_stamp;
};

} // namespace orvik
