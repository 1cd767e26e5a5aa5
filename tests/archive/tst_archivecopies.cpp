// SPDX-License-Identifier: GPL-3.0-or-later
// Copies of one beacon, from several stations and adds, make one record voted from them all;
// an add can be taken back; an archive of version 2.0.0 is upgraded in place.
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

class TestArchiveCopies : public QObject {
    Q_OBJECT

private slots:
    // Each station's log is its own add, received a few seconds apart as stations are.
    void copiesOfOneBeaconMakeOneRecord_data()
    {
        QTest::addColumn<QList<QByteArray>>("logs"); // one add each, by another station
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("copies");
        QTest::addColumn<double>("batteryTemp"); // of the first record; NaN: left out
        QTest::addColumn<double>("uplink");

        const QByteArray a = passBeacon(1);
        const double temp = decodedValue(a, kBatteryTemp);
        const double uplink = decodedValue(a, kUplink);
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::addRow("two stations, one disagreement left out")
            << QList<QByteArray>{a, heard(a, 36, "9")} << 1 << 2 << nan << uplink;
        QTest::addRow("three stations, two of them agree")
            << QList<QByteArray>{a, heard(a, 36, "9"), a} << 1 << 3 << temp << uplink;
        QTest::addRow("a copy with other separators and tail joins")
            << QList<QByteArray>{a, otherSeparators(a)} << 1 << 2 << temp << uplink;
        QTest::addRow("a copy in capitals joins")
            << QList<QByteArray>{a, a.toUpper()} << 1 << 2 << temp << uplink;
        QTest::addRow("a field heard as zz is no vote")
            << QList<QByteArray>{a, heard(a, 36, "zz"), a} << 1 << 3 << temp << uplink;
        QTest::addRow("neighbouring beacons stay apart")
            << QList<QByteArray>{a, passBeacon(2)} << 2 << 2 << temp << uplink;
        QTest::addRow("a neighbour heard by a second station stays apart")
            << QList<QByteArray>{a + "\n" + passBeacon(2), passBeacon(2) + "\n" + passBeacon(3)} << 3 << 4
            << temp << uplink;
    }

    void copiesOfOneBeaconMakeOneRecord()
    {
        QFETCH(QList<QByteArray>, logs);
        QFETCH(int, records);
        QFETCH(int, copies);
        QFETCH(double, batteryTemp);
        QFETCH(double, uplink);
        QTemporaryDir dir;
        for (qsizetype i = 0; i < logs.size(); ++i) {
            const QString name = QStringLiteral("station%1.txt").arg(i + 1);
            QFile log(dir.filePath(name));
            QVERIFY(log.open(QIODevice::WriteOnly) && log.write(logs[i] + "\n") > 0);
            log.close();
            const Run add =
                runIn(dir, {"--archive", "DIR/a.sqlite", "--received",
                            QStringLiteral("2026-12-08T19:53:%1Z").arg(10 + i, 2, 10, QLatin1Char('0')),
                            "DIR/" + name});
            QVERIFY2(add.status == 0, add.err.constData());
        }
        const Read r = readBack(dir.filePath("a.sqlite"));
        QCOMPARE(r.records, qint64(records));
        QCOMPARE(r.copies, qint64(copies));
        const ArchiveRecord& first = r.all.front();
        QCOMPARE(std::isnan(first.values[kBatteryTemp]), std::isnan(batteryTemp));
        if (!std::isnan(batteryTemp))
            QCOMPARE(first.values[kBatteryTemp], batteryTemp);
        QCOMPARE(first.values[kUplink], uplink);
        // The record keeps the time and source of its first copy.
        QCOMPARE(archiveTimeText(first.receivedMs), QStringLiteral("2026-12-08T19:53:10Z"));
        QVERIFY2(first.source.endsWith(QStringLiteral("/station1.txt:1")), qPrintable(first.source));
        // What the archive holds is what its copies vote.
        const Run verify = runIn(dir, {"--archive", "DIR/a.sqlite", "--verify"});
        QVERIFY2(verify.status == 0, verify.err.constData());
    }

    // A log added twice from the same source brings nothing the second time; from another
    // source its lines are copies more.
    void copiesAreReceptions()
    {
        QTemporaryDir dir;
        QFile pass(dir.filePath("pass.txt"));
        QVERIFY(pass.open(QIODevice::WriteOnly));
        for (int n = 0; n < 20; ++n)
            pass.write(passBeacon(n) + "\r\n");
        pass.close();
        const QStringList add{"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:00Z",
                              "DIR/pass.txt"};
        QCOMPARE(runIn(dir, add).err, QByteArray("orvik-tlm: 20 added, 0 already there\n"));
        QCOMPARE(runIn(dir, add).err, QByteArray("orvik-tlm: 0 added, 20 already there\n"));
        QVERIFY(QFile::copy(dir.filePath("pass.txt"), dir.filePath("friend.txt")));
        QCOMPARE(
            runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:02Z", "DIR/friend.txt"})
                .err,
            QByteArray("orvik-tlm: 20 added, 0 already there; 0 new records\n"));
        const Read r = readBack(dir.filePath("a.sqlite"));
        QCOMPARE(r.records, qint64(20));
        QCOMPARE(r.copies, qint64(40));
        const Run jsonl = runIn(dir, {"--from-archive", "DIR/a.sqlite", "--format", "jsonl"});
        QVERIFY2(jsonl.out.startsWith("{\"record\":1,\"received\":\"2026-12-08T19:53:00Z\",\"source\":\"" +
                                      dir.filePath("pass.txt").toUtf8() + ":1\",\"copies\":2,"),
                 jsonl.out.constData());
        const Run adds = runIn(dir, {"--archive", "DIR/a.sqlite", "--adds"});
        QCOMPARE(adds.status, 0);
        const QList<QByteArray> listed = adds.out.split('\n');
        QCOMPARE(listed.size(), 3); // two adds and the end of the last line
        QVERIFY2(listed[0].startsWith("1  ") &&
                     listed[0].endsWith("  20 records, 20 copies  from " + dir.filePath("pass.txt").toUtf8()),
                 listed[0].constData());
        QVERIFY2(listed[1].startsWith("2  ") && listed[1].endsWith("  0 records, 20 copies  from " +
                                                                   dir.filePath("friend.txt").toUtf8()),
                 listed[1].constData());
    }

    // A copy whose bytes are no valid UTF-8 keeps them as they came; a second station's copy
    // that differs only there is another copy of the same record.
    void bytesThatAreNoUtf8AreKept_data()
    {
        QTest::addColumn<int>("pos");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addRow("between fields") << 12 << QByteArray("\xff");
        QTest::addRow("a lone continuation in the tail") << 110 << QByteArray("\x80");
    }

    void bytesThatAreNoUtf8AreKept()
    {
        QFETCH(int, pos);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QByteArray mine = heard(passBeacon(1), pos, bytes);
        const QByteArray theirs = heard(passBeacon(1), pos, "\xfe");
        for (const auto& [name, line] : {
                 std::pair{"mine.txt",   mine  },
                 std::pair{"theirs.txt", theirs}
        }) {
            QFile log(dir.filePath(name));
            QVERIFY(log.open(QIODevice::WriteOnly) && log.write(line + "\n") > 0);
            log.close();
            const Run add = runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:00Z",
                                        "DIR/" + QString::fromLatin1(name)});
            QVERIFY2(add.status == 0, add.err.constData());
        }
        QCOMPARE(
            runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:00Z", "DIR/mine.txt"})
                .err,
            QByteArray("orvik-tlm: 0 added, 1 already there\n"));
        const Read r = readBack(dir.filePath("a.sqlite"));
        QCOMPARE(r.records, qint64(1));
        QCOMPARE(r.copies, qint64(2));
        QCOMPARE(r.all.front().values[kUplink], decodedValue(passBeacon(1), kUplink));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
            db.setDatabaseName(dir.filePath("a.sqlite"));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("SELECT line, typeof(line) FROM receptions ORDER BY id"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toByteArray(), mine);
            QCOMPARE(q.value(1).toString(), QStringLiteral("blob"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toByteArray(), theirs);
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("look"));
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "--verify"}).status, 0);
    }

    void upgradesAnArchiveOfVersion200_data()
    {
        QTest::addColumn<bool>("spoiled"); // a table in the way makes the upgrade fail
        QTest::addRow("upgraded") << false;
        QTest::addRow("an upgrade that fails") << true;
    }

    void upgradesAnArchiveOfVersion200()
    {
        QFETCH(bool, spoiled);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.sqlite");
        QByteArray sql = readFile(qEnvironmentVariable("ORVIK_TEST_DATA") + "/archive-2.0.0.sql");
        QVERIFY(!sql.isEmpty());
        if (spoiled)
            sql += "CREATE INDEX receptions_record ON records (id);";
        QVERIFY(fileFromSql(path, sql));
        const QStringList read{"--from-archive", "DIR/a.sqlite", "--format", "jsonl"};
        const QByteArray before = runIn(dir, read).out;
        QCOMPARE(before.count('\n'), 7);
        const QByteArray bytes = readFile(path);
        // Reading it changes nothing, nor does asking to take back an add it never kept.
        const Run adds = runIn(dir, {"--archive", "DIR/a.sqlite", "--adds"});
        QVERIFY2(adds.err.contains("written by version 2.0.0"), adds.err.constData());
        const Run undo = runIn(dir, {"--archive", "DIR/a.sqlite", "--undo-add", "1"});
        QCOMPARE(undo.status, 2);
        QVERIFY2(undo.err.contains("which kept no adds; there is no add 1 to take back"),
                 undo.err.constData());
        QCOMPARE(readFile(path), bytes);

        const Run add = runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-01T10:00:00Z", "-"},
                              passBeacon(40) + "\n");
        if (spoiled) {
            QCOMPARE(add.status, 2);
            QVERIFY2(add.err.contains("cannot be upgraded") && add.err.contains("it is left as it was"),
                     add.err.constData());
            QCOMPARE(readFile(path), bytes);
            return;
        }
        QVERIFY2(add.status == 0, add.err.constData());
        QCOMPARE(add.err, QByteArray("orvik-tlm: 1 added, 0 already there\n"));
        const QByteArray after = runIn(dir, read).out;
        // The old records are as they were, each one copy of no add, and the new one is there.
        QCOMPARE(after.count('\n'), 8);
        QVERIFY2(after.startsWith(before.left(before.indexOf('\n'))), after.constData());
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "--adds"}).out.count('\n'), 1);
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "--verify"}).status, 0);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("look"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("SELECT (SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM "
                           "receptions WHERE add_id IS NULL), (SELECT sum(copies) FROM receptions)") &&
                    q.next());
            QCOMPARE(q.value(0).toInt(), kArchiveSchemaVersion);
            QCOMPARE(q.value(1).toInt(), 7);
            QCOMPARE(q.value(2).toInt(), 9); // one record of 2.0.0 counted two copies
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("look"));
        // A record of 2.0.0 cannot be taken back: it came with no add.
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "--undo-add", "1"}).status, 0);
        QCOMPARE(runIn(dir, read).out, before);
    }
};

QTEST_GUILESS_MAIN(TestArchiveCopies)
#include "tst_archivecopies.moc"
