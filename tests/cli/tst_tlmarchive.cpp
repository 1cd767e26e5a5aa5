// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive.h"
#include "archive/archiveadd.h"
#include "decoder/channels.h"
#include "readonlyfolder.h"
#include "support/tlmtestdata.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

using namespace orvik;

namespace {

// Beacon lines first to last - 1, one a line, and a line that is none.
QByteArray log(int first, int last, bool upper = false)
{
    QByteArray text;
    for (int n = first; n < last; ++n)
        text += (upper ? beacon(n).toUpper() : beacon(n)) + "\r\n";
    return text + "no beacon\r\n";
}

bool writeFile(const QString& path, const QByteArray& bytes, const QDateTime& modified = QDateTime())
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush() &&
           (modified.isNull() || f.setFileTime(modified, QFileDevice::FileModificationTime));
}

} // namespace

class TestTlmArchive : public QObject {
    Q_OBJECT

private slots:
    void addingTellsCounts_data()
    {
        QTest::addColumn<QList<QByteArray>>("logs"); // added one after the other
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("err");
        QTest::addRow("new lines") << QList<QByteArray>{log(1, 4)} << 0
                                   << QByteArray("orvik-tlm: 3 added, 0 already there\n");
        QTest::addRow("the same again") << QList<QByteArray>{log(1, 4), log(1, 4)} << 0
                                        << QByteArray("orvik-tlm: 0 added, 3 already there\n");
        // Other lines of standard input: new copies, of records there when letter case aside.
        QTest::addRow("letter case aside")
            << QList<QByteArray>{log(1, 4), log(2, 6, true)} << 0
            << QByteArray("orvik-tlm: 4 added, 0 already there; 2 new records\n");
        QTest::addRow("copies within a run")
            << QList<QByteArray>{log(1, 3) + log(1, 3)} << 0
            << QByteArray("orvik-tlm: 4 added, 0 already there; 2 new records\n");
    }
    void addingTellsCounts()
    {
        QFETCH(QList<QByteArray>, logs);
        QFETCH(int, status);
        QFETCH(QByteArray, err);
        QTemporaryDir dir;
        Run last{};
        for (const QByteArray& text : logs)
            last = runIn(dir, {"--archive", "DIR/a.sqlite"}, text);
        QCOMPARE(last.status, status);
        // A repeat within a run also tells that the on-board time went back.
        QVERIFY2(last.err.endsWith(err), last.err.constData());
        QCOMPARE(last.out, QByteArray());
    }

    // An add that finds no beacon line makes no file, nor its folder, and leaves one there as it was.
    void noBeaconLineMakesNoArchive_data()
    {
        QTest::addColumn<QString>("there"); // "none", "archive" or "empty file"
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("err"); // PATH stands for the archive's full path
        QTest::addRow("none there") << "none" << QStringList{}
                                    << QByteArray("orvik-tlm: no beacon line to add; 'PATH' was not made\n");
        QTest::addRow("none there, recovering")
            << "none" << QStringList{"--recover"}
            << QByteArray("orvik-tlm: no beacon line to add; 'PATH' was not made\n");
        QTest::addRow("an empty file there")
            << "empty file" << QStringList{}
            << QByteArray("orvik-tlm: no beacon line to add; 'PATH' was not made\n");
        QTest::addRow("an archive there")
            << "archive" << QStringList{}
            << QByteArray("orvik-tlm: no beacon line to add to 'PATH'; it is left as it was\n");
    }
    void noBeaconLineMakesNoArchive()
    {
        QFETCH(QString, there);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, err);
        QTemporaryDir dir;
        const QString path = dir.filePath("new/a.sqlite");
        if (there == QLatin1String("archive"))
            QCOMPARE(runIn(dir, {"--archive", path}, log(1, 3)).status, 0);
        if (there == QLatin1String("empty file")) {
            QVERIFY(QDir().mkpath(dir.filePath("new")));
            QVERIFY(writeFile(path, QByteArray()));
        }
        QFile file(path);
        const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("none");
        file.close();
        const Run added =
            runIn(dir, QStringList{"--archive", path} + options, "no beacon\norv1 heard at noon\n");
        QCOMPARE(added.status, 1);
        QCOMPARE(added.err, QByteArray(err).replace("PATH", path.toUtf8()));
        QCOMPARE(QFileInfo::exists(dir.filePath("new")), there != QLatin1String("none"));
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("none"), before);
    }

    // The values of the export are those of the tool's own CSV of the same lines.
    void exportMatchesTheToolsCsv_data()
    {
        QTest::addColumn<QStringList>("range");
        QTest::addColumn<QList<int>>("beacons"); // expected, oldest first
        QTest::addRow("everything") << QStringList{} << QList<int>{1, 2, 3, 4};
        QTest::addRow("since, inclusive")
            << QStringList{"--since", "2026-12-08T19:53:00Z"} << QList<int>{3, 4};
        QTest::addRow("until, inclusive")
            << QStringList{"--until", "2026-12-08T19:53:01Z"} << QList<int>{1, 2, 3, 4};
        QTest::addRow("until before") << QStringList{"--until", "2026-12-08T19:52:59Z"} << QList<int>{1, 2};
        QTest::addRow("one instant, local offset")
            << QStringList{"--since", "2026-12-08T20:53:00+01:00", "--until", "2026-12-08T19:53:00.999Z"}
            << QList<int>{3};
        QTest::addRow("a day") << QStringList{"--since", "2026-12-08", "--until", "2026-12-08"}
                               << QList<int>{3, 4};
        QTest::addRow("up to a day") << QStringList{"--until", "2026-12-07"} << QList<int>{1, 2};
        QTest::addRow("none") << QStringList{"--since", "2027-01-01T00:00:00Z"} << QList<int>{};
    }
    void exportMatchesTheToolsCsv()
    {
        QFETCH(QStringList, range);
        QFETCH(QList<int>, beacons);
        QTemporaryDir dir;
        // Line 3 is received at the file's time, to the second, and line 4 a second later, as
        // their on-board times tell; lines 1 and 2 a week before.
        QVERIFY(writeFile(dir.filePath("late.txt"), log(3, 5),
                          QDateTime(QDate(2026, 12, 8), QTime(19, 53, 0, 400), Qt::UTC)));
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "DIR/late.txt"}).status, 0);
        QCOMPARE(
            runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-01T06:00:00Z"}, log(1, 3)).status,
            0);
        // The same line seen later keeps its first received time.
        QCOMPARE(
            runIn(dir, {"--archive", "DIR/a.sqlite", "--received", "2026-12-09T00:00:00Z"}, log(4, 5)).status,
            0);

        const Run csv =
            runIn(dir, QStringList{"--from-archive", "DIR/a.sqlite", "--decimal-point", ","} + range);
        QCOMPARE(csv.status, beacons.isEmpty() ? 1 : 0);
        const QList<QByteArray> rows = csv.out.split('\n');
        QCOMPARE(rows.size(), beacons.size() + 2);
        QVERIFY(rows[0].startsWith("Received (UTC);OBC Time;"));
        for (qsizetype i = 0; i < beacons.size(); ++i) {
            const int n = beacons[i];
            const QByteArray time = n < 3 ? "2026-12-01T06:00:0" + QByteArray::number(n - 1) + "Z;"
                                          : "2026-12-08T19:53:0" + QByteArray::number(n - 3) + "Z;";
            const Run plain = runIn(dir, {"--decimal-point", ","}, beacon(n) + "\n");
            QCOMPARE(rows[i + 1] + '\n', time + plain.out.split('\n')[1] + '\n');
        }

        const Run jsonl =
            runIn(dir, QStringList{"--from-archive", "DIR/a.sqlite", "--format", "jsonl"} + range);
        QCOMPARE(jsonl.out.count('\n'), beacons.size());
        if (!beacons.isEmpty())
            QVERIFY2(jsonl.out.startsWith("{\"record\":1,\"received\":\"2026-12-0"), jsonl.out.constData());
    }

    // A line recovered from damaged copies holds "-" where no character was certain.
    void valuesLeftOutAreEmpty()
    {
        QTemporaryDir dir;
        {
            Archive archive;
            QVERIFY(archive.open(dir.filePath("a.sqlite"), Archive::Access::ReadWrite, nullptr));
            ArchiveEntry entry;
            entry.line = over(1, "orv1 ------ orv2 07------ orv3 ------ orv4 ------------ orv5 ------------ "
                                 "orv6 ----------")
                             .toStdString();
            entry.values.fill(std::numeric_limits<double>::quiet_NaN());
            entry.source = QStringLiteral("recovered.txt:3");
            QVERIFY(archive.add(std::span(&entry, 1), nullptr, nullptr));
        }
        const Run csv = runIn(dir, {"--from-archive", "DIR/a.sqlite", "--decimal-point", ","});
        QCOMPARE(csv.out.split('\n')[1], "1970-01-01T00:00:00Z;;7;0" + QByteArray(29, ';') + '\r');
        const Run jsonl = runIn(dir, {"--from-archive", "DIR/a.sqlite", "--format", "jsonl"});
        QVERIFY2(jsonl.out.contains("\"source\":\"recovered.txt:3\",\"copies\":1,\"OBC Time\":null,\"Uplink "
                                    "Counter\":7,\"Camera Counter\":0,\"SEL Counter\":null"),
                 jsonl.out.constData());
    }

    // A value whose field is not hex digits alone is stored as NULL, strict or recovering,
    // while the tool's own CSV of the line still shows it.
    void doubtfulValuesAreLeftOut_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("recover");
        QTest::addColumn<QList<int>>("leftOut"); // channels, counted from 0
        QTest::addRow("zz in Battery Temp*") << over(36, "zz") << false << QList<int>{13};
        QTest::addRow("zz in Battery Temp*, recovering") << over(36, "zz") << true << QList<int>{13};
        QTest::addRow("one character of a shared field")
            << over(21, "x") << false << QList<int>{3, 4, 5, 6, 7};
        QTest::addRow("a blank in the on-board time") << over(8, " ") << false << QList<int>{0};
        QTest::addRow("upper case is hex") << over(36, "FF") << false << QList<int>{};
        QTest::addRow("a clean line") << kGood << false << QList<int>{};
    }
    void doubtfulValuesAreLeftOut()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, recover);
        QFETCH(QList<int>, leftOut);
        QTemporaryDir dir;
        QStringList add{"--archive", "DIR/a.sqlite"};
        if (recover)
            add << "--recover";
        QCOMPARE(runIn(dir, add, line + "\n").status, 0);
        const Run stored = runIn(dir, {"--from-archive", "DIR/a.sqlite", "--decimal-point", "."});
        QCOMPARE(stored.status, 0);
        const Run plain = runIn(dir, {"--decimal-point", "."}, line + "\n");
        const QList<QByteArray> cells = stored.out.split('\n').value(1).trimmed().split(';');
        const QList<QByteArray> shown = plain.out.split('\n').value(1).trimmed().split(';');
        QCOMPARE(cells.size(), shown.size() + 1);
        for (int c = 0; c < kChannelCount; ++c) {
            const QByteArray want = leftOut.contains(c) ? QByteArray() : shown[c];
            QVERIFY2(cells[c + 1] == want,
                     qPrintable(QStringLiteral("channel %1: %2").arg(c).arg(cells[c + 1])));
            // The tool's CSV keeps showing a doubtful value; only the archive leaves it out.
            QVERIFY(!shown[c].isEmpty());
        }
    }

    // Records committed to the WAL and not yet checkpointed, in a folder the reader may not
    // write: SQLite cannot make the -shm file it reads the WAL through. Every record is read,
    // or the file is refused with the WAL named; never the main file's records alone.
    void committedRecordsInTheWal_data()
    {
        QTest::addColumn<bool>("withWal");
        QTest::addColumn<bool>("withShm");
        QTest::addColumn<bool>("read"); // false: refused, naming the WAL
        QTest::addRow("WAL without -shm") << true << false << false;
        QTest::addRow("WAL with its -shm") << true << true << true;
        QTest::addRow("no WAL") << false << false << true;
    }
    void committedRecordsInTheWal()
    {
        QFETCH(bool, withWal);
        QFETCH(bool, withShm);
        QFETCH(bool, read);
        QTemporaryDir dir;
        const QString sealed = dir.filePath("sealed");
        QVERIFY(QDir().mkpath(sealed));
        ReadOnlyFolder folder(sealed);
        if (!folder.usable())
            QSKIP("root needs a read-only mount here, and mount failed");
        const QString source = dir.filePath("a.sqlite");
        QCOMPARE(runIn(dir, {"--archive", source}, log(1, 6)).status, 0);
        {
            // The writer stays open, so that its last three records stay in the WAL.
            Archive writer;
            QVERIFY(writer.open(source, Archive::Access::ReadWrite, nullptr));
            std::vector<ArchiveEntry> entries(3);
            for (int i = 0; i < 3; ++i) {
                entries[i].line = beacon(6 + i).toStdString();
                decodeCertain(std::u16string(entries[i].line.begin(), entries[i].line.end()),
                              entries[i].values);
            }
            if (withWal) {
                QVERIFY(writer.add(entries, nullptr, nullptr));
                QVERIFY(QFileInfo(source + "-wal").size() > 0);
            }
            QVERIFY(QFile::copy(source, sealed + "/a.sqlite"));
            if (withWal)
                QVERIFY(QFile::copy(source + "-wal", sealed + "/a.sqlite-wal"));
            if (withShm)
                QVERIFY(QFile::copy(source + "-shm", sealed + "/a.sqlite-shm"));
        }
        QVERIFY(folder.seal());
        const QString path = sealed + "/a.sqlite";
        // The code takes its path for a reader that may not write: the place is not writable to it.
        QVERIFY(!QFileInfo(sealed).isWritable());
        const qint64 records = withWal ? 8 : 5;

        Archive reader;
        QString error;
        QCOMPARE(reader.open(path, Archive::Access::ReadOnly, &error), read);
        if (read)
            QCOMPARE(reader.recordCount(), records);
        else
            QVERIFY2(error.contains(path + "-wal'") && error.contains("'" + path + "'"), qPrintable(error));
        reader.close();
        const Run exported = runIn(dir, {"--from-archive", path, "--format", "jsonl"});
        QCOMPARE(exported.status, read ? 0 : 2);
        QCOMPARE(exported.out.count('\n'), read ? records : 0);
        if (!read)
            QCOMPARE(exported.err, "orvik-tlm: " + error.toUtf8() + '\n');
        QCOMPARE(QFileInfo::exists(path + "-shm"), withShm);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("says");
        QTest::addRow("--archive with -o") << QStringList{"--archive", "DIR/a.sqlite", "-o", "DIR/x.csv"}
                                           << QByteArray("-o and --format cannot go with it");
        QTest::addRow("both archive options")
            << QStringList{"--archive", "DIR/a.sqlite", "--from-archive", "DIR/a.sqlite"}
            << QByteArray("cannot go together");
        QTest::addRow("--from-archive with a log")
            << QStringList{"--from-archive", "DIR/a.sqlite", "DIR/log.txt"}
            << QByteArray("reads no input files");
        QTest::addRow("bad received time")
            << QStringList{"--archive", "DIR/a.sqlite", "--received", "08.12.2026"}
            << QByteArray("--received wants a UTC time");
        QTest::addRow("--since alone") << QStringList{"--since", "2026-12-08T19:53:00Z", "DIR/log.txt"}
                                       << QByteArray("go only with --from-archive");
        QTest::addRow("--received alone") << QStringList{"--received", "2026-12-08T19:53:00Z", "DIR/log.txt"}
                                          << QByteArray("goes only with --archive");
        QTest::addRow("--verify alone")
            << QStringList{"--verify"} << QByteArray("--verify goes only with --archive");
        QTest::addRow("--verify with a log")
            << QStringList{"--archive", "DIR/a.sqlite", "--verify", "DIR/log.txt"}
            << QByteArray("no input files");
        QTest::addRow("--verify of no file")
            << QStringList{"--archive", "DIR/none.sqlite", "--verify"} << QByteArray("does not exist");
        QTest::addRow("since after until")
            << QStringList{"--from-archive",    "DIR/a.sqlite", "--since",
                           "2026-12-09T00:00Z", "--until",      "2026-12-08T00:00Z"}
            << QByteArray("later than --until");
        QTest::addRow("a log is no archive")
            << QStringList{"--archive", "DIR/log.txt", "DIR/log.txt"} << QByteArray("both input and archive");
        QTest::addRow("text is no archive")
            << QStringList{"--archive", "DIR/notes.txt", "DIR/log.txt"} << QByteArray("is not an archive");
        QTest::addRow("export of no archive")
            << QStringList{"--from-archive", "DIR/notes.txt"} << QByteArray("is not an archive");
        QTest::addRow("export onto the archive")
            << QStringList{"--from-archive", "DIR/a.sqlite", "-o", "DIR/a.sqlite"}
            << QByteArray("is both input and output");
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, says);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("log.txt"), log(1, 3)));
        QVERIFY(writeFile(dir.filePath("notes.txt"), "orv1 heard at noon\n"));
        QCOMPARE(runIn(dir, {"--archive", "DIR/a.sqlite", "DIR/log.txt"}).status, 0);
        QFile archive(dir.filePath("a.sqlite"));
        QVERIFY(archive.open(QIODevice::ReadOnly));
        const QByteArray before = archive.readAll();
        archive.close();

        const Run refused = runIn(dir, args);
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains(says) && refused.err.count('\n') == 1, refused.err.constData());
        QCOMPARE(refused.out, QByteArray());
        QVERIFY(archive.open(QIODevice::ReadOnly));
        QCOMPARE(archive.readAll(), before);
        QFile notes(dir.filePath("notes.txt"));
        QVERIFY(notes.open(QIODevice::ReadOnly));
        QCOMPARE(notes.readAll(), QByteArray("orv1 heard at noon\n"));
    }
};

QTEST_GUILESS_MAIN(TestTlmArchive)
#include "tst_tlmarchive.moc"
