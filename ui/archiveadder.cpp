// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveadder.h"

#include "archive/archive.h"
#include "archiveactions.h"

#include <QThread>

namespace orvik {

namespace {

// How often the status line looks whether the add waits for the archive.
constexpr int kLookMs = 100;

} // namespace

ArchiveAdder::ArchiveAdder(QObject* parent)
    : QObject(parent)
{
    m_look.setInterval(kLookMs);
    connect(&m_look, &QTimer::timeout, this, &ArchiveAdder::look);
}

ArchiveAdder::~ArchiveAdder()
{
    if (m_thread)
        m_thread->wait();
}

bool ArchiveAdder::busy() const { return m_thread && m_thread->isRunning(); }

void ArchiveAdder::start(const QString& archivePath, const TextBox::Lines& log, qint64 firstReceivedMs,
                         LogReading reading)
{
    if (busy())
        return;
    if (m_thread)
        m_thread->wait();
    m_saidWaiting = false;
    emit progress(QStringLiteral("Adding to the archive\u2026"));
    // The copy shares the log's characters, which the views point into, until it is done.
    m_thread.reset(QThread::create([this, archivePath, log, firstReceivedMs, reading] {
        qint64 number = 0;
        bool kept = false;
        const QString text =
            addLogToArchive(archivePath, log.lines, firstReceivedMs, reading, &number, &kept);
        QMetaObject::invokeMethod(
            this,
            [this, text, number, kept] {
                m_look.stop();
                m_thread->wait();
                emit finished(text, number, kept);
            },
            Qt::QueuedConnection);
    }));
    m_thread->start();
    m_look.start();
}

void ArchiveAdder::look()
{
    if (m_saidWaiting || !waitedForArchiveLock(2 * kLookMs))
        return;
    m_saidWaiting = true;
    emit progress(QStringLiteral("Waiting for the archive, which another program is writing; the add goes on "
                                 "as soon as it is free"));
}

} // namespace orvik
