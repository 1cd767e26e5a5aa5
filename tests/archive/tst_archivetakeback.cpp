// SPDX-License-Identifier: GPL-3.0-or-later
// Adds taken back through the tool and the library: the archive as it was before, whatever came after.
#include "archive/archive.h"
#include "copiestestdata.h"
#include "decoder/beacon.h"
#include "support/tlmtestdata.h"

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

    // A line recovered from copies votes for them, and the copies as heard are kept beside it
    // without a vote: they are counted, found again, and go with their record.
    void copiesHeardBesideAStandIn_data()
    {
        QTest::addColumn<bool>("standInFirst"); // brought by an add of its own, as an older version did
        QTest::addRow("in one add") << false;
        QTest::addRow("after a stand-in added alone") << true;
    }

    void copiesHeardBesideAStandIn()
    {
        QFETCH(bool, standInFirst);
        QTemporaryDir dir;
        Archive archive;
        QString error;
        QVERIFY2(archive.open(dir.filePath("a.sqlite"), Archive::Access::ReadWrite, &error),
                 qPrintable(error));
        const auto entry = [](const QByteArray& line, const char* source, int copies, ReceptionRole role) {
            ArchiveEntry e;
            e.line = line.toStdString();
            e.values.fill(std::numeric_limits<double>::quiet_NaN());
            e.receivedMs = 1765000000000;
            e.source = QString::fromLatin1(source);
            e.copies = copies;
            e.role = role;
            return e;
        };
        QByteArray standInLine = passBeacon(2).toLower();
        standInLine.replace(5, 6, "------");
        const ArchiveEntry standIn = entry(standInLine, "pass.txt:3", 2, ReceptionRole::StandIn);
        const std::vector<ArchiveEntry> heardCopies{
            entry(heard(passBeacon(2), 36, "z"), "pass.txt:3", 1, ReceptionRole::Heard),
            entry(heard(passBeacon(2), 50, "q"), "pass.txt:5", 1, ReceptionRole::Heard)};
        if (standInFirst) {
            ArchiveEntry old = standIn;
            old.role = ReceptionRole::Copy;
            archive.startAdd(QStringLiteral("older"));
            QVERIFY2(archive.add(std::vector{old}, nullptr, &error), qPrintable(error));
        }
        std::vector<ArchiveEntry> entries{standIn};
        entries.insert(entries.end(), heardCopies.begin(), heardCopies.end());
        archive.startAdd(QStringLiteral("pass.txt"));
        ArchiveAddResult added;
        QVERIFY2(archive.add(entries, &added, &error), qPrintable(error));
        QCOMPARE(added.added, qint64(2));
        QCOMPARE(added.alreadyThere, qint64(0));
        QCOMPARE(added.records, qint64(standInFirst ? 0 : 1));
        QCOMPARE(archive.recordCount(), qint64(1));

        // The copies as heard, added again by a strict run, are there already.
        archive.startAdd(QStringLiteral("pass.txt"));
        std::vector<ArchiveEntry> strict = heardCopies;
        for (ArchiveEntry& e : strict)
            e.role = ReceptionRole::Copy;
        ArchiveAddResult again;
        QVERIFY2(archive.add(strict, &again, &error), qPrintable(error));
        QCOMPARE(again.added, qint64(0));
        QCOMPARE(again.alreadyThere, qint64(2));

        // The record keeps the stand-in's count, and its values are the stand-in's alone: the
        // copies heard agree on the time it leaves out.
        std::vector<ArchiveRecord> records;
        QVERIFY(archive.forEachRecord(
            0, std::numeric_limits<qint64>::max(),
            [&](const ArchiveRecord& r) {
                records.push_back(r);
                return true;
            },
            &error));
        QCOMPARE(records.size(), std::size_t(1));
        QCOMPARE(records.front().copies, qint64(2));
        QVERIFY(std::isnan(records.front().values[0]));

        // Taking back the add that brought the stand-in takes its record, and the copies heard
        // beside it, which cannot vote alone.
        ArchiveUndoResult undone;
        QVERIFY2(archive.undoAdd(1, &undone, &error), qPrintable(error));
        QCOMPARE(undone.copies, qint64(standInFirst ? 1 : 2));
        QCOMPARE(undone.records, qint64(1));
        QCOMPARE(archive.recordCount(), qint64(0));
        QSqlQuery left(QSqlDatabase::database(archive.connectionName()));
        QVERIFY(
            left.exec("SELECT (SELECT count(*) FROM receptions) + (SELECT count(*) FROM reception_keys)"));
        QVERIFY(left.next());
        QCOMPARE(left.value(0).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(TestArchiveTakeBack)
#include "tst_archivetakeback.moc"
