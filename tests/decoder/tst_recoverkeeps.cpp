// SPDX-License-Identifier: GPL-3.0-or-later
// What the recovery keeps: a beacon line as it stands gives the strict decoder's values whatever
// stands between its fields, and copies as CW decoders write them are cut and joined again.
#include "beacontestdata.h"
#include "decoder/beacon.h"
#include "decoder/recover.h"

#include <QRandomGenerator>
#include <QTest>
#include <bit>
#include <cmath>
#include <utility>

using namespace beacontest;
using orvik::LeftOut;

namespace {

// The places a beacon line never examines, counted from 1.
QList<int> unexamined()
{
    QList<int> places{5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79};
    for (int p = 90; p <= 120; ++p)
        places << p;
    return places;
}

// Distinct beacons whose fields are random hex digits, with `between` drawn for every place
// that is never examined; `spoil` of them have a field that is no hex digits.
QStringList generated(int count, const QString& between, quint32 seed, int spoil = 0)
{
    QRandomGenerator random(seed);
    QStringList lines;
    const QList<int> places = unexamined();
    for (int n = 0; n < count; ++n) {
        QString line = QStringLiteral("orv1 000000 orv2 00000000 orv3 000000 orv4 000000000000 orv5 "
                                      "000000000000 orv6 0000000000") +
                       QString(31, u'0');
        for (int p = 1; p <= orvik::kBeaconLength; ++p) {
            if (line[p - 1] == u'0')
                line[p - 1] = QChar(u"0123456789abcdef"[random.bounded(16)]);
        }
        for (const int p : places)
            line[p - 1] = between[random.bounded(int(between.size()))];
        if (random.bounded(4) == 0)
            line = over(line, 95, QStringLiteral("orv3"));
        if (n < spoil)
            line = over(line, 44 + 2 * random.bounded(6), QStringLiteral("g"));
        lines << (random.bounded(2) ? line.toUpper() : line);
    }
    return lines;
}

// Whether the record holds the strict decoder's values of the line, but for fields that hold
// other characters than hex digits, which are left out for that reason.
bool keepsStrictValues(const orvik::RecoveredRecord& r, const QString& line)
{
    orvik::Record strict{};
    orvik::decodeBeaconLine(view(line), strict);
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        const orvik::Channel& ch = orvik::kChannels[std::size_t(c)];
        bool hex = true;
        for (const QChar q : line.mid(ch.pos - 1, ch.len))
            hex = hex && QStringLiteral("0123456789abcdefABCDEF").contains(q);
        if (!hex && r.leftOut[std::size_t(c)] != LeftOut::NotHex)
            return false;
        if (hex && (!r.written(c) || std::bit_cast<std::uint64_t>(r.values[std::size_t(c)]) !=
                                         std::bit_cast<std::uint64_t>(strict[std::size_t(c)])))
            return false;
    }
    return true;
}

} // namespace

class TestRecoverKeeps : public QObject {
    Q_OBJECT
private slots:
    void strictLinesKeepTheirValues_data();
    void strictLinesKeepTheirValues();
    void copiesAsDecodersWrite_data();
    void copiesAsDecodersWrite();
    void lastFrameInAStream_data();
    void lastFrameInAStream();
};

void TestRecoverKeeps::strictLinesKeepTheirValues_data()
{
    QTest::addColumn<QStringList>("lines");

    QTest::addRow("blanks between fields") << generated(300, QStringLiteral(" "), 1);
    QTest::addRow("marks between fields") << generated(300, QStringLiteral(".-/=+,"), 2);
    QTest::addRow("letters between fields") << generated(300, QStringLiteral("xyzgkmOTE"), 3);
    QTest::addRow("hex digits between fields") << generated(300, QStringLiteral("0123456789abcdef"), 4);
    QTest::addRow("anything between fields") << generated(300, QStringLiteral(" .-/x0Fa9\t?"), 5);
    QTest::addRow("fields that are no hex digits") << generated(300, QStringLiteral(" .a5"), 6, 150);
    QTest::addRow("a blank at the last place")
        << QStringList{over(kGood, 120, " "), over(kOther, 110, "orv1 orv2 ")};
    QTest::addRow("tags inside the tail") << QStringList{over(kGood, 92, "orv3orv4orv5orv6orv1")};
}

// Each line alone, and all of them together, give exactly the strict decoder's values.
void TestRecoverKeeps::strictLinesKeepTheirValues()
{
    QFETCH(QStringList, lines);
    std::vector<orvik::RecoveredRecord> all = recovered(lines);
    QCOMPARE(all.size(), std::size_t(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QVERIFY2(orvik::isBeaconLine(view(lines[i])), qPrintable(lines[i]));
        const std::vector<orvik::RecoveredRecord> alone = recovered({lines[i]});
        QCOMPARE(alone.size(), std::size_t(1));
        QVERIFY2(keepsStrictValues(alone.front(), lines[i]), qPrintable(lines[i]));
        QVERIFY2(keepsStrictValues(all[std::size_t(i)], lines[i]), qPrintable(lines[i]));
        QCOMPARE(all[std::size_t(i)].copies.front().line, std::uint64_t(i + 1));
    }
}

void TestRecoverKeeps::copiesAsDecodersWrite_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("beacons"); // the records' strict values, in order
    QTest::addColumn<QString>("grouping");

    const QString third = over(withTime(kGood, QStringLiteral("a1b2c3")), 44, QStringLiteral("fedcba987654"));
    const QString stream = kGood + u' ' + kOther + u' ' + third;
    QTest::addRow("three beacons on one line")
        << QStringList{stream} << QStringList{kGood, kOther, third} << "1|1|1";
    QTest::addRow("beacons apart by marks") << QStringList{kGood + " = " + kOther.toUpper() + " + " + third}
                                            << QStringList{kGood, kOther, third} << "1|1|1";
    QTest::addRow("wrapped at 80 columns")
        << QStringList{kGood.left(80), kGood.mid(80)} << QStringList{kGood} << "1-2";
    QTest::addRow("wrapped at a blank, which the line end took")
        << QStringList{kGood.left(55), kGood.mid(56)} << QStringList{kGood} << "1-2";
    QTest::addRow("over three lines")
        << QStringList{kGood.left(30), kGood.mid(30, 40), kGood.mid(70)} << QStringList{kGood} << "1-3";
    // Its first two tags heard damaged, no beacon is seen to start on the line: it still goes on.
    const QString startsDamaged = over(over(kGood, 1, "krv1"), 13, "orx2");
    QTest::addRow("wrapped at 80 columns, its first tags heard damaged")
        << QStringList{startsDamaged.left(80), startsDamaged.mid(80)} << QStringList{startsDamaged} << "1-2";
    QTest::addRow("wrapped at 80 columns, its tail over two more lines")
        << QStringList{kGood.left(80), kGood.mid(80, 13), kGood.mid(93)} << QStringList{kGood} << "1-3";
    QStringList wrapped;
    for (qsizetype at = 0; at < stream.size(); at += 80)
        wrapped << stream.mid(at, 80);
    QTest::addRow("a stream wrapped at 80 columns")
        << wrapped << QStringList{kGood, kOther, third} << "1-2|2-4|4-5";
    QTest::addRow("notes around the beacons")
        << QStringList{"# Orvik pass 2026-12-08 19:53", kGood.left(80), kGood.mid(80), "73 de DL0XYZ", kOther}
        << QStringList{kGood, kOther} << "2-3|5";
    const QString noFirstTag = over(kOther, 1, "xxxx");
    QTest::addRow("a beacon whose first tag was lost, in a stream")
        << QStringList{kGood + u' ' + noFirstTag + u' ' + third} << QStringList{kGood, third} << "1|1";
    QTest::addRow("a beacon cut short, then chatter")
        << QStringList{kGood.left(70), "73 tu", kOther} << QStringList{kOther} << "3";
    // An "orv2" there would start a beacon that lost its "orv1" inside this one's tail.
    const QString tagInTail = over(kGood, 106, "orv2");
    QTest::addRow("wrapped in its tail, which holds another frame's tag")
        << QStringList{tagInTail.left(90), tagInTail.mid(90)} << QStringList{tagInTail} << "1-2";
    QTest::addRow("wrapped in its last fields, then marks before the next beacon")
        << QStringList{kGood.left(80), kGood.mid(80) + "  =  " + kOther} << QStringList{kGood, kOther}
        << "1-2|2";
    const QString tagGained = insertAt(kGood, 76, "r");
    QTest::addRow("wrapped before its last tag, heard with a character gained")
        << QStringList{tagGained.left(70), tagGained.mid(70)} << QStringList{kGood} << "1-2";
    const QString lastTagDamaged = over(kGood, 75, "orw6");
    QTest::addRow("wrapped after its last tag, heard with a character wrong")
        << QStringList{lastTagDamaged.left(82), lastTagDamaged.mid(82)} << QStringList{kGood} << "1-2";
}

// What the first record makes of frame 6 of kGood: "written" when every field holds kGood's
// value, "left out" when none is written, "wrong" when one holds another value.
QString lastFrame(const std::vector<orvik::RecoveredRecord>& records)
{
    if (records.empty())
        return QStringLiteral("no record");
    orvik::Record truth{};
    orvik::decodeBeaconLine(view(kGood), truth);
    int written = 0;
    int channels = 0;
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        if (orvik::kChannels[std::size_t(c)].frame != 6)
            continue;
        ++channels;
        if (!records.front().written(c))
            continue;
        if (records.front().values[std::size_t(c)] != truth[std::size_t(c)])
            return QStringLiteral("wrong");
        ++written;
    }
    return written == channels ? QStringLiteral("written")
           : written == 0      ? QStringLiteral("left out")
                               : QStringLiteral("partly");
}

void TestRecoverKeeps::copiesAsDecodersWrite()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, beacons);
    QFETCH(QString, grouping);
    std::vector<orvik::RecoveredRecord> records = recovered(lines);
    // A beacon cut short keeps what it holds: only records with every value are compared.
    std::erase_if(records, [](const orvik::RecoveredRecord& r) { return r.leftOutMask() != 0; });
    QCOMPARE(::grouping(records), grouping);
    QCOMPARE(records.size(), std::size_t(beacons.size()));
    for (std::size_t i = 0; i < records.size(); ++i)
        QVERIFY2(keepsStrictValues(records[i], beacons[qsizetype(i)]), qPrintable(beacons[qsizetype(i)]));
}

// Where a decoder writes on after a beacon, the length of its last frame tells nothing: copies
// that hold the fields and what follows them alike in place confirm each other.
void TestRecoverKeeps::lastFrameInAStream_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("lastFrame");

    const QString third = withTime(kOther, QStringLiteral("a1b2c3"));
    QTest::addRow("two copies, each followed by a decoder's word")
        << QStringList{kGood + " bt " + kOther, kGood.toUpper() + " k " + third} << "written";
    QTest::addRow("a copy whose tail lost a character, and one followed by a word")
        << QStringList{dropAt(kGood, 100), kGood + " de " + kOther} << "written";
    QTest::addRow("three copies, two followed by words, one that lost a field character")
        << QStringList{kGood + " bt " + kOther, dropAt(kGood, 84), kGood.toUpper() + " k " + third}
        << "written";
    // One of them miscopied, or both shifted alike: no telling which.
    QTest::addRow("two copies that differ in a field")
        << QStringList{kGood + " bt " + kOther, over(kGood, 82, "9") + " k " + third} << "left out";
    QTest::addRow("two copies that gained a character at one place")
        << QStringList{insertAt(kGood, 81, "4") + " bt " + kOther, insertAt(kGood, 81, " ") + " k " + third}
        << "left out";
    QTest::addRow("copies whose last tag was heard with a character wrong")
        << QStringList{over(kGood, 75, "orw6") + " bt " + kOther, over(kGood, 75, "orv7") + " k " + third}
        << "left out";
    // Separators that differ, so that none is the line's to tell one lost.
    QString mixed = kGood;
    for (const auto& [pos, sep] : {
             std::pair{5,  u'.'},
             {12, u'-'},
             {17, u'/'},
             {26, u'x'},
             {31, u'.'},
             {38, u'-'},
             {43, u'/'},
             {56, u'k'},
             {61, u'='},
             {74, u'.'}
    })
        mixed[pos - 1] = sep;
    // A wrap that took the blank after the tag, or none that took nothing: both read alike either
    // way, unless the separator between the other fields tells.
    QTest::addRow("copies wrapped alike after the last tag, their separators mixed")
        << QStringList{mixed.left(78), mixed.mid(79) + " k", mixed.left(78).toUpper(), mixed.mid(79) + " bt"}
        << "left out";
    QTest::addRow("copies wrapped alike after the last tag, blanks between their fields")
        << QStringList{kGood.left(78), kGood.mid(79) + " k", kGood.left(78).toUpper(), kGood.mid(79) + " bt"}
        << "written";
    // Of its length only with a character gained in the tail: the fields may stand one early.
    const QString longerTail = insertAt(mixed, 100, "x");
    QTest::addRow("a lone copy whose wrap took the blank after the last tag, its tail one longer")
        << QStringList{longerTail.left(78), longerTail.mid(79)} << "left out";
    // A line of chatter after a copy cut short in its last fields takes no field's place.
    QTest::addRow("a lone copy cut short in its last fields, then chatter")
        << QStringList{kGood.left(85), "73 tu", kOther} << "left out";
    QTest::addRow("a lone copy wrapped after the last tag, its blank kept")
        << QStringList{kGood.left(78), kGood.mid(78)} << "written";
    QTest::addRow("a copy wrapped after the last tag, and one not wrapped")
        << QStringList{kGood.left(78), kGood.mid(79) + " k", kGood + " bt"} << "written";
    // Of its length only as a word makes up two characters lost: it and a copy of its length
    // that reads otherwise agree as much, and neither places the third.
    const QString madeUp = dropAt(dropAt(kGood, 100), 84) + " k ";
    QTest::addRow("a copy of its length by a decoder's word, one on a line, one followed by a word")
        << QStringList{madeUp + third, kGood, kGood.toUpper() + " bt " + kOther} << "written";
    // A hex digit between every two fields, and a tail of marks: the digit the line writes
    // everywhere else stands before the last fields, and a mark after them.
    QString sevens = kGood;
    for (const int pos : {5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79})
        sevens[pos - 1] = u'7';
    sevens.replace(89, 31, QString(31, u'.'));
    QTest::addRow("a lone copy with a hex digit between its fields, then another")
        << QStringList{sevens + " " + kOther} << "written";
    QString fives = sevens;
    for (const int pos : {5, 12, 17, 26, 31, 38, 43, 56, 61, 74})
        fives[pos - 1] = u'5';
    QTest::addRow("a lone copy whose last separator is a hex digit none of the others is")
        << QStringList{fives + " " + kOther} << "left out";
    QTest::addRow("a lone copy with a hex digit between its fields, a field character lost")
        << QStringList{dropAt(sevens, 84) + " " + kOther} << "left out";
    const QString frame3Short = dropAt(kGood, 34);
    QTest::addRow("a copy wrapped in a damaged frame and in its last, and one not wrapped")
        << QStringList{frame3Short.left(30), frame3Short.mid(30, 52), frame3Short.mid(82) + " k",
                       kGood + " bt"}
        << "written";
    QTest::addRow("a copy wrapped after the last tag, and one wrapped two characters past its fields")
        << QStringList{kGood.left(78), kGood.mid(79) + " k", kGood.left(91), kGood.mid(91) + " bt"}
        << "written";
}

void TestRecoverKeeps::lastFrameInAStream()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, lastFrame);
    const std::vector<orvik::RecoveredRecord> records = recovered(lines);
    QCOMPARE(::lastFrame(records), lastFrame);
    QCOMPARE(records.front().values[0], 123456.0);
    for (const orvik::RecoveredRecord& r : records)
        QVERIFY(lineReadsAsRecord(r));
}

QTEST_APPLESS_MAIN(TestRecoverKeeps)
#include "tst_recoverkeeps.moc"
