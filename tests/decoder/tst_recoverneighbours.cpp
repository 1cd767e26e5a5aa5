// SPDX-License-Identifier: GPL-3.0-or-later
// Neighbouring beacons that look alike keep a record each, and what could be either's is left
// out of both.
#include "beacontestdata.h"
#include "decoder/recover.h"

#include <QTest>

using namespace beacontest;

class TestRecoverNeighbours : public QObject {
    Q_OBJECT
private slots:
    void neighboursStandApart_data();
    void neighboursStandApart();
};

void TestRecoverNeighbours::neighboursStandApart_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QString>("times"); // each record's on-board time, "-" where left out

    // 64 s later the battery has sagged and the panels have turned a little.
    const QString next = over(over(withTime(kGood, "01e280"), 32, "9f"), 62, "6d6e");
    const QString alike = withTime(kGood, "01e280");
    const QString day = over(over(withTime(kGood, "02e240"), 32, "9f"), 62, "6d6e");
    QTest::addRow("64 s apart") << QStringList{kGood, next} << "1|2"
                                << "123456 123520";
    // Each could be a miscopy of the other: the time they disagree on is left out of both.
    QTest::addRow("64 s apart, the rest alike") << QStringList{kGood, alike} << "1|2"
                                                << "- -";
    QTest::addRow("18 hours apart") << QStringList{kGood, day} << "1|2"
                                    << "123456 188992";
    QTest::addRow("A, A, B") << QStringList{kGood, kGood.toUpper(), next} << "1,2|3"
                             << "123456 123520";
    // A lone copy 64 s on, the rest alike, outvoted: its time could be a miscopy.
    QTest::addRow("A, A, then B alike") << QStringList{kGood, kGood, alike} << "1,2|3"
                                        << "123456 -";
    // A line read where it stands keeps its own time, however alike it is to a beacon far away.
    QTest::addRow("A, A, then a line far in time, alike but in a field")
        << QStringList{kGood, kGood.toUpper(), over(withTime(kGood, "1e2401"), 32, "9f")} << "1,2|3"
        << "123456 1975297";
    // Far in time from each other and alike in the rest, a damaged copy could have heard its
    // time shifted; a line the strict reading gives whole keeps its own.
    const QString farDamaged = dropAt(over(withTime(kGood, "1e2401"), 32, "9f"), 110);
    QTest::addRow("a line, then a damaged copy far in time, alike but in a field")
        << QStringList{kGood, farDamaged} << "1|2"
        << "123456 -";
    QTest::addRow("two damaged copies far in time, alike but in a field")
        << QStringList{dropAt(kGood, 110), farDamaged} << "1|2"
        << "- -";
    QTest::addRow("a copy whose time lost its order")
        << QStringList{kGood, kGood.toUpper(), withTime(kGood, "012e40")} << "1,2,3"
        << "123456";
    QTest::addRow("a copy whose time is unreadable between two alike")
        << QStringList{kGood, alike, withTime(kGood, "01e2z0")} << "1|2|3"
        << "- - -";
    // Its time's last digits are in doubt, so it could be a neighbour's copy: it stands apart,
    // and the time of the first, which only it could have confirmed, is one copy's word alone.
    QTest::addRow("a copy whose time is unreadable, no neighbour")
        << QStringList{kGood, kOther, withTime(kGood, "01e2z0")} << "1|2|3"
        << "- 123516 -";
    // A time that lost a character is placed against one read whole, whichever came first; the
    // digit it lost is then one copy's word alone.
    const QString lostOne = dropAt(kGood, 7);
    QTest::addRow("a time read whole, then one that lost a character") << QStringList{kGood, lostOne} << "1,2"
                                                                       << "-";
    QTest::addRow("a time that lost a character, then one read whole") << QStringList{lostOne, kGood} << "1,2"
                                                                       << "-";
    QTest::addRow("a time that lost a character, then two read whole")
        << QStringList{lostOne.toUpper(), kGood, kGood} << "1,2,3"
        << "123456";
    // "01e2400": without its last "0" it is this beacon's time, without its "4" the time of the
    // beacon 64 s before, whose copy it could be.
    const QString gainedOne = insertAt(kGood, 11, "0");
    QTest::addRow("a time that gained a character, read two ways") << QStringList{kGood, gainedOne} << "1|2"
                                                                   << "- -";
    QTest::addRow("a time that gained a character, read two ways, first")
        << QStringList{gainedOne, kGood} << "1|2"
        << "- -";
    // "01e2440" reads "01e244" too, but "001e240" and "01e2x40" read this beacon's time alone.
    QTest::addRow("a time that gained a digit, read three ways")
        << QStringList{insertAt(kGood, 10, "4"), kGood} << "1|2"
        << "- -";
    QTest::addRow("a time that gained a digit, read one way")
        << QStringList{insertAt(kGood, 6, "0"), kGood} << "1,2"
        << "123456";
    QTest::addRow("a time that gained a letter")
        << QStringList{kGood.toUpper(), insertAt(kGood, 10, "x")} << "1,2"
        << "123456";
    // Beacons lie further apart than the 16 s the last digit spans: where two times read where
    // they stand agree but for a last digit one of them did not hear, they are one beacon's.
    const QString lastUnheard = withTime(kGood, "01e24z").toUpper();
    QTest::addRow("a time whose last digit was not heard")
        << QStringList{kGood, kGood.toUpper(), lastUnheard} << "1,2,3"
        << "123456";
    QTest::addRow("a time whose last digit was not heard, with a neighbour alike")
        << QStringList{kGood, kGood.toUpper(), alike, lastUnheard} << "1,2,4|3"
        << "123456 -";
    QTest::addRow("a time whose digit before the last was not heard, with a neighbour alike")
        << QStringList{kGood, alike, withTime(kGood, "01e2z0")} << "1|2|3"
        << "- - -";
    // Every frame but the time's lost a character: the copy holds its time alone, which puts
    // nothing else in doubt.
    const QString timeAlone = dropAt(dropAt(dropAt(dropAt(dropAt(kGood, 84), 66), 50), 34), 20);
    QTest::addRow("a copy that holds its time alone, then one read whole")
        << QStringList{timeAlone, kGood} << "1,2"
        << "123456";
    QTest::addRow("a copy that holds its time alone, one whose last digit was not heard, one read whole")
        << QStringList{timeAlone, lastUnheard, kGood} << "1,2,3"
        << "123456";
    QTest::addRow("a copy that holds its time alone, and a neighbour 64 s on")
        << QStringList{timeAlone, next} << "1|2"
        << "123456 123520";
    QTest::addRow("the same time, other telemetry") << QStringList{kGood, withTime(kOther, "01e240")} << "1|2"
                                                    << "123456 123456";
}

void TestRecoverNeighbours::neighboursStandApart()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, grouping);
    QFETCH(QString, times);
    const std::vector<orvik::RecoveredRecord> records = recovered(lines);
    QCOMPARE(::grouping(records), grouping);
    QStringList got;
    for (const orvik::RecoveredRecord& r : records)
        got << (r.written(0) ? QString::number(r.values[0], 'f', 0) : QStringLiteral("-"));
    QCOMPARE(got.join(u' '), times);
    for (const orvik::RecoveredRecord& r : records) {
        if (!r.written(0) && r.copies.size() == 1)
            QVERIFY(r.lookalike.line != 0);
        QVERIFY(lineReadsAsRecord(r));
    }
}

QTEST_APPLESS_MAIN(TestRecoverNeighbours)
#include "tst_recoverneighbours.moc"
