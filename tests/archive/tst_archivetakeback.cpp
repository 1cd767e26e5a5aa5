// SPDX-License-Identifier: GPL-3.0-or-later
// Adds taken back through the tool and the library: the archive as it was before, whatever came after.
#include "../io/tlmtestdata.h"
#include "archive/archive.h"
#include "copiestestdata.h"
#include "decoder/beacon.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>
#include <sqlite3.h>

using namespace orvik;

using namespace copiestest;

class TestArchiveTakeBack : public QObject {
    Q_OBJECT

private slots:
    // Taking an add back leaves the archive as it was before it, byte for byte as read.
    void undoLeavesTheArchiveAsBefore_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QByteArray pass;
        for (int n = 0; n < 8; ++n)
            pass += passBeacon(n) + "\n";
        QByteArray copies;
        for (int n = 4; n < 12; ++n)
            copies += (n == 5 ? heard(passBeacon(n), 36, "9") : passBeacon(n)) + "\n";
        QTest::addRow("copies that join records and new ones") << pass << copies;
        QTest::addRow("copies that all join") << pass << pass;
        QTest::addRow("a copy that joins a record of two copies")
            << pass + pass.toUpper() << heard(pass, 50, "7");
    }

    void undoLeavesTheArchiveAsBefore()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QTemporaryDir dir;
        const QStringList add{"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:00Z"};
        QCOMPARE(runIn(dir, add, first).status, 0);
        const QStringList read{"--from-archive", "DIR/a.sqlite", "--format", "jsonl"};
        const QByteArray before = runIn(dir, read).out;
        QVERIFY(!before.isEmpty());
        // The second station's log, from a file of its own.
        QFile log(dir.filePath("friend.txt"));
        QVERIFY(log.open(QIODevice::WriteOnly) && log.write(second) == second.size());
        log.close();
        QCOMPARE(
            runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:03Z", "DIR/friend.txt"})
                .status,
            0);
        QVERIFY(runIn(dir, read).out != before);
        const Run undo = runIn(dir, {"--archive", "DIR/a.sqlite", "--undo-add", "2"});
        QVERIFY2(undo.status == 0 && undo.err.startsWith("orvik-tlm: add 2 taken back: "),
                 undo.err.constData());
        QCOMPARE(runIn(dir, read).out, before);
        QVERIFY(runIn(dir, {"--archive", "DIR/a.sqlite", "--verify"}).status == 0);
        // Once taken back, it is no more.
        const Run again = runIn(dir, {"--archive", "DIR/a.sqlite", "--undo-add", "2"});
        QCOMPARE(again.status, 2);
        QVERIFY2(again.err.contains("holds no add 2"), again.err.constData());
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "--adds"}).out.count('\n'), 1);
    }

    // Taking back the first add leaves the records of the second as that add alone made them.
    void undoOfAnEarlierAdd()
    {
        QByteArray pass, friendPass;
        for (int n = 0; n < 10; ++n) {
            pass += passBeacon(n) + "\n";
            if (n >= 3)
                friendPass += (n == 6 ? heard(passBeacon(n), 63, "7") : passBeacon(n)) + "\n";
        }
        QTemporaryDir both;
        QTemporaryDir alone;
        const QStringList first{"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:00Z", "-"};
        const QStringList second{"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:56:12Z", "-"};
        QCOMPARE(runIn(both, first, pass).status, 0);
        QCOMPARE(runIn(both, second, friendPass).status, 0);
        QCOMPARE(runIn(alone, second, friendPass).status, 0);
        QCOMPARE(runIn(both, {"--archive", "DIR/a.sqlite", "--undo-add", "1"}).err,
                 QByteArray("orvik-tlm: add 1 taken back: 10 copies; 3 records went, 7 were voted again\n"));
        const QStringList read{"--from-archive", "DIR/a.sqlite", "--format", "jsonl"};
        QCOMPARE(runIn(both, read).out, runIn(alone, read).out);
    }

    // A program whose add under way is taken back by another goes on in a new add, which can
    // be taken back in turn.
    void anAddTakenBackWhileItGoesOn()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.sqlite");
        const auto entry = [](int n) {
            ArchiveEntry e;
            e.line = passBeacon(n).toStdString();
            e.receivedMs = 1765000000000 + n * 64000;
            e.source = QStringLiteral("live:%1").arg(n + 1);
            return e;
        };
        Archive tool;
        QString error;
        QVERIFY2(tool.open(path, Archive::Access::ReadWrite, &error), qPrintable(error));
        tool.startAdd(QStringLiteral("live"));
        ArchiveAddResult first, second;
        QVERIFY2(tool.add(std::vector{entry(0), entry(1)}, &first, &error), qPrintable(error));
        QCOMPARE(first.number, qint64(1));
        {
            Archive other;
            QVERIFY(other.open(path, Archive::Access::ReadWrite, nullptr));
            QVERIFY(other.undoAdd(1, nullptr, &error));
        }
        QVERIFY2(tool.add(std::vector{entry(2), entry(3), entry(4)}, &second, &error), qPrintable(error));
        QCOMPARE(second.number, qint64(2));
        std::vector<ArchiveAdd> adds;
        QVERIFY(tool.adds(&adds, &error));
        QCOMPARE(adds.size(), std::size_t(1));
        QCOMPARE(adds.front().number, qint64(2));
        QCOMPARE(adds.front().copies, qint64(3));
        QCOMPARE(tool.recordCount(), qint64(3));
        ArchiveUndoResult undone;
        QVERIFY(tool.undoAdd(2, &undone, &error));
        QCOMPARE(undone.copies, qint64(3));
        QCOMPARE(tool.recordCount(), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestArchiveTakeBack)
#include "tst_archivetakeback.moc"
