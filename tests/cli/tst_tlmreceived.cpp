// SPDX-License-Identifier: GPL-3.0-or-later
// orvik-tlm --archive dates the beacons of a log by their on-board times.
#include "archive/archive.h"
#include "support/tlmtestdata.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace orvik;

class TestTlmReceived : public QObject {
    Q_OBJECT

private slots:
    // The first beacon of each input is received at the time given, the others as many seconds
    // later as their on-board times tell; a reset starts again from the time given.
    void receivedTimesFollowTheOnBoardTime_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("received"); // of each record, oldest first, hh:mm:ss
        QTest::addColumn<QByteArray>("said");  // besides the counts

        // A minute apart the battery and the panels are warmer.
        const auto at = [](int obc, const char* temperatures) {
            return beacon(obc).replace(61, 12, temperatures) + "\n";
        };
        const QByteArray pass =
            at(0x100, "6e6f70717273") + at(0x140, "7c7d7e7f8081") + at(0x180, "8a8b8c8d8e8f");
        QTest::addRow("a pass") << pass << QStringList{} << "19:53:00 19:54:04 19:55:08" << QByteArray();
        QTest::addRow("a pass, recovering")
            << QByteArray(pass).replace("orv3 a0c880 orv4 0a141e28323c orv5 7c",
                                        "orv3 a0c880 rv4 0a141e28323c orv5 7c")
            << QStringList{"--recover"} << "19:53:00 19:54:04 19:55:08" << QByteArray();
        QTest::addRow("a time left out") << QByteArray(pass).replace("000140", "00z140") << QStringList{}
                                         << "19:53:00 19:53:00 19:55:08" << QByteArray();
        QTest::addRow("a reset")
            << beacon(0x1000) + "\n" + beacon(0x1040) + "\n" + beacon(0x10) + "\n" + beacon(0x4c) + "\n"
            << QStringList{} << "19:53:00 19:53:00 19:54:00 19:54:04"
            << QByteArray("orvik-tlm: '<stdin>': the on-board time went back once; each run of beacons "
                          "after that is dated from 2026-12-08T19:53:00Z\n");
        // A friend's log of the pass after one's own, with a beacon one's own missed: its
        // copies are dated as one's own, and the one before them a minute earlier.
        const QByteArray own =
            at(0x1e200, "6e6f70717273") + at(0x1e240, "7c7d7e7f8081") + at(0x1e280, "8a8b8c8d8e8f");
        const QByteArray friends =
            at(0x1e1c0, "606162636465") + at(0x1e240, "7c7d7e7f8081") + at(0x1e280, "8a8b8c8d8e8f");
        QTest::addRow("two stations' logs of a pass, one after the other")
            << own + friends << QStringList{} << "19:51:56 19:53:00 19:54:04 19:55:08" << QByteArray();
        QTest::addRow("two stations' logs of a pass, recovering")
            << own + friends << QStringList{"--recover"} << "19:51:56 19:53:00 19:54:04 19:55:08"
            << QByteArray();
    }
    void receivedTimesFollowTheOnBoardTime()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, args);
        QFETCH(QString, received);
        QFETCH(QByteArray, said);
        QTemporaryDir dir;
        const Run add = runIn(
            dir, QStringList{"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:00Z"} + args, text);
        QCOMPARE(add.status, 0);
        QVERIFY2(add.err.startsWith(said), add.err.constData());
        QCOMPARE(add.err.count('\n'), said.count('\n') + 1);
        const Run out = runIn(dir, {"--from-archive", "DIR/a.sqlite"});
        QStringList times;
        for (const QByteArray& row : out.out.split('\n').mid(1)) {
            if (!row.isEmpty())
                times << QString::fromLatin1(row.mid(11, 8));
        }
        QCOMPARE(times.join(u' '), received);
    }
    // The text of each received time, which SQL reads, is that of its milliseconds, also
    // across midnight and the year's end.
    void receivedTextIsTheTime_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("texts");
        QTest::addRow("a day") << "2026-12-08T19:53:00Z"
                               << "2026-12-08T19:53:00Z 2026-12-08T19:54:04Z";
        QTest::addRow("midnight") << "2026-12-08T23:59:30Z"
                                  << "2026-12-08T23:59:30Z 2026-12-09T00:00:34Z";
        QTest::addRow("new year") << "2026-12-31T23:59:59Z"
                                  << "2026-12-31T23:59:59Z 2027-01-01T00:01:03Z";
    }
    void receivedTextIsTheTime()
    {
        QFETCH(QString, received);
        QFETCH(QString, texts);
        QTemporaryDir dir;
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "--received", received},
                       beacon(0x100) + "\n" + beacon(0x140) + "\n")
                     .status,
                 0);
        QStringList got;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("read"));
            db.setDatabaseName(dir.filePath("a.sqlite"));
            QVERIFY(db.open());
            QSqlQuery q(QStringLiteral("SELECT received_ms, received_utc FROM records ORDER BY received_ms"),
                        db);
            while (q.next()) {
                QCOMPARE(q.value(1).toString(), archiveTimeText(q.value(0).toLongLong()));
                got << q.value(1).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("read"));
        QCOMPARE(got.join(u' '), texts);
    }
};

QTEST_GUILESS_MAIN(TestTlmReceived)
#include "tst_tlmreceived.moc"
