// SPDX-License-Identifier: GPL-3.0-or-later
// Taking adds back from the window, and an add that waits for another program's lock.
#include "archivewindow.h"

#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTreeWidget>

using namespace orvik;
using namespace orvik::testing;

class TestArchiveUndo : public ArchiveWindowFixture {
    Q_OBJECT

private slots:
    void init() { openWindow(); }
    void cleanup() { closeWindow(); }

    // Undo Last Add takes back the window's own adds, last first, even after another program
    // added copies to the same records; with none left it is disabled.
    void undoLastAdd_data()
    {
        QTest::addColumn<bool>("toolBetween"); // orvik-tlm adds copies of the same beacons in between
        QTest::addRow("the window alone") << false;
        QTest::addRow("after the tool added copies") << true;
    }
    void undoLastAdd()
    {
        QFETCH(bool, toolBetween);
        auto* undo = m_window->findChild<QAction*>(QStringLiteral("MnuUndoAdd"));
        QVERIFY(undo);
        QVERIFY(!undo->isEnabled());
        paste(log(1, 4));
        addToArchive();
        const Totals first = totals(archivePath());
        paste(log(3, 7));
        addToArchive();
        QVERIFY(undo->isEnabled());
        if (toolBetween) {
            QProcess tool;
            tool.setStandardInputFile(QProcess::nullDevice());
            const QString path = m_folder->filePath(QStringLiteral("friend.log"));
            QFile friendLog(path);
            QVERIFY(friendLog.open(QIODevice::WriteOnly));
            friendLog.write(log(1, 7).toLatin1());
            friendLog.close();
            tool.start(QStringLiteral(ORVIK_TLM_PATH), {QStringLiteral("--archive"), archivePath(), path});
            QVERIFY(tool.waitForFinished());
            QCOMPARE(tool.exitCode(), 0);
        }
        const Totals before = totals(archivePath());
        QCOMPARE(before.rows, qint64(6));
        undo->trigger();
        // Beacon 3 came with the first add from the window already: the second brought 4 to 6.
        QCOMPARE(label3(),
                 toolBetween
                     ? QStringLiteral("Add 2 taken back: 3 copies; 0 records went, 3 were voted again")
                     : QStringLiteral("Add 2 taken back: 3 copies; 3 records went, 0 were voted again"));
        const Totals after = totals(archivePath());
        // Beacons 4 to 6 stay where the tool brought copies of them too.
        QCOMPARE(after.rows, toolBetween ? qint64(6) : first.rows);
        QCOMPARE(after.copies, before.copies - 3);
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QVERIFY2(label3().startsWith(QStringLiteral("Add 1 taken back: 3 copies; ")), qPrintable(label3()));
        QVERIFY(!undo->isEnabled());
        QCOMPARE(totals(archivePath()).rows, toolBetween ? qint64(6) : qint64(0));
    }

    // Archive Adds… lists every add, the tool's too, and takes back the one chosen after asking;
    // No keeps it.
    void archiveAddsTakesBackAnyAdd_data()
    {
        QTest::addColumn<bool>("answerYes");
        QTest::addRow("taken back") << true;
        QTest::addRow("kept") << false;
    }
    void archiveAddsTakesBackAnyAdd()
    {
        QFETCH(bool, answerYes);
        paste(log(1, 4));
        addToArchive();
        const QString path = m_folder->filePath(QStringLiteral("friend.log"));
        QFile friendLog(path);
        QVERIFY(friendLog.open(QIODevice::WriteOnly));
        friendLog.write(log(3, 9).toLatin1());
        friendLog.close();
        QProcess tool;
        tool.start(QStringLiteral(ORVIK_TLM_PATH), {QStringLiteral("--archive"), archivePath(), path});
        QVERIFY(tool.waitForFinished());
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(totals(archivePath()).rows, qint64(8));
        QStringList listed;
        // The dialog, then its question, answered by the keyboard.
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(dialog && dialog->objectName() == QStringLiteral("AddsDialog"));
            auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("AddsList"));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                listed << list->topLevelItem(i)->text(0) + QLatin1Char(' ') + list->topLevelItem(i)->text(2) +
                              QLatin1Char(' ') + list->topLevelItem(i)->text(3);
            list->setCurrentItem(list->topLevelItem(0));
            QTimer::singleShot(0, [&, dialog] {
                QWidget* question = QApplication::activeModalWidget();
                QVERIFY(question && question != dialog);
                auto* box = qobject_cast<QMessageBox*>(question);
                QVERIFY(box);
                box->button(answerYes ? QMessageBox::Yes : QMessageBox::No)->click();
                QTimer::singleShot(0, dialog, [dialog] { QTest::keyClick(dialog, Qt::Key_Escape); });
            });
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("TakeBack")), Qt::LeftButton);
        });
        m_window->findChild<QAction*>(QStringLiteral("MnuAdds"))->trigger();
        QCOMPARE(listed, (QStringList{"1 3 3", "2 5 6"}));
        const Totals t = totals(archivePath());
        QCOMPARE(t.rows, answerYes ? qint64(6) : qint64(8));
        QCOMPARE(t.copies, answerYes ? qint64(6) : qint64(9));
        if (answerYes)
            QCOMPARE(label3(),
                     QStringLiteral("Add 1 taken back: 3 copies; 2 records went, 1 was voted again"));
        // The window's own add is gone, so Undo Last Add has nothing left to take back.
        QCOMPARE(m_window->findChild<QAction*>(QStringLiteral("MnuUndoAdd"))->isEnabled(), !answerYes);
    }

    // While another program holds the archive's write lock, the window goes on taking keys and
    // says that it waits; once the lock is free the add is made.
    void waitsForTheArchiveWithoutFreezing()
    {
        paste(log(1, 3));
        addToArchive();
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
        holder.setDatabaseName(archivePath());
        QVERIFY(holder.open());
        QSqlQuery lock(holder);
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        paste(log(1, 6));
        auto* action = m_window->findChild<QAction*>(QStringLiteral("MnuAddToArchive"));
        QTimer::singleShot(0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
        action->trigger();
        QTRY_VERIFY2_WITH_TIMEOUT(label3().startsWith(QStringLiteral("Waiting for the archive")),
                                  qPrintable(label3()), 3000);
        QVERIFY(!action->isEnabled());
        // The window takes keys meanwhile.
        auto* box = m_window->findChild<QPlainTextEdit*>(QStringLiteral("Text2"));
        QTest::keyClicks(box, QStringLiteral("73"));
        QVERIFY(box->toPlainText().endsWith(QStringLiteral("73")));
        QVERIFY(lock.exec(QStringLiteral("COMMIT")));
        lock = QSqlQuery();
        holder.close();
        holder = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        QTRY_VERIFY_WITH_TIMEOUT(action->isEnabled(), 10000);
        QCOMPARE(label3(), QStringLiteral("3 records added to %1; 2 were there already").arg(archivePath()));
    }
};

QTEST_MAIN(TestArchiveUndo)
#include "tst_archiveundo.moc"
