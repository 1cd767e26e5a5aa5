// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive.h"
#include "archive/archiveadd.h"
#include "archivetestdata.h"
#include "decoder/beacon.h"
#include "storedrecords.h"
#include "support/tlmtestdata.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <limits>
#include <unistd.h>

using namespace orvik;

using namespace archivetest;

class TestArchive : public QObject {
    Q_OBJECT

private slots:
    void columnNamesAreUniqueAndPlain()
    {
        QStringList names;
        for (int i = 0; i < kChannelCount; ++i) {
            const QString name = archiveColumnName(i);
            QVERIFY2(QRegularExpression(QStringLiteral("^[a-z][a-z0-9_]*[a-z0-9]$")).match(name).hasMatch(),
                     qPrintable(name));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
        QCOMPARE(archiveColumnName(11), QStringLiteral("battery_volt_star"));
        QCOMPARE(archiveColumnName(15), QStringLiteral("solar_curr_minus_x"));
        QCOMPARE(archiveColumnName(kChannelCount), QString());
    }

    // A copy is a reception: the same text from the same source is there already; a line that
    // repeats a record's, letter case aside, is another copy of that record.
    void addingCountsCopies_data()
    {
        QTest::addColumn<QList<int>>("firstBatch");
        QTest::addColumn<QList<int>>("secondBatch"); // a negative number: that line in upper case
        QTest::addColumn<QString>("secondSource");
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("alreadyThere");
        QTest::addColumn<int>("copies");
        QTest::addRow("twice the same batch")
            << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << "window" << 3 << 3 << 3;
        QTest::addRow("the same batch from elsewhere")
            << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << "friend.txt:1" << 3 << 0 << 6;
        QTest::addRow("letter case aside")
            << QList<int>{1, 2} << QList<int>{-1, -2, 4} << "window" << 3 << 0 << 5;
        QTest::addRow("repeat within a batch")
            << QList<int>{5, 5, 6} << QList<int>{} << "window" << 2 << 1 << 2;
    }

    void addingCountsCopies()
    {
        QFETCH(QList<int>, firstBatch);
        QFETCH(QList<int>, secondBatch);
        QFETCH(QString, secondSource);
        QFETCH(int, records);
        QFETCH(int, alreadyThere);
        QFETCH(int, copies);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("new/folder/archive.sqlite"));
        Archive archive;
        QString error;
        QVERIFY2(archive.open(path, Archive::Access::ReadWrite, &error), qPrintable(error));
        const auto batch = [](const QList<int>& numbers, const QString& source) {
            std::vector<ArchiveEntry> entries;
            for (const int n : numbers) {
                entries.push_back(decoded(unsigned(std::abs(n)), 1000 * std::abs(n), source));
                if (n < 0)
                    entries.back().line = QString::fromStdString(entries.back().line).toUpper().toStdString();
            }
            return entries;
        };
        ArchiveAddResult first, second;
        QVERIFY2(archive.add(batch(firstBatch, QStringLiteral("window")), &first, &error), qPrintable(error));
        QVERIFY2(archive.add(batch(secondBatch, secondSource), &second, &error), qPrintable(error));
        QCOMPARE(first.records + second.records, qint64(records));
        QCOMPARE(first.added + second.added, qint64(copies));
        QCOMPARE(first.alreadyThere + second.alreadyThere, qint64(alreadyThere));
        QCOMPARE(archive.recordCount(), qint64(records));
        qint64 counted = 0;
        QVERIFY(archive.forEachRecord(
            std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
            [&](const ArchiveRecord& r) {
                counted += r.copies;
                return QString::fromStdString(r.line) == QString::fromStdString(r.line).toLower();
            },
            &error));
        QCOMPARE(counted, qint64(copies));
    }

    // Lines are found by a key kept in memory; rows that others add or take away must not fool it.
    void linesFoundWhateverOthersDid_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addRow("another connection adds") << "add";
        QTest::addRow("a row removed by hand") << "delete";
        QTest::addRow("another line with the same key") << "collide";
    }

    void linesFoundWhateverOthersDid()
    {
        QFETCH(QString, meanwhile);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.sqlite"));
        Archive mine;
        QVERIFY(mine.open(path, Archive::Access::ReadWrite, nullptr));
        QVERIFY(mine.add(std::vector{decoded(1, 1), decoded(2, 2)}, nullptr, nullptr));
        const std::vector again{decoded(1, 5), decoded(2, 5), decoded(3, 5)};
        ArchiveAddResult counts;
        if (meanwhile == QLatin1String("add")) {
            Archive other;
            QVERIFY(other.open(path, Archive::Access::ReadWrite, nullptr));
            QVERIFY(other.add(std::vector{decoded(3, 3)}, nullptr, nullptr));
            QVERIFY(mine.add(again, &counts, nullptr));
            QCOMPARE(counts.added, qint64(0));
        } else if (meanwhile == QLatin1String("delete")) {
            execRaw(path, {QStringLiteral("DELETE FROM receptions WHERE record_id IN (SELECT id FROM records "
                                          "WHERE received_ms = 2)"),
                           QStringLiteral("DELETE FROM records WHERE received_ms = 2")});
            QVERIFY(mine.add(again, &counts, nullptr));
            QCOMPARE(counts.added, qint64(2));
        } else {
            // A row of another line under the key of line 3 stands in its way.
            const auto key = qint64(archiveLineKey(decoded(3, 0).line));
            execRaw(path,
                    {QStringLiteral("INSERT INTO records (line, line_key, received_ms, received_utc, source) "
                                    "VALUES ('x', %1, 9, '', 'hand')")
                         .arg(key),
                     QStringLiteral("INSERT INTO line_keys VALUES (last_insert_rowid(), %1)").arg(key)});
            QVERIFY(mine.add(again, &counts, nullptr));
            QCOMPARE(counts.added, qint64(1));
        }
        QCOMPARE(mine.recordCount(), meanwhile == QLatin1String("collide") ? qint64(4) : qint64(3));
        // Adding once more finds every line, each once.
        counts = {};
        QVERIFY(mine.add(again, &counts, nullptr));
        QCOMPARE(counts.alreadyThere, qint64(3));
        QCOMPARE(mine.recordCount(), meanwhile == QLatin1String("collide") ? qint64(4) : qint64(3));
    }

    void valuesReadBackBitEqual()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        std::vector<ArchiveEntry> entries;
        for (unsigned n = 0; n < 200; ++n)
            entries.push_back(decoded(n, qint64(n) * 60000 + 1765000000000));
        ArchiveEntry odd = decoded(999, 1765000000000);
        // No -0.0: a REAL column keeps an integral value as an integer, and the decoder never makes it.
        const double oddValues[] = {0.1 * 3,
                                    std::numeric_limits<double>::denorm_min(),
                                    1e-300,
                                    std::numeric_limits<double>::max(),
                                    -1e-310,
                                    1.0 / 3,
                                    std::numeric_limits<double>::quiet_NaN(),
                                    4096.0};
        for (std::size_t i = 0; i < std::size(oddValues); ++i)
            odd.values[i] = oddValues[i];
        {
            Archive archive;
            QString error;
            QVERIFY2(archive.open(path, Archive::Access::ReadWrite, &error), qPrintable(error));
            QVERIFY2(archive.add(entries, nullptr, &error), qPrintable(error));
            // No line spells these out: they are written to the table as they are.
            QCOMPARE(storeRecords(archive, {odd}), QString());
        }
        entries.push_back(odd);
        Archive archive;
        QString error;
        QVERIFY2(archive.open(path, Archive::Access::ReadOnly, &error), qPrintable(error));
        std::size_t seen = 0;
        QVERIFY(archive.forEachRecord(
            0, std::numeric_limits<qint64>::max(),
            [&](const ArchiveRecord& r) {
                const auto it = std::find_if(entries.begin(), entries.end(),
                                             [&](const auto& e) { return e.line == r.line; });
                if (it == entries.end())
                    return false;
                for (int i = 0; i < kChannelCount; ++i) {
                    const double want = it->values[std::size_t(i)];
                    const double got = r.values[std::size_t(i)];
                    if (std::isnan(want) ? !std::isnan(got) : !sameBits(want, got)) {
                        qWarning("channel %d differs", i);
                        return false;
                    }
                }
                ++seen;
                return r.receivedMs == it->receivedMs && r.source == it->source;
            },
            &error));
        QCOMPARE(seen, entries.size());
    }

    void rangesAreInclusiveAndOrdered_data()
    {
        QTest::addColumn<qint64>("since");
        QTest::addColumn<qint64>("until");
        QTest::addColumn<QList<qint64>>("times");
        QTest::addRow("everything") << qint64(0) << qint64(100) << QList<qint64>{10, 20, 20, 30, 40};
        QTest::addRow("both ends kept") << qint64(20) << qint64(30) << QList<qint64>{20, 20, 30};
        QTest::addRow("one instant") << qint64(40) << qint64(40) << QList<qint64>{40};
        QTest::addRow("none") << qint64(41) << qint64(100) << QList<qint64>{};
    }

    void rangesAreInclusiveAndOrdered()
    {
        QFETCH(qint64, since);
        QFETCH(qint64, until);
        QFETCH(QList<qint64>, times);
        QTemporaryDir dir;
        Archive archive;
        QVERIFY(archive.open(dir.filePath(QStringLiteral("a.sqlite")), Archive::Access::ReadWrite, nullptr));
        // Added out of order, so that the order read back is the archive's doing.
        const std::vector entries{decoded(4, 40), decoded(2, 20), decoded(1, 10), decoded(5, 20),
                                  decoded(3, 30)};
        QVERIFY(archive.add(entries, nullptr, nullptr));
        QList<qint64> visited;
        QVERIFY(archive.forEachRecord(
            since, until, [&](const ArchiveRecord& r) { return visited << r.receivedMs, true; }, nullptr));
        QCOMPARE(visited, times);
    }

    void timeText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("ms");
        QTest::addRow("Z") << "2026-12-08T19:53:00Z" << true << qint64(1796759580000);
        QTest::addRow("no zone is UTC") << "2026-12-08T19:53:00" << true << qint64(1796759580000);
        QTest::addRow("milliseconds") << "2026-12-08T19:53:00.250Z" << true << qint64(1796759580250);
        QTest::addRow("offset") << "2026-12-08T20:53:00+01:00" << true << qint64(1796759580000);
        QTest::addRow("no seconds") << "2026-12-08T19:53Z" << true << qint64(1796759580000);
        QTest::addRow("date only") << "2026-12-08" << false << qint64(0);
        QTest::addRow("no such day") << "2026-02-30T00:00:00Z" << false << qint64(0);
        QTest::addRow("words") << "yesterday" << false << qint64(0);
    }

    void timeText()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, ms);
        qint64 got = -1;
        QCOMPARE(parseArchiveTime(text, &got), valid);
        if (valid) {
            QCOMPARE(got, ms);
            qint64 back = -1;
            QVERIFY(parseArchiveTime(archiveTimeText(got), &back));
            QCOMPARE(back, ms);
        }
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
