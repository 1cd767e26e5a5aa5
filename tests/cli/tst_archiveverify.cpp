// SPDX-License-Identifier: GPL-3.0-or-later
// orvik-tlm --archive FILE --verify.
#include "archive/archive.h"
#include "support/tlmtestdata.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace orvik;

class TestArchiveVerify : public QObject {
    Q_OBJECT

private slots:
    // --verify: a value changed behind the program's back is found and told, a damaged file
    // refused.
    void verifyTellsWhatDiffers_data()
    {
        QTest::addColumn<QString>("change"); // SQL on the archive, "damage" to spoil a page
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("said");
        QTest::addRow("intact") << "" << 0
                                << QByteArray(
                                       "intact; the values of all 3 records are those of their copies");
        QTest::addRow("a value changed")
            << "UPDATE records SET battery_temp_star = 12.5 WHERE source LIKE '%:2'" << 1
            << QByteArray("record 2 (<stdin>:2, received 2026-12-08T19:53:01Z): Battery Temp* is 12.5 in the "
                          "archive, 13.896 from its copies");
        QTest::addRow("a value lost") << "UPDATE records SET obc_time = NULL WHERE source LIKE '%:1'" << 1
                                      << QByteArray("OBC Time is empty in the archive, 1 from its copies");
        QTest::addRow("a value where the line holds none")
            << "UPDATE records SET rssi_orv6 = 1 WHERE source LIKE '%:3'" << 1
            << QByteArray("1 of 3 records hold values that are not those of their copies");
        QTest::addRow("a damaged page") << "damage" << 2 << QByteArray("is damaged");
    }
    void verifyTellsWhatDiffers()
    {
        QFETCH(QString, change);
        QFETCH(int, status);
        QFETCH(QByteArray, said);
        QTemporaryDir dir;
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-08T19:53:00Z"},
                       beacon(1) + "\n" + beacon(2) + "\n" + over(89, "zz") + "\n")
                     .status,
                 0);
        const QString path = dir.filePath("a.sqlite");
        qint64 spoilAt = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("change"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            if (change == u"damage") {
                QVERIFY(
                    q.exec(QStringLiteral("SELECT (SELECT page_size FROM pragma_page_size), rootpage FROM "
                                          "sqlite_master WHERE name = 'line_keys'")) &&
                    q.next());
                spoilAt = (q.value(1).toLongLong() - 1) * q.value(0).toLongLong() + 8;
            } else if (!change.isEmpty()) {
                QVERIFY2(q.exec(change), qPrintable(q.lastError().text()));
                QCOMPARE(q.numRowsAffected(), 1);
            }
            QVERIFY(q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
            q.finish();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("change"));
        if (spoilAt >= 0) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(spoilAt));
            QCOMPARE(f.write(QByteArray("\0\0\0\x07\0\0", 6)), qint64(6));
        }
        const Run verify = runIn(dir, {"--archive", "DIR/a.sqlite", "--verify"});
        QCOMPARE(verify.status, status);
        QVERIFY2(verify.err.contains(said), verify.err.constData());
        QCOMPARE(verify.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestArchiveVerify)
#include "tst_archiveverify.moc"
