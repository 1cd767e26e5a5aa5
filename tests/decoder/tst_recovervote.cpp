// SPDX-License-Identifier: GPL-3.0-or-later
// What the vote writes: only what a line holds, no echo of another copy, no last frame read
// shifted, and of a lone copy that could be a neighbour's, only what the others hold too.
#include "beacontestdata.h"
#include "decoder/beacon.h"
#include "decoder/recover.h"

#include <QTest>

using namespace beacontest;

class TestRecoverVote : public QObject {
    Q_OBJECT
private slots:
    void voteWritesOnlyWhatALineHolds_data();
    void voteWritesOnlyWhatALineHolds();
    void lastFrameEndingInABlank_data();
    void lastFrameEndingInABlank();
    void lookalikesWriteOnlyWhatTheOthersHold_data();
    void lookalikesWriteOnlyWhatTheOthersHold();
};

void TestRecoverVote::voteWritesOnlyWhatALineHolds_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("leftOut"); // channels left out
    QTest::addColumn<int>("changes");

    QStringList six;
    for (const char* field : {"12", "12", "34", "34", "1c", "d4"})
        six << over(kGood, 36, QString::fromLatin1(field));
    QTest::addRow("six lines voting 12, 12, 34, 34, 1c, d4") << six << "13" << 0;
    // The README's pair: the first copy lost a character of frame 3, the second heard "A0C800"
    // for "A0C880" and "9" for "8": the first copy's "a0c80" fits either, so it is no vote.
    QTest::addRow("an echo of the other copy")
        << QStringList{over(dropAt(kGood, 36), 24, "80"),
                       over(kGood, 24, "90").toUpper().replace(35, 2, "00")}
        << "10 13" << 0;
    QTest::addRow("three copies, two agree") << QStringList{kGood, over(kGood, 36, "9"), kGood} << "" << 1;
}

void TestRecoverVote::voteWritesOnlyWhatALineHolds()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, leftOut);
    QFETCH(int, changes);
    const std::vector<orvik::RecoveredRecord> records = recovered(lines);
    QCOMPARE(records.size(), std::size_t(1));
    const orvik::RecoveredRecord& r = records.front();
    QStringList out;
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        if (!r.written(c))
            out << QString::number(c);
    }
    QCOMPARE(out.join(u' '), leftOut);
    QCOMPARE(int(r.changes.size()), changes);
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        bool held = !r.written(c);
        for (const QString& l : lines) {
            if (orvik::isBeaconLine(view(l))) {
                orvik::Record v{};
                orvik::decodeBeaconLine(view(l), v);
                held = held || v[std::size_t(c)] == r.values[std::size_t(c)];
            }
        }
        QVERIFY2(held, qPrintable(QString::number(c)));
    }
}

// A last frame that lost a character and ends in a blank, the one before the next beacon or one
// heard twice, is of its length: read where it stands, its fields would be shifted.
void TestRecoverVote::lastFrameEndingInABlank_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("frame6"); // whether the first record writes frame 6's values

    const QString lost = dropAt(kGood, 85);
    const QString next = u' ' + kOther;
    QTest::addRow("lone, before the next beacon") << QStringList{lost + next} << false;
    QTest::addRow("lone, a blank heard twice at its end") << QStringList{lost + "  "} << false;
    // No copy reads the frame where it stands: the others gained a letter after the tag, and
    // a blank in the tail.
    QTest::addRow("with two that gained a character")
        << QStringList{lost + next, insertAt(kGood, 80, "x") + next, insertAt(kGood, 100, " ") + next}
        << false;
    // A blank heard twice after the tag, where the copy writes one between all its fields, is
    // a gap heard twice: that copy reads the fields one place on.
    QTest::addRow("with two that gained a blank")
        << QStringList{lost + next, insertAt(kGood, 79, " ") + next, insertAt(kGood, 100, " ") + next}
        << true;
    // And a gap dropped, where a hex digit follows the tag.
    QTest::addRow("with one that dropped the gap after the tag")
        << QStringList{lost + next, dropAt(kGood, 79) + next, insertAt(kGood, 100, " ") + next} << true;
    QTest::addRow("with two read whole")
        << QStringList{lost + next, kGood + next, kGood.toUpper() + next} << true;
    // The same text twice is no second copy of where the frame ends.
    QTest::addRow("the same text twice") << QStringList{lost + next, lost + next} << false;
    // Two copies whose tails lost a character, and that differ elsewhere, read the fields alike.
    const QString tailLost = dropAt(kGood, 100);
    QTest::addRow("two in doubt, alike")
        << QStringList{tailLost + next, over(tailLost, 40, "x") + next} << true;
    QTest::addRow("two in doubt, not alike") << QStringList{tailLost + next, lost + next} << false;
    // A tail character right after the fields heard otherwise moves no field.
    QTest::addRow("two in doubt, alike but in the tail after the fields")
        << QStringList{tailLost + next, over(tailLost, 90, "7") + next} << true;
    QTest::addRow("two in doubt, alike but in two tail characters after the fields")
        << QStringList{tailLost + next, over(tailLost, 90, "77") + next} << false;
    // A tail that begins with a mark shows where the fields end, whatever stands after them.
    const QString marked = over(over(kGood, 90, "."), 120, " ");
    QTest::addRow("fields bounded by marks") << QStringList{dropAt(marked, 14) + next} << true;
}

void TestRecoverVote::lastFrameEndingInABlank()
{
    QFETCH(QStringList, lines);
    QFETCH(bool, frame6);
    const std::vector<orvik::RecoveredRecord> records = recovered(lines);
    QVERIFY(!records.empty());
    const orvik::RecoveredRecord& r = records.front();
    orvik::Record good{};
    orvik::decodeBeaconLine(view(kGood), good);
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        if (r.written(c))
            QVERIFY2(r.values[std::size_t(c)] == good[std::size_t(c)], qPrintable(QString::number(c)));
    }
    for (int c = 26; c <= 30; ++c)
        QCOMPARE(r.written(c), frame6);
}

// Two copies of a beacon, then a lone copy that could be a third with miscopies, or a neighbour.
void TestRecoverVote::lookalikesWriteOnlyWhatTheOthersHold_data()
{
    QTest::addColumn<QString>("lone");
    QTest::addColumn<QString>("leftOut"); // channels the lone copy's record leaves out

    // 64 s later, battery and panels moved; its time heard as the earlier beacon's.
    const QString next = over(over(kGood, 32, "9f"), 62, "6d6e");
    QTest::addRow("a neighbour heard with this one's time") << next << "0 11 20 21";
    // Frame 5 lost its third character and gained an "a" at its end: read where it stands, it
    // is shifted; its time is one digit off.
    QTest::addRow("a shifted frame, a time one digit off")
        << withTime(over(kGood, 62, "6ef70717273a"), "01e2c0") << "0 21 22 23 24 25";
    // Frame 5 gained an "x" and heard its last "3" as "4": dropping the "x" places the rest,
    // and the "4" is the lone copy's word alone.
    QTest::addRow("a frame placed alone, a time one digit off")
        << withTime(over(insertAt(kGood, 68, "x"), 74, "4"), "01e2c0") << "0 25";
}

void TestRecoverVote::lookalikesWriteOnlyWhatTheOthersHold()
{
    QFETCH(QString, lone);
    QFETCH(QString, leftOut);
    const std::vector<orvik::RecoveredRecord> records = recovered({kGood, kGood.toUpper(), lone});
    QCOMPARE(::grouping(records), QStringLiteral("1,2|3"));
    const orvik::RecoveredRecord& r = records.back();
    QCOMPARE(r.lookalike.line, std::uint64_t(1));
    orvik::Record good{};
    orvik::decodeBeaconLine(view(kGood), good);
    QStringList out;
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        if (!r.written(c))
            out << QString::number(c);
        else
            QVERIFY2(r.values[std::size_t(c)] == good[std::size_t(c)], qPrintable(QString::number(c)));
    }
    QCOMPARE(out.join(u' '), leftOut);
    for (const orvik::RecoveredRecord& each : records)
        QVERIFY(lineReadsAsRecord(each));
}

QTEST_APPLESS_MAIN(TestRecoverVote)
#include "tst_recovervote.moc"
