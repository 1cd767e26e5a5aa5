// SPDX-License-Identifier: GPL-3.0-or-later
// orvik-tlm --recover --archive: each copy is kept as it was received, and the archive's
// records read as the recovery's.
#include "support/tlmtestdata.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray log(const QByteArrayList& lines) { return lines.join("\n") + "\n"; }

// The values of each record, by caption, and of each record apart by a line feed: the keys
// that say where a record came from are left out, as the two runs name them differently.
QByteArray valuesOf(const QByteArray& jsonLines)
{
    QByteArrayList out;
    for (const QByteArray& line : jsonLines.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonObject o = QJsonDocument::fromJson(line).object();
        for (const char* key : {"record", "line", "lines", "copies", "left_out", "received", "source"})
            o.remove(QLatin1StringView(key));
        out << QJsonDocument(o).toJson(QJsonDocument::Compact);
    }
    return out.join('\n');
}

// The lines of the archive's receptions, in the order they were added; a copy kept beside a
// stand-in, which does not vote, after "heard: ".
QByteArrayList receptions(const QString& path)
{
    QByteArrayList lines;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "receptions");
        db.setDatabaseName(path);
        if (!db.open())
            return {"cannot open"};
        QSqlQuery q(db);
        q.exec("SELECT line, copies FROM receptions ORDER BY id");
        while (q.next())
            lines << (q.value(1).toInt() == 0 ? "heard: " : "") + q.value(0).toByteArray();
    }
    QSqlDatabase::removeDatabase("receptions");
    return lines;
}

// The copies of every record, in order.
QList<int> copiesIn(const QByteArray& jsonLines)
{
    QList<int> out;
    for (const QByteArray& line : jsonLines.split('\n')) {
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object().value("copies").toInt();
    }
    return out;
}

// A line as the recovery writes it: its tail is never read.
QByteArray recovered(const QByteArray& line) { return line.left(89).toLower() + QByteArray(31, '-'); }

} // namespace

class TestRecoverArchive : public QObject {
    Q_OBJECT
private slots:
    void copiesKeptAsReceived_data();
    void copiesKeptAsReceived();
    void copiesJoinTheRecordTheirBeaconHas_data();
    void copiesJoinTheRecordTheirBeaconHas();
};

void TestRecoverArchive::copiesKeptAsReceived_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArrayList>("kept"); // the receptions' lines
    QTest::addColumn<int>("copies");          // copies as received that the add counts

    const QByteArray lost = QByteArray(kGood).remove(32, 1);
    QTest::addRow("a clean copy and a damaged one")
        << QByteArrayList{kGood, lost} << QByteArrayList{kGood, lost} << 2;
    const QByteArray loud = kGood.toUpper();
    const QByteArray dotted = QByteArray(kGood).replace(' ', '.').remove(70, 1);
    QTest::addRow("letter case and separators as heard")
        << QByteArrayList{loud, dotted} << QByteArrayList{loud, dotted} << 2;
    QTest::addRow("a copy with chatter before its tag") << QByteArrayList{"73 de dl0xyz " + lost, kGood}
                                                        << QByteArrayList{"73 de dl0xyz " + lost, kGood} << 2;
    // A decoder that wraps at 70 columns: the copy keeps its lines.
    QTest::addRow("a copy wrapped over two lines")
        << QByteArrayList{kGood.left(70), kGood.mid(70), lost}
        << QByteArrayList{kGood.left(70) + "\n" + kGood.mid(70), lost} << 2;
    // Each taken alone, a stretch of a line could read as a beacon line: the records are
    // kept as the recovery read them, each stretch as heard beside its record.
    // Two beacons 64 s apart whose telemetry held: either could be a miscopy of the other, so
    // each leaves its time out, and they recover alike.
    const QByteArray timeless = QByteArray(recovered(kGood)).replace(5, 6, "------");
    QTest::addRow("two beacons on one line")
        << QByteArrayList{kGood + " " + beacon(0x01e280)}
        << QByteArrayList{timeless, "heard: " + kGood + " ", timeless, "heard: " + beacon(0x01e280)} << 2;
    // The strict decoder reads the third line, but it could be a miscopy of the first two;
    // what it holds otherwise is left out, and so it is in the archive, with the line as heard
    // beside it, so that the strict decoder's reading of that line is there already.
    const QByteArray next = QByteArray(kGood).replace(31, 2, "9f").replace(61, 4, "6d6e");
    QByteArray doubted = recovered(next);
    doubted.replace(5, 6, "------").replace(31, 2, "--").replace(61, 4, "----");
    QTest::addRow("a lone copy that may be its neighbour's")
        << QByteArrayList{kGood, loud, next} << QByteArrayList{kGood, loud, doubted, "heard: " + next} << 3;
    // A line of bytes that are no UTF-8 is kept as those bytes.
    const QByteArray latin1 = QByteArray(kGood).replace(119, 1, "\xe9");
    QTest::addRow("a line that is no UTF-8")
        << QByteArrayList{latin1, lost} << QByteArrayList{latin1, lost} << 2;
}

void TestRecoverArchive::copiesKeptAsReceived()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArrayList, kept);
    QFETCH(int, copies);
    QTemporaryDir dir;
    const QString archive = dir.filePath("pass.db");
    const QStringList add{"--recover", "--archive", archive, "--received", "2026-12-09T20:00:00Z"};
    const Run added = runInMemory(add, log(lines));
    QVERIFY2(added.status == 0, added.err.constData());
    QCOMPARE(receptions(archive), kept);
    QVERIFY2(added.err.startsWith("orvik-tlm: " + QByteArray::number(copies) + " added, 0 already there"),
             added.err.constData());

    // The archive's records hold what the recovery gave.
    const Run recovered = runInMemory({"--recover", "--format", "jsonl"}, log(lines));
    const Run read = runInMemory({"--from-archive", archive, "--format", "jsonl"});
    QCOMPARE(read.status, 0);
    QCOMPARE(valuesOf(read.out), valuesOf(recovered.out));
    // And they are the vote of the copies that vote.
    const Run verified = runInMemory({"--archive", archive, "--verify"});
    QVERIFY2(verified.status == 0, verified.err.constData());

    // The same copies again are no new receptions.
    const Run again = runInMemory(add, log(lines));
    QCOMPARE(again.status, 0);
    QCOMPARE(again.err,
             QByteArray("orvik-tlm: 0 added, %1 already there\n").replace("%1", QByteArray::number(copies)));
    QCOMPARE(receptions(archive), kept);

    // Nor are the lines the strict decoder reads, added without --recover.
    const Run strict = runInMemory(add.mid(1), log(lines));
    QVERIFY2(strict.err.startsWith("orvik-tlm: 0 added, ") || strict.err.contains("no beacon line to add"),
             strict.err.constData());
    QCOMPARE(receptions(archive), kept);
    QCOMPARE(runInMemory({"--from-archive", archive, "--format", "jsonl"}).out, read.out);

    // Added strictly first, then recovered, the lines make the records the recovery makes.
    const QString strictFirst = dir.filePath("strict-first.db");
    runInMemory({"--archive", strictFirst, "--received", "2026-12-09T20:00:00Z"}, log(lines));
    const Run after = runInMemory(
        {"--recover", "--archive", strictFirst, "--received", "2026-12-09T20:00:00Z"}, log(lines));
    QVERIFY2(after.status == 0, after.err.constData());
    QCOMPARE(runInMemory({"--from-archive", strictFirst, "--format", "jsonl"}).out.count('\n'),
             read.out.count('\n'));

    // Taking the add back counts the copies it counted, and leaves nothing behind.
    const Run undone = runInMemory({"--archive", archive, "--undo-add", "1"});
    QCOMPARE(undone.status, 0);
    QVERIFY2(undone.err.startsWith("orvik-tlm: add 1 taken back: " + QByteArray::number(copies) + " cop"),
             undone.err.constData());
    QCOMPARE(receptions(archive), QByteArrayList());
    QCOMPARE(runInMemory({"--from-archive", archive, "--format", "jsonl"}).out, QByteArray());
}

void TestRecoverArchive::copiesJoinTheRecordTheirBeaconHas_data()
{
    QTest::addColumn<QByteArrayList>("before"); // added strictly, a month before
    QTest::addColumn<QByteArrayList>("lines");  // added with --recover

    const QByteArray lettered = QByteArray(kGood).replace(24, 1, "v").replace(45, 1, "m").toUpper();
    const QByteArray gained = QByteArray(kGood).insert(65, ' ');
    const QByteArray lost = QByteArray(kGood).remove(32, 1);
    QTest::addRow("two lines there, a copy that gained a blank")
        << QByteArrayList{lettered, kGood} << QByteArrayList{lettered, kGood, gained};
    QTest::addRow("one line there, two damaged copies")
        << QByteArrayList{kGood} << QByteArrayList{kGood, gained, lost};
    // The damaged copy shares a line with another beacon: the record is kept as recovered,
    // its copies beside it as heard.
    QTest::addRow("one line there, a damaged copy on a line with another beacon")
        << QByteArrayList{kGood}
        << QByteArrayList{kGood, gained + " " + beacon(0x02e240).replace(17, 8, "12345678")};
}

// A log added strictly, then with --recover under another received time: the copies that the
// recovery finds to be copies of a beacon already there join its record, however far apart
// in time the two adds dated them.
void TestRecoverArchive::copiesJoinTheRecordTheirBeaconHas()
{
    QFETCH(QByteArrayList, before);
    QFETCH(QByteArrayList, lines);
    QTemporaryDir dir;
    const QString archive = dir.filePath("pass.db");
    const Run strict = runInMemory({"--archive", archive, "--received", "2026-11-09T20:00:00Z"}, log(before));
    QVERIFY2(strict.status == 0, strict.err.constData());
    const Run added =
        runInMemory({"--recover", "--archive", archive, "--received", "2026-12-09T20:00:00Z"}, log(lines));
    QVERIFY2(added.status == 0, added.err.constData());
    // As many records, holding as many copies, as the lines make in an archive of their own.
    const QString fresh = dir.filePath("fresh.db");
    runInMemory({"--recover", "--archive", fresh, "--received", "2026-12-09T20:00:00Z"}, log(lines));
    const QByteArray read = runInMemory({"--from-archive", archive, "--format", "jsonl"}).out;
    const QByteArray alone = runInMemory({"--from-archive", fresh, "--format", "jsonl"}).out;
    QCOMPARE(read.count('\n'), alone.count('\n'));
    QCOMPARE(copiesIn(read), copiesIn(alone));
    const Run verified = runInMemory({"--archive", archive, "--verify"});
    QVERIFY2(verified.status == 0, verified.err.constData());
}

QTEST_GUILESS_MAIN(TestRecoverArchive)
#include "tst_recoverarchive.moc"
