// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archiveactions.h"
#include "widgets/textbox.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QThread;

namespace orvik {

// Add to Archive away from the window's thread, so that the window stays responsive while
// another program holds the archive. One add at a time; the destructor waits for the one
// under way, so that nothing it adds is lost.
class ArchiveAdder : public QObject {
    Q_OBJECT
public:
    explicit ArchiveAdder(QObject* parent = nullptr);
    ~ArchiveAdder() override;

    bool busy() const;
    // Adds the log's beacons, read as `reading` tells, the first received at firstReceivedMs;
    // the log is kept, shared, until the add is done.
    void start(const QString& archivePath, const TextBox::Lines& log, qint64 firstReceivedMs,
               LogReading reading);

signals:
    // What the status line says while the add is under way.
    void progress(const QString& text);
    // What the add did, the number it was kept under (0: nothing new), and whether every
    // beacon line of the log is in the archive now.
    void finished(const QString& text, qint64 number, bool kept);

private:
    void look();
    std::unique_ptr<QThread> m_thread;
    QTimer m_look;
    bool m_saidWaiting = false;
};

} // namespace orvik
