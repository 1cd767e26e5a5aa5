// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/beacon.h"
#include "archive/archive.h"
#include "archive/archiveadd.h"
#include "storedrecords.h"
#include "../io/tlmtestdata.h"

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

namespace {

// A beacon line whose fields all come from n.
std::string beaconLine(unsigned n)
{
    std::string line = "orv1 000000 orv2 00000000 orv3 000000 orv4 000000000000 orv5 000000000000 orv6 "
                       "00000000000000000000000000000000000000000";
    static const char hex[] = "0123456789abcdef";
    std::uint64_t bits = 0x9E3779B97F4A7C15u * (n + 1);
    for (const auto& [pos, len] : {
             std::pair{6,  6 },
             {18, 8 },
             {32, 6 },
             {44, 12},
             {62, 12},
             {80, 10}
    })
        for (int i = 0; i < len; ++i, bits = bits >> 4 | bits << 60)
            line[std::size_t(pos - 1 + i)] = hex[bits & 15];
    return line;
}

ArchiveEntry decoded(unsigned n, qint64 receivedMs, const QString& source = QStringLiteral("window"))
{
    ArchiveEntry e;
    e.line = beaconLine(n);
    const std::u16string wide(e.line.begin(), e.line.end());
    decodeBeaconLine(wide, e.values);
    e.receivedMs = receivedMs;
    e.source = source;
    return e;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished() && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Runs SQL on a file behind the archive's back, to spoil it on purpose.
void execRaw(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& sql : statements)
            QVERIFY2(q.exec(sql), qPrintable(sql));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
}

} // namespace

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

    void refusedFilesStayUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says");
        QTest::addRow("text file") << "text"
                                   << "no SQLite database";
        QTest::addRow("other database") << "foreign"
                                        << "no archive";
        QTest::addRow("newer version") << "newer"
                                       << "newer version";
        QTest::addRow("damaged") << "damaged"
                                 << "damaged";
    }
    void refusedFilesStayUntouched()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        if (kind == QLatin1String("text")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("orv1 notes of a pass, kept by hand\n").repeated(200));
        } else if (kind == QLatin1String("foreign")) {
            execRaw(path, {QStringLiteral("CREATE TABLE passes (start TEXT)")});
        } else {
            {
                Archive archive;
                QVERIFY(archive.open(path, Archive::Access::ReadWrite, nullptr));
                std::vector<ArchiveEntry> entries;
                for (unsigned n = 0; n < 300; ++n)
                    entries.push_back(decoded(n, n));
                QVERIFY(archive.add(entries, nullptr, nullptr));
            }
            if (kind == QLatin1String("newer")) {
                execRaw(path, {QStringLiteral("PRAGMA user_version = %1").arg(kArchiveSchemaVersion + 1)});
            } else {
                QFile f(path);
                QVERIFY(f.open(QIODevice::ReadWrite));
                QVERIFY(f.seek(100));
                f.write(QByteArray(400, '\x5a'));
            }
        }
        const QByteArray before = readAll(path);
        for (const auto access : {Archive::Access::ReadOnly, Archive::Access::ReadWrite}) {
            Archive archive;
            QString error;
            QVERIFY(!archive.open(path, access, &error));
            QVERIFY2(error.contains(says) && error.contains(path), qPrintable(error));
            QVERIFY(!archive.add(std::vector{decoded(1, 1)}, nullptr, &error));
        }
        QCOMPARE(readAll(path), before);
    }

    // Damage past the first page is found by SQLite's quick check alone: an add refuses the
    // file with the cause and leaves it as it was.
    void damagePastTheFirstPageRefusesAnAdd_data()
    {
        QTest::addColumn<int>("page"); // counted from 1; 0 for the last
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("length"); // 0: nothing damaged
        QTest::addRow("a page of records overwritten") << 3 << 0 << 65536;
        QTest::addRow("the last page overwritten") << 0 << 0 << 65536;
        QTest::addRow("one page's type spoiled") << 2 << 0 << 1;
        QTest::addRow("a page's count of cells spoiled") << 0 << 3 << 2;
        QTest::addRow("nothing damaged") << 2 << 0 << 0;
    }
    void damagePastTheFirstPageRefusesAnAdd()
    {
        QFETCH(int, page);
        QFETCH(int, offset);
        QFETCH(int, length);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        {
            Archive archive;
            QVERIFY(archive.open(path, Archive::Access::ReadWrite, nullptr));
            std::vector<ArchiveEntry> entries;
            for (unsigned n = 0; n < 3000; ++n)
                entries.push_back(decoded(n, n));
            QVERIFY(archive.add(entries, nullptr, nullptr));
        }
        constexpr qint64 kPage = 65536;
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY2(f.size() >= 4 * kPage, qPrintable(QString::number(f.size())));
        QVERIFY(f.seek((page == 0 ? f.size() / kPage - 1 : page - 1) * kPage + offset));
        f.write(QByteArray(length, '\x5a'));
        f.close();
        const QByteArray before = readAll(path);

        Archive archive;
        QString error;
        const bool added = archive.open(path, Archive::Access::ReadWrite, &error) &&
                           archive.add(std::vector{decoded(5000, 1)}, nullptr, &error);
        archive.close();
        QCOMPARE(added, length == 0);
        if (length > 0) {
            QVERIFY2(error.startsWith(QStringLiteral("'%1' is damaged (SQLite's quick check: ").arg(path)) &&
                         error.endsWith(QStringLiteral("; it is left as it is")),
                     qPrintable(error));
            QCOMPARE(readAll(path), before);
            // A reader's connection may leave an empty WAL behind; nothing was written to it.
            QCOMPARE(QFileInfo(path + QStringLiteral("-wal")).size(), qint64(0));
        }
        // The tool's add says the same and changes nothing either.
        const QByteArray beforeTool = readAll(path);
        const Run tool = runInMemory({QStringLiteral("--archive"), path}, beacon(0x4242) + "\n");
        QCOMPARE(tool.status, length > 0 ? 2 : 0);
        if (length > 0) {
            QCOMPARE(tool.err, "orvik-tlm: " + error.toUtf8() + '\n');
            QCOMPARE(readAll(path), beforeTool);
        }
    }

    void readOnlyArchiveIsReported()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a read-only tmpfs needs root");
        QTemporaryDir dir;
        QVERIFY(
            run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=4m"), QStringLiteral("tmpfs"), dir.path()}));
        const QString path = dir.filePath(QStringLiteral("archive.sqlite"));
        {
            Archive archive;
            QVERIFY(archive.open(path, Archive::Access::ReadWrite, nullptr));
            QVERIFY(archive.add(std::vector{decoded(1, 1)}, nullptr, nullptr));
        }
        const bool readOnly =
            run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), dir.path()});
        QString error;
        Archive archive;
        const bool opened = archive.open(path, Archive::Access::ReadWrite, &error);
        Archive reader;
        const bool read = reader.open(path, Archive::Access::ReadOnly, nullptr) && reader.recordCount() == 1;
        reader.close();
        run(QStringLiteral("umount"), {dir.path()});
        QVERIFY(readOnly);
        QVERIFY(!opened);
        QVERIFY2(error.contains(path) && error.contains(QStringLiteral("read-only")), qPrintable(error));
        QVERIFY(read);
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
