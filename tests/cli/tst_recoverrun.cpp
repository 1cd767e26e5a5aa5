// SPDX-License-Identifier: GPL-3.0-or-later
// orvik-tlm --recover: records from damaged copies, in CSV, JSON Lines and the --check report.
#include "support/referenceline.h"
#include "support/tlmtestdata.h"
#include "windowexport.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray dropAt(int pos) { return QByteArray(kGood).remove(pos - 1, 1); }
QByteArray log(const QByteArrayList& lines) { return lines.join("\r\n") + "\r\n"; }

Run run(const QStringList& args, const QByteArray& input)
{
    // --archive writes no numbers, so it takes no decimal point.
    const QStringList point =
        args.contains("--archive") ? QStringList() : QStringList{"--decimal-point", "."};
    return runInMemory(point + args, input);
}

// The window's export of the good line with the cells of `leftOut` emptied.
QByteArray expectedCsv(const QList<int>& leftOut)
{
    const QByteArrayList lines = windowExport(kGood + "\r\n").split('\n');
    QByteArrayList cells = lines[1].chopped(1).split(';');
    for (const int c : leftOut)
        cells[c].clear();
    return lines[0] + "\n" + cells.join(';') + "\r\n";
}

using testsupport::apart;

QString caption(int c)
{
    const std::string_view s = orvik::kChannels[std::size_t(c)].caption;
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

} // namespace

class TestRecoverRun : public QObject {
    Q_OBJECT
private slots:
    void csvLeavesCellsEmpty_data();
    void csvLeavesCellsEmpty();
    void jsonLinesGiveNullCopiesAndLeftOut();
    void checkNamesEveryLeftOutField_data();
    void checkNamesEveryLeftOutField();
    void withoutRecoverNothingChanges();
    void recoveredRecordsGoIntoTheArchive();
    void recordsInTheOrderOfTheirLines_data();
    void recordsInTheOrderOfTheirLines();
};

void TestRecoverRun::csvLeavesCellsEmpty_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QList<int>>("leftOut");
    QTest::addRow("perfect line, as the strict decoder writes it") << QByteArrayList{kGood} << QList<int>{};
    QTest::addRow("dropped character in frame 3") << QByteArrayList{dropAt(33)} << QList<int>{11, 12, 13};
    QTest::addRow("three copies, each damaged in a different frame")
        << QByteArrayList{dropAt(20), over(50, "22"), over(84, "fi")} << QList<int>{};
    QTest::addRow("two copies disagree") << QByteArrayList{kGood, over(36, "9")} << QList<int>{13};
    QTest::addRow("non-hex character wins")
        << QByteArrayList{over(36, "z"), kGood, over(36, "z")} << QList<int>{13};
    QTest::addRow("lines that are no beacon skipped")
        << QByteArrayList{"hello", kGood.toUpper(), "orv1 and more"} << QList<int>{};
}

void TestRecoverRun::csvLeavesCellsEmpty()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QList<int>, leftOut);
    const Run r = run({"--recover"}, log(lines));
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.out, expectedCsv(leftOut));
}

void TestRecoverRun::jsonLinesGiveNullCopiesAndLeftOut()
{
    const Run r =
        run({"--recover", "--format", "jsonl"}, log({kGood, "junk", over(36, "9"), over(6, "ffffff")}));
    QCOMPARE(r.status, 0);
    const QByteArrayList lines = r.out.split('\n');
    QCOMPARE(lines.size(), 3);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first.value("record").toInt(), 1);
    QCOMPARE(first.value("copies").toInt(), 2);
    QCOMPARE(first.value("lines").toArray(), (QJsonArray{1, 3}));
    QCOMPARE(first.value("left_out").toArray(), QJsonArray{caption(13)});
    QVERIFY(first.value(caption(13)).isNull());
    orvik::Record expected{};
    const QString text = QString::fromLatin1(kGood);
    orvik::decodeBeaconLine({reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())},
                            expected);
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        if (c != 13)
            QCOMPARE(first.value(caption(c)).toDouble(), expected[std::size_t(c)]);
    }
    const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(second.value("copies").toInt(), 1);
    QCOMPARE(second.value("lines").toArray(), QJsonArray{4});
    QCOMPARE(second.value("left_out").toArray(), QJsonArray());
    QCOMPARE(second.value(caption(0)).toInt(), 0xffffff);
}

void TestRecoverRun::checkNamesEveryLeftOutField_data()
{
    QTest::addColumn<QByteArrayList>("lines");
    QTest::addColumn<QByteArray>("err");
    QTest::addRow("perfect line: nothing to tell") << QByteArrayList{kGood} << QByteArray();
    QTest::addRow("vote") << QByteArrayList{kGood, over(36, "9"), kGood}
                          << QByteArray(
                                 "<stdin>:1: recovered record 1 from <stdin>:1, <stdin>:2, <stdin>:3; vote "
                                 "changed <stdin>:2 position 36 \"9\" to \"8\"\n");
    // The second copy's time is in doubt in a digit that tells neighbours apart, so it could be
    // the next beacon's: each stands alone.
    QTest::addRow("every reason")
        << QByteArrayList{over(36, "9z").replace(38, 4, "xxxx"), over(6, "01e2z0").replace(38, 4, "xxxx")}
        << QByteArray("<stdin>:1: recovered record 1 from <stdin>:1; left out: channel 0 \"OBC Time\" "
                      "(could be another beacon's), channel 11 \"Battery Volt*\" (frame damaged), channel 12 "
                      "\"SolarArray Volt*\" (frame damaged), channel 13 \"Battery Temp*\" (frame damaged), "
                      "channel 14 \"SolarCurr +X\" (frame missing), channel 15 \"SolarCurr -X\" (frame "
                      "missing), channel 16 \"SolarCurr +Y\" (frame missing), channel 17 \"SolarCurr -Y\" "
                      "(frame missing), channel 18 \"SolarCurr +Z\" (frame missing), channel 19 \"SolarCurr "
                      "-Z\" (frame missing)\n"
                      "<stdin>:1: record 1 stands alone: it could be a copy of the record at <stdin>:2 or "
                      "the beacon next to it, so what the two disagree on is left out\n"
                      "<stdin>:2: recovered record 2 from <stdin>:2; left out: channel 0 \"OBC Time\" "
                      "(not a hex digit), channel 11 \"Battery Volt*\" (frame damaged), channel 12 "
                      "\"SolarArray Volt*\" (frame damaged), channel 13 \"Battery Temp*\" (frame damaged), "
                      "channel 14 \"SolarCurr +X\" (frame missing), channel 15 \"SolarCurr -X\" (frame "
                      "missing), channel 16 \"SolarCurr +Y\" (frame missing), channel 17 \"SolarCurr -Y\" "
                      "(frame missing), channel 18 \"SolarCurr +Z\" (frame missing), channel 19 \"SolarCurr "
                      "-Z\" (frame missing)\n"
                      "<stdin>:2: record 2 stands alone: it could be a copy of the record at <stdin>:1 or "
                      "the beacon next to it, so what the two disagree on is left out\n");
    QTest::addRow("not a hex digit") << QByteArrayList{over(62, "x")}
                                     << QByteArray("<stdin>:1: recovered record 1 from <stdin>:1; left out: "
                                                   "channel 20 \"PanelTemp +X\" (not a hex digit)\n");
}

void TestRecoverRun::checkNamesEveryLeftOutField()
{
    QFETCH(QByteArrayList, lines);
    QFETCH(QByteArray, err);
    const Run r = run({"--recover", "--check"}, log(lines));
    QCOMPARE(r.status, 0);
    // After what the strict run explains of the same lines, less its closing count.
    QCOMPARE(r.err, run({"--check", "--quiet"}, log(lines)).err + err);
}

void TestRecoverRun::withoutRecoverNothingChanges()
{
    const QByteArray damaged =
        log({kGood, dropAt(33), over(36, "zz"), kGood + " ", over(6, "000fff").toUpper()});
    const Run strict = run({}, damaged);
    QCOMPARE(strict.status, 0);
    QCOMPARE(strict.out, windowExport(damaged));
    // On lines the strict decoder reads, the recovery writes the same bytes.
    const QByteArray clean =
        log({kGood, over(6, "000fff").toUpper(), over(44, "ffffffffffff").replace(5, 6, "00abcd")});
    QCOMPARE(run({"--recover"}, clean).out, windowExport(clean));
}

void TestRecoverRun::recoveredRecordsGoIntoTheArchive()
{
    QTemporaryDir dir;
    const QString archive = dir.filePath("season.db");
    const Run added = run({"--recover", "--archive", archive, "--received", "2026-12-08T19:53:00Z"},
                          log({kGood, over(36, "9")}));
    QCOMPARE(added.status, 0);
    // Each copy is a reception of the one record.
    QCOMPARE(added.err, QByteArray("orvik-tlm: 2 added, 0 already there; 1 new record\n"));
    const Run read = run({"--from-archive", archive, "--format", "jsonl"}, {});
    QCOMPARE(read.status, 0);
    const QJsonObject o = QJsonDocument::fromJson(read.out.split('\n').first()).object();
    QCOMPARE(o.value("received").toString(), QString("2026-12-08T19:53:00Z"));
    QCOMPARE(o.value("source").toString(), QString("<stdin>:1"));
    QCOMPARE(o.value(caption(0)).toInt(), 0x01e240);
    QVERIFY(o.value(caption(13)).isNull());
    // An archive holds decoded records: there is nothing to recover in it.
    const Run refused = run({"--recover", "--from-archive", archive}, {});
    QCOMPARE(refused.status, 2);
    QCOMPARE(refused.err,
             QByteArray("orvik-tlm: --recover cannot go with --from-archive, which decodes nothing "
                        "(try 'orvik-tlm --help')\n"));
}

void TestRecoverRun::recordsInTheOrderOfTheirLines_data()
{
    QTest::addColumn<QByteArrayList>("first");
    QTest::addColumn<QByteArrayList>("second");
    QTest::addColumn<QByteArray>("order"); // the digit of each record written
    QTest::addRow("one file") << QByteArrayList{apart('1'), apart('2'), apart('3')} << QByteArrayList()
                              << QByteArray("123");
    QTest::addRow("a beacon only in the second file")
        << QByteArrayList{apart('1'), apart('2'), apart('3')}
        << QByteArrayList{apart('1'), apart('2'), apart('4'), apart('3')} << QByteArray("1243");
    QTest::addRow("the second file begins earlier")
        << QByteArrayList{apart('2'), apart('3')} << QByteArrayList{apart('1'), apart('2'), apart('3')}
        << QByteArray("123");
    QTest::addRow("files of different passes")
        << QByteArrayList{apart('1'), apart('2')} << QByteArrayList{apart('3'), apart('4')}
        << QByteArray("1234");
}

void TestRecoverRun::recordsInTheOrderOfTheirLines()
{
    QFETCH(QByteArrayList, first);
    QFETCH(QByteArrayList, second);
    QFETCH(QByteArray, order);
    QTemporaryDir dir;
    QStringList files;
    for (const QByteArrayList& lines : {first, second}) {
        if (lines.isEmpty())
            continue;
        files << dir.filePath(QString("%1.log").arg(files.size() + 1));
        QFile f(files.last());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(log(lines)) == log(lines).size());
    }
    const Run r = run(QStringList{"--recover", "--format", "jsonl"} + files, {});
    QCOMPARE(r.status, 0);
    QByteArray written;
    int number = 0;
    for (const QByteArray& line : r.out.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QCOMPARE(o.value("record").toInt(), ++number);
        written += QByteArray::number(o.value(caption(0)).toInt(), 16).left(1);
    }
    QCOMPARE(written, order);
}

QTEST_GUILESS_MAIN(TestRecoverRun)
#include "tst_recoverrun.moc"
