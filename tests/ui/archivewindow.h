// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window on an archive in a folder of its own, driven through its real widgets, and the
// logs and counts that the archive tests share.
#include "archive/archive.h"
#include "support/referenceline.h"
#include "ui/mainwindow.h"
#include "widgets/statuslabel.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <memory>

namespace orvik::testing {

inline const QString kGood = testsupport::referenceLine();

// Beacon n: its on-board time, and telemetry of its own in the counters of frame 2, as the
// beacons of a season differ in more than their times.
inline QString beacon(int n)
{
    const QString digits = QString::number(n, 16).rightJustified(6, u'0');
    return QString(kGood).replace(5, 6, digits).replace(17, 6, digits);
}

// Beacon lines first to last - 1, CR LF after each, with a line that is none among them.
inline QString log(int first, int last)
{
    QString text = QStringLiteral("heard at noon\r\n");
    for (int n = first; n < last; ++n)
        text += beacon(n) + QStringLiteral("\r\n");
    return text;
}

struct Totals {
    qint64 rows = 0;
    qint64 copies = 0;
    qint64 firstMs = 0;
    qint64 lastMs = 0;
};

inline Totals totals(const QString& path)
{
    Totals t;
    Archive archive;
    if (!archive.open(path, Archive::Access::ReadOnly, nullptr))
        return t;
    t.firstMs = std::numeric_limits<qint64>::max();
    archive.forEachRecord(
        std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
        [&](const ArchiveRecord& r) {
            ++t.rows;
            t.copies += r.copies;
            t.firstMs = std::min(t.firstMs, r.receivedMs);
            t.lastMs = std::max(t.lastMs, r.receivedMs);
            return true;
        },
        nullptr);
    return t;
}

// The window and its folder; a test class derives from it and opens the window in init().
class ArchiveWindowFixture : public QObject {
protected:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<MainWindow> m_window;

    QString archivePath() const { return m_folder->filePath(QStringLiteral("season.sqlite")); }
    QString label3() const { return m_window->findChild<StatusLabel*>(QStringLiteral("Label3"))->text(); }
    void paste(const QString& text)
    {
        auto* box = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
        box->setFocus();
        box->selectAll();
        box->insertPlainText(text);
    }
    // Add to Archive, answering its question by the keyboard: the time offered, or `at`, or Escape.
    void addToArchive(const QDateTime& at = QDateTime(), bool cancel = false)
    {
        auto* action = m_window->findChild<QAction*>(QStringLiteral("MnuAddToArchive"));
        QVERIFY(action);
        QTimer::singleShot(0, [=] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != QStringLiteral("ReceivedDialog"))
                return;
            auto* edit = dialog->findChild<QDateTimeEdit*>(QStringLiteral("ReceivedTime"));
            if (at.isValid())
                edit->setDateTime(at);
            QTest::keyClick(edit, cancel ? Qt::Key_Escape : Qt::Key_Return);
        });
        action->trigger();
        // The add goes on beside the window; Add to Archive is offered again once it is done.
        QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled(), 60000);
    }
    void openWindow()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QFile conf(m_folder->filePath(QStringLiteral("conf.ini")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("ARCHIVE=season.sqlite\r\n");
        conf.close();
        m_window = std::make_unique<MainWindow>(m_folder->path());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void closeWindow() { m_window.reset(); }
};

} // namespace orvik::testing
