// SPDX-License-Identifier: GPL-3.0-or-later
// Recovering beacons from damaged copies: what is certain is written, the rest left out.
#include "beacontestdata.h"
#include "decoder/recover.h"

#include <QTest>
#include <bit>
#include <cmath>

using orvik::LeftOut;

namespace {

using namespace beacontest;

// "channel:reason" for every channel left out, reasons as numbers.
QString leftOutList(const orvik::RecoveredRecord& r)
{
    QStringList out;
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        if (!r.written(c))
            out << QStringLiteral("%1:%2").arg(c).arg(int(r.leftOut[std::size_t(c)]));
    }
    return out.join(u' ');
}

// "copy:position:from>to" for every character a vote changed.
QString changeList(const orvik::RecoveredRecord& r)
{
    QStringList out;
    for (const orvik::VoteChange& c : r.changes)
        out << QStringLiteral("%1:%2:%3>%4").arg(c.copy).arg(c.position).arg(QChar(c.from)).arg(QChar(c.to));
    return out.join(u' ');
}

QString channels(int first, int last, LeftOut reason)
{
    QStringList out;
    for (int c = first; c <= last; ++c)
        out << QStringLiteral("%1:%2").arg(c).arg(int(reason));
    return out.join(u' ');
}

// A record as text, down to the bits of its values.
QString described(const orvik::RecoveredRecord& r)
{
    QStringList sources;
    for (const orvik::CopySource& s : r.copies)
        sources << QString::number(s.line);
    QStringList bits;
    for (const double v : r.values)
        bits << QString::number(std::bit_cast<std::uint64_t>(v), 16);
    return sources.join(u',') + u'|' + leftOutList(r) + u'|' + changeList(r) + u'|' +
           QString::fromStdString(r.line) + u'|' + bits.join(u' ');
}

// Every record of the lines, given as bytes (which a clean line takes a shorter way) or as
// UTF-16 text, taken as each line comes or all at the end.
QStringList recordsOf(const QStringList& lines, std::size_t window, bool bytes, bool numbers,
                      bool takeEach = true)
{
    const auto values = numbers ? orvik::Recoverer::Values::Numbers : orvik::Recoverer::Values::InLine;
    orvik::Recoverer recoverer(window);
    orvik::RecoveredRecord r;
    QStringList out;
    std::uint64_t number = 0;
    for (const QString& l : lines) {
        const QByteArray latin = l.toLatin1();
        if (bytes)
            recoverer.add(std::string_view(latin.constData(), std::size_t(latin.size())), {0, ++number});
        else
            recoverer.add(view(l), {0, ++number});
        while (takeEach && recoverer.take(r, orvik::Recoverer::Ready::Passed, values))
            out << described(r);
    }
    while (recoverer.take(r, orvik::Recoverer::Ready::All, values))
        out << described(r);
    return out;
}

} // namespace

class TestRecover : public QObject {
    Q_OBJECT
private slots:
    void recovers_data();
    void recovers();
    void groupsCopiesOfOneBeacon_data();
    void groupsCopiesOfOneBeacon();
    void bytesReadAsText_data();
    void bytesReadAsText();
    void loneCopyAmongLookalikes_data();
    void loneCopyAmongLookalikes();
};

void TestRecover::recovers_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("truth");   // the beacon whose strict values the written ones equal
    QTest::addColumn<QString>("leftOut"); // channel:reason of every channel left out
    QTest::addColumn<QString>("changes"); // copy:position:from>to
    const auto damaged = [](int first, int last) { return channels(first, last, LeftOut::FrameDamaged); };

    QTest::addRow("perfect line") << QStringList{kGood} << kGood << ""
                                  << "";
    QTest::addRow("perfect line, other values") << QStringList{kOther} << kOther << ""
                                                << "";
    QTest::addRow("upper-case copy") << QStringList{kOther.toUpper()} << kOther << ""
                                     << "";
    QTest::addRow("trailing blanks") << QStringList{kGood + "  "} << kGood << ""
                                     << "";
    QTest::addRow("dropped character in frame 3 keeps the other frames")
        << QStringList{dropAt(kGood, 33)} << kGood << damaged(11, 13) << "";
    QTest::addRow("doubled character in frame 5")
        << QStringList{insertAt(kGood, 66, "7")} << kGood << damaged(20, 25) << "";
    // Any character may stand between the fields: a lost one leaves the fields' end in doubt.
    QTest::addRow("lost blank after the fields of frame 2")
        << QStringList{dropAt(kGood, 26)} << kGood << damaged(1, 10) << "";
    QTest::addRow("lost blank before the fields of frame 4")
        << QStringList{dropAt(kGood, 43)} << kGood << damaged(14, 19) << "";
    QTest::addRow("character gained before the fields of frame 4, other separators")
        << QStringList{insertAt(over(kGood, 56, "/"), 43, "-")} << kGood << ""
        << "";
    QTest::addRow("added blanks in frame 3") << QStringList{insertAt(kGood, 31, "  ")} << kGood << ""
                                             << "";
    // A frame of the right length whose blanks moved is shifted: "555a0080" would be read. A
    // beacon line as it stands is read as the strict decoder reads it all the same.
    QTest::addRow("lost blank and doubled digit in frame 2 cancel out in length")
        << QStringList{insertAt(dropAt(dropAt(kGood, 17), 65), 20, "5")} << kGood
        << damaged(1, 10) + " " + damaged(20, 25) << "";
    QTest::addRow("a beacon line whose blanks moved is read where its fields lie")
        << QStringList{insertAt(dropAt(kGood, 17), 20, "5")} << insertAt(dropAt(kGood, 17), 20, "5") << ""
        << "";
    // The tail of frame 6 is not blanks, so a character lost there cannot be placed.
    QTest::addRow("character lost in frame 6's tail")
        << QStringList{dropAt(kGood, 100)} << kGood << damaged(26, 30) << "";
    QTest::addRow("frame tag heard with a character changed")
        << QStringList{over(kGood, 39, "orb4")} << kGood << ""
        << "";
    QTest::addRow("frame tag heard with a character lost") << QStringList{dropAt(kGood, 40)} << kGood << ""
                                                           << "";
    QTest::addRow("frame tag lost") << QStringList{over(kGood, 39, "xxxx")} << kGood
                                    << damaged(11, 13) + " " + channels(14, 19, LeftOut::FrameMissing) << "";
    // "orv5" where "orv4" stands is a tag heard with one character changed.
    QTest::addRow("one tag twice") << QStringList{over(kGood, 39, "orv5")} << kGood << ""
                                   << "";
    QTest::addRow("non-hex character in one copy")
        << QStringList{over(kGood, 36, "8z")} << kGood << channels(13, 13, LeftOut::NotHex) << "";

    QTest::addRow("three copies, each damaged in a different frame")
        << QStringList{dropAt(kGood, 20), insertAt(kGood, 50, "2"), over(kGood, 84, "fi")} << kGood << ""
        << "2:85:i>f";
    QTest::addRow("three copies, one with a hex digit heard wrong")
        << QStringList{kGood, over(kGood, 36, "9"), kGood} << kGood << ""
        << "1:36:9>8";
    QTest::addRow("two copies that disagree on a character")
        << QStringList{kGood, over(kGood, 36, "9")} << kGood << channels(13, 13, LeftOut::NoMajority) << "";
    QTest::addRow("non-hex character that wins the vote")
        << QStringList{over(kGood, 36, "z"), kGood, over(kGood, 36, "z")} << kGood
        << channels(13, 13, LeftOut::NotHex) << "";
    QTest::addRow("a copy with a dropped character still votes where it is aligned")
        << QStringList{kGood, dropAt(over(kGood, 63, "4"), 66), over(kGood, 62, "7")} << kGood << ""
        << "2:62:7>6 1:63:4>e";
    QTest::addRow("a letter lost in a run of it votes for neither place")
        << QStringList{kGood, dropAt(kGood, 35)} << kGood << channels(12, 13, LeftOut::NoMajority) << "";
    QTest::addRow("two copies of a damaged frame outvote nothing they do not hold")
        << QStringList{dropAt(kGood, 33), dropAt(kGood, 33)} << kGood << damaged(11, 13) << "";
}

void TestRecover::recovers()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, truth);
    QFETCH(QString, leftOut);
    QFETCH(QString, changes);
    std::vector<std::u16string_view> views;
    for (const QString& l : lines)
        views.push_back(view(l));
    const std::vector<orvik::RecoveredRecord> records = orvik::recoverLines(views);
    QCOMPARE(records.size(), std::size_t(1));
    const orvik::RecoveredRecord& r = records.front();
    QCOMPARE(r.copies.size(), std::size_t(lines.size()));
    QCOMPARE(leftOutList(r), leftOut);
    QCOMPARE(changeList(r), changes);
    orvik::Record expected{};
    orvik::decodeBeaconLine(view(truth), expected);
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        const double got = r.values[std::size_t(c)];
        if (r.written(c))
            QCOMPARE(std::bit_cast<std::uint64_t>(got),
                     std::bit_cast<std::uint64_t>(expected[std::size_t(c)]));
        else
            QVERIFY(std::isnan(got));
    }
    QVERIFY(orvik::isBeaconLine(std::string_view(r.line)));
}

void TestRecover::groupsCopiesOfOneBeacon_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QList<int>>("copies"); // lines of each record, counted from 1
    QTest::addColumn<int>("window");        // 0 for none

    QTest::addRow("two beacons") << QStringList{kGood, kOther} << QList<int>{1, 0, 2} << 0;
    QTest::addRow("copies apart") << QStringList{kGood, kOther, kGood.toUpper(), kOther}
                                  << QList<int>{1, 3, 0, 2, 4} << 0;
    // 01f240 is an hour after 01e240: the neighbour, or a miscopy; the two stand apart.
    QTest::addRow("time one digit off, the rest alike")
        << QStringList{kGood, over(kGood, 8, "f"), kOther} << QList<int>{1, 0, 2, 0, 3} << 0;
    QTest::addRow("same time, other fields: two beacons")
        << QStringList{kGood, over(kOther, 6, "01e240")} << QList<int>{1, 0, 2} << 0;
    // "0e240" placed against "01e240" agrees in every digit it holds; four others do not.
    QTest::addRow("a time that lost a digit, four other characters off: two beacons")
        << QStringList{kGood, dropAt(over(over(withTime(kGood, "02e240"), 32, "9f"), 62, "7d"), 7)}
        << QList<int>{1, 0, 2} << 0;
    QTest::addRow("time far off, same fields: two beacons")
        << QStringList{kGood, over(kGood, 6, "ffe2ff")} << QList<int>{1, 0, 2} << 0;
    QTest::addRow("lines that are no beacon at all are skipped")
        << QStringList{"hello", "orv1 and more", "", kGood, "orv3 orb4"} << QList<int>{4} << 0;
    // Records taken only at the end: a window closes all the same.
    QTest::addRow("a copy beyond the window")
        << QStringList{kGood, kOther, kGood} << QList<int>{1, 0, 2, 0, 3} << 1;
    QTest::addRow("a copy at the window's edge")
        << QStringList{kGood, kOther, kGood} << QList<int>{1, 3, 0, 2} << 2;
}

void TestRecover::groupsCopiesOfOneBeacon()
{
    QFETCH(QStringList, lines);
    QFETCH(QList<int>, copies);
    QFETCH(int, window);
    std::vector<std::u16string_view> views;
    for (const QString& l : lines)
        views.push_back(view(l));
    std::vector<orvik::RecoveredRecord> records = orvik::recoverLines(views);
    if (window > 0) {
        orvik::Recoverer recoverer{std::size_t(window)};
        std::uint64_t number = 0;
        for (const std::u16string_view line : views)
            recoverer.add(line, {0, ++number});
        records.clear();
        for (orvik::RecoveredRecord r; recoverer.take(r, orvik::Recoverer::Ready::All);)
            records.push_back(r);
    }
    QList<int> got;
    for (const orvik::RecoveredRecord& r : records) {
        if (!got.isEmpty())
            got << 0;
        for (const orvik::CopySource& s : r.copies)
            got << int(s.line);
    }
    QCOMPARE(got, copies);
}

void TestRecover::bytesReadAsText_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("window");

    const QString shared = over(kOther, 27, kGood.mid(26, 12));
    QTest::addRow("clean lines of two beacons") << QStringList{kGood, kOther} << 10;
    QTest::addRow("clean copies in both cases") << QStringList{kGood, kGood.toUpper(), kOther} << 10;
    QTest::addRow("clean copy after a damaged one") << QStringList{dropAt(kGood, 30), kGood, kGood} << 10;
    QTest::addRow("damaged copy after a clean one") << QStringList{kGood, over(kGood, 45, "x"), kOther} << 10;
    QTest::addRow("a frame shared with another beacon") << QStringList{kGood, shared, kOther} << 10;
    QTest::addRow("tab for a blank, blanks after the end")
        << QStringList{over(kGood, 5, "\t") + "  ", kGood} << 10;
    QTest::addRow("a tag after the last frame") << QStringList{over(kGood, 100, "orv2"), kOther} << 10;
    QTest::addRow("a letter that is no hex digit") << QStringList{over(kGood, 45, "x"), kOther} << 10;
    QTest::addRow("a blank lost") << QStringList{over(kGood, 5, "0"), kOther} << 10;
    QTest::addRow("copies beyond the window") << QStringList{kGood, kOther, kGood, kOther, kGood} << 1;
    QTest::addRow("copies at the window's edge")
        << QStringList{kGood, kOther, kGood, kOther, kOther, kGood} << 2;
    QTest::addRow("no beacon between copies") << QStringList{kGood, "orv1 orv2", kGood.toUpper()} << 1;
}

// A clean line given as bytes takes a shorter way than one given as text, a record whose
// every value is certain can leave them to its line, and a window closes however seldom
// records are taken: the records are the same.
void TestRecover::bytesReadAsText()
{
    QFETCH(QStringList, lines);
    QFETCH(int, window);
    const QStringList text = recordsOf(lines, std::size_t(window), false, true);
    QVERIFY(!text.isEmpty());
    QCOMPARE(recordsOf(lines, std::size_t(window), true, true), text);
    QCOMPARE(recordsOf(lines, std::size_t(window), true, true, false), text);
    const QStringList lean = recordsOf(lines, std::size_t(window), true, false);
    QCOMPARE(lean.size(), text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        // Values left to the line are NaN; everything else is as before.
        const bool allCertain = text[i].section(u'|', 1, 1).isEmpty();
        QCOMPARE(lean[i].section(u'|', 0, 3), text[i].section(u'|', 0, 3));
        if (allCertain)
            QCOMPARE(lean[i].section(u'|', 4),
                     QStringList(orvik::kChannelCount, QStringLiteral("7ff8000000000000")).join(u' '));
        else
            QCOMPARE(lean[i], text[i]);
    }
}

void TestRecover::loneCopyAmongLookalikes_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<int>("lone"); // the line of a miscopy of the good line, counted from 1

    // 64 s on, the panels have turned; the miscopy holds the neighbour's panel field and a time
    // of neither, so it could be a copy of either beacon.
    const QString neighbour = over(withTime(kGood, "01e280"), 32, "9f");
    const QString miscopy = over(withTime(kGood, "01e241"), 32, "9f");
    QTest::addRow("a neighbour's copy, then its beacon's")
        << QStringList{miscopy, neighbour, kGood, kGood.toUpper()} << "1|2|3,4" << 1;
    QTest::addRow("after a neighbour's copy, then its beacon's")
        << QStringList{neighbour, miscopy, kGood, kGood} << "1|2|3,4" << 2;
    QTest::addRow("after its beacon's copies and a neighbour's")
        << QStringList{kGood, kGood, neighbour, miscopy} << "1,2|3|4" << 4;
    QTest::addRow("between its beacon's copies, a neighbour's after")
        << QStringList{kGood, miscopy, kGood.toUpper(), neighbour} << "1,3|2|4" << 2;
    QTest::addRow("its beacon's copy either side of a neighbour's")
        << QStringList{miscopy, kGood, neighbour, kGood} << "1|2,4|3" << 1;
    // Read whole, with two time digits swapped and the battery field of a neighbour's copy:
    // weighed against the neighbour's alone, it would write that field. A copy of its beacon that
    // lost a character, told apart from both, is most alike to it.
    const QString swapped = over(withTime(kGood, "01e204"), 32, "9f");
    const QString before = over(over(withTime(kGood, "01e200"), 32, "9f"), 62, "7");
    QTest::addRow("a time swapped, then a damaged copy of its beacon")
        << QStringList{before, swapped, dropAt(kGood, 50)} << "1|2|3" << 2;
    // Its time shifted by a character lost before it and one gained after, a field miscopied
    // and its tail one short: far in time from its beacon's copies, alike in the rest.
    const QString shifted = dropAt(over(withTime(kGood, "1e2401"), 32, "9f"), 110);
    QTest::addRow("a time shifted, after two copies of its beacon")
        << QStringList{kGood, kGood.toUpper(), shifted} << "1,2|3" << 3;
    QTest::addRow("a time shifted, between copies of its beacon")
        << QStringList{kGood, kGood.toUpper(), shifted, kGood} << "1,2,4|3" << 3;
    // Beacons far from it in time and alike in every other frame, more of them than the groups
    // a frame's key leads to: only its time, miscopied, tells where its beacon's copies are.
    QStringList between;
    QStringList first;  // their records after a lone first line
    QStringList second; // and after two
    for (int i = 0; i < 10; ++i) {
        between << withTime(kGood, QString::number(0x2a0000 + 0x111111 * i, 16));
        first << QString::number(i + 2);
        second << QString::number(i + 3);
    }
    const QString timeSwapped = withTime(kGood, "01e204");
    QTest::addRow("a time swapped, its beacon's copies after many alike")
        << (QStringList{timeSwapped} + between + QStringList{kGood, kGood.toUpper()})
        << "1|" + first.join(u'|') + "|12,13" << 1;
    QTest::addRow("a time swapped, after its beacon's copies and many alike")
        << (QStringList{kGood, kGood.toUpper()} + between + QStringList{timeSwapped})
        << "1,2|" + second.join(u'|') + "|13" << 13;
}

// Weighed against every lookalike, not the first alone: a value that any of them puts in doubt
// is left out, so the miscopy writes no value its beacon does not hold.
void TestRecover::loneCopyAmongLookalikes()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, grouping);
    QFETCH(int, lone);
    const std::vector<orvik::RecoveredRecord> records = recovered(lines);
    QCOMPARE(beacontest::grouping(records), grouping);
    orvik::Record good{};
    orvik::decodeBeaconLine(view(kGood), good);
    for (const orvik::RecoveredRecord& r : records) {
        if (r.copies.front().line != std::uint64_t(lone))
            continue;
        QVERIFY(r.lookalike.line != 0);
        QVERIFY(!r.written(0));
        for (int c = 0; c < orvik::kChannelCount; ++c) {
            if (r.written(c))
                QCOMPARE(r.values[std::size_t(c)], good[std::size_t(c)]);
        }
        return;
    }
    QFAIL("no record of the miscopy");
}

QTEST_APPLESS_MAIN(TestRecover)
#include "tst_recover.moc"
