// SPDX-License-Identifier: GPL-3.0-or-later
// Copies as a season's logs hold them, several stations' with a pass's neighbouring beacons:
// no record writes a value its beacon did not send, none takes a copy of another beacon, and a
// line the strict reading takes keeps what it holds.
#include "beacontestdata.h"
#include "decoder/recover.h"

#include <QTest>

using namespace beacontest;

class TestRecoverSeason : public QObject {
    Q_OBJECT
private slots:
    void copiesOfASeason_data();
    void copiesOfASeason();
};

void TestRecoverSeason::copiesOfASeason_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("sent"); // the beacon each line is a copy of
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QString>("timed"); // the records, from 1, that write their on-board time

    // Two beacons 78 minutes apart, alike in three frames: a copy whose time lost a character,
    // told apart from the second beacon's line, and a damaged copy of that beacon that fits
    // both. It joins neither: the two were told apart.
    const QString b90 = QStringLiteral("orv1 b51e37 orv2 01280445 orv3 a20882 orv4 000000000000 orv5 "
                                       "787c8085898d orv6 70c50578400000000000000000000000000000000");
    const QString b247 = QStringLiteral("orv1 b701e7 orv2 03280c4e orv3 a20882 orv4 000000000000 orv5 "
                                        "787c8085898d orv6 6ec50578490000000000000000000000000000000");
    QTest::addRow("a copy that fits two beacons told apart")
        << QStringList{QStringLiteral(
                           "orv1 b51e7 orv2 01280445 orv3 a20882 olv4 000000000000 orv 787c8085898d "
                           "orv6 70c50578400000000000009000000000000000000"),
                       QStringLiteral(
                           "ORV1 B701E7 ORV2 03280C4E ORV3 A20882 ORV4 000000000000 ORV5 787C8085898D "
                           "ORV6 6EC50578491000000000000000000000000000000"),
                       QStringLiteral(
                           "ORV1 B701E7 ORV2 03280C4E ORV3 A2088 2 ORV4 000000000000 ORV5 787C8085898D "
                           "ORV6  6EC505784900000000000000000000000000000000")}
        << QStringList{b90, b247, b247} << "1|2|3"
        << "2 3";
    // Far in time from a damaged copy alike in four frames: a line the strict reading takes
    // keeps its own time, not that time moved by a place, and all it holds in hex digits.
    QTest::addRow("a line the strict reading takes, far in time from a damaged copy")
        << QStringList{QStringLiteral(
                           "orv1 bb4eb4 orv2 2a28204b mlv3 a10881 orv4 000000000000 orv5 777b7f4888c "
                           "orv6 6fc40577460000000000000000000000000000000"),
                       QStringLiteral(
                           "ORV1 BDC94D ORV2 50282C4A ORV3 A10880 ORV4 000000000000 ORV5 777B7FZ3888C "
                           "ORV6 6IC40576450000000000000000000000000000000")}
        << QStringList{QStringLiteral(
                           "orv1 bb4eb4 orv2 2a28204b orv3 a10881 orv4 000000000000 orv5 777b7f84888c "
                           "orv6 6fc40577460000000000000000000000000000000"),
                       QStringLiteral(
                           "orv1 bdc94d orv2 50282c4a orv3 a10880 orv4 000000000000 orv5 777b7f83888c "
                           "orv6 6dc40576450000000000000000000000000000000")}
        << "1|2"
        << "1 2";
    // A copy whose time and one frame hold miscopies, alike to a clean line in the rest: the
    // line differs from it in more than miscopies, so only where it holds otherwise is in doubt.
    const QString unlike = over(withTime(kGood, "z1e2z0"), 18, "1a2b");
    QTest::addRow("a clean line after a lone copy unlike it")
        << QStringList{unlike, kGood} << QStringList{over(withTime(kGood, "11e230"), 18, "1a2b"), kGood}
        << "1|2"
        << "2";
    // Two decoders doubled the word gap after the last tag alike: read in place, their fields
    // would stand one place on.
    const QString b787 = QStringLiteral("orv1 d29f65 orv2 baaa864a orv3 a4c881 orv4 001c3c200000 orv5 "
                                        "777b7f84888c orv6 6dc79677450000000000000000000000000000000");
    QTest::addRow("a gap heard twice after the last tag, in two copies")
        << QStringList{QStringLiteral(
                           "orv1 d29f65 orv baaa864a orv3 a4c881 orv4 001c3c200000 orv5 777b7f84888c "
                           "orv6 6dc796774500000000000000010000900000000000"),
                       QStringLiteral(
                           "ORV1 D29F65 ORV2 ZAAA864A ORV3 A4C881  ORV4 001C3C200000 ORV5 777B7F84888C "
                           "ORV6  6DC79677450000000000000000000000000000000"),
                       QStringLiteral("ORV1 D29F65 ORV2 BAAA864A ORV3 A4C88 1 ORV4 001C3C200000 "
                                      "ORV5 777B7F84888CORV6  6DC796774500000000000000000000000000000000")}
        << QStringList{b787, b787, b787} << "1,2,3"
        << "1";
    // And two dropped the gap alike.
    const QString b4287 = QStringLiteral("orv1 5bff61 orv2 ff2ce443 orv3 9d0879 orv4 000000000000 orv5 "
                                         "7074787c8185 orv6 67bf056f3d0000000000000000000000000000000");
    QTest::addRow("no gap heard after the last tag, in two copies")
        << QStringList{QStringLiteral(
                           "ORV1 5BFF61 ORV2 FF2CE443 ORV3 9D0879 ORV4 000000000000 ORV5 7074787C8185 "
                           "ORV667BF156F3D000000000000000010000000000000 0"),
                       QStringLiteral(
                           "orv1 5bff61 orv2 ff2ce443 orv3 9d0879 orv4 000000000000 orv5 7074787c8185 "
                           "orv667bf056f3d0000000000000000000000010000000")}
        << QStringList{b4287, b4287} << "1,2"
        << "1";
    // A damaged copy a digit apart in time that differs in four field characters, one more
    // than most copies hold miscopied: it could be the other's copy, so what the two disagree
    // on is left out of both.
    const QString b234 = QStringLiteral("orv1 bdb6f5 orv2 15a82b41 orv3 a5c882 orv4 133b28000000 orv5 "
                                        "787c8085898d orv6 6ec896783c0000000000000000000000000000000");
    QTest::addRow("two damaged copies a digit apart, four characters unlike")
        << QStringList{QStringLiteral(
                           "orv1 bdb6f5 orv2 j5a82b41 orv3 a5c782 orv4 133b28000000 orv5 787c8085808d "
                           "orv6 6ec896783c0000000000000000000000000000010"),
                       QStringLiteral(
                           "ORV1 BDB5F5 ORV2 5A82B41 ORV3 A5C881 ORV4 133B28000000 ORV5 787C8085898D "
                           "ORV6 BEC896783C0000000000000000000000000000000")}
        << QStringList{b234, b234} << "1|2"
        << "";
}

void TestRecoverSeason::copiesOfASeason()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, sent);
    QFETCH(QString, grouping);
    QFETCH(QString, timed);
    const std::vector<orvik::RecoveredRecord> records = recovered(lines);
    QCOMPARE(::grouping(records), grouping);
    QStringList withTime;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const orvik::RecoveredRecord& r = records[i];
        QVERIFY(lineReadsAsRecord(r));
        if (r.written(0))
            withTime << QString::number(i + 1);
        orvik::Record truth{};
        orvik::decodeBeaconLine(view(sent[qsizetype(r.copies.front().line - 1)]), truth);
        for (int c = 0; c < orvik::kChannelCount; ++c) {
            if (r.written(c))
                QVERIFY2(r.values[std::size_t(c)] == truth[std::size_t(c)],
                         qPrintable(QStringLiteral("record %1, channel %2").arg(i + 1).arg(c)));
        }
    }
    QCOMPARE(withTime.join(u' '), timed);
}

QTEST_APPLESS_MAIN(TestRecoverSeason)
#include "tst_recoverseason.moc"
