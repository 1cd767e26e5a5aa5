// SPDX-License-Identifier: GPL-3.0-or-later
// The beacon-line test, the channel table and the decoding of one beacon line.
// Lengths and positions count UTF-16 code units, as the log box holds the text.
#include "beaconlinetestdata.h"
#include "decoder/beacon.h"
#include "decoder/channels.h"

#include <QTest>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>

using orvik::Record;

using namespace beaconline;

class TestBeacon : public QObject {
    Q_OBJECT
private slots:
    void referenceLineShape();
    void isBeaconLine_data();
    void isBeaconLine();
    void channelTable_data();
    void channelTable();
    void referenceLineValues_data();
    void referenceLineValues();
    void referenceLineExact();
};

void TestBeacon::referenceLineShape()
{
    QCOMPARE(kReferenceLine.size(), 120);
    QCOMPARE(qsizetype(orvik::kBeaconLength), kReferenceLine.size());
    for (int f = 0; f < 6; ++f)
        QCOMPARE(kReferenceLine.mid(kTagPos[f] - 1, 4), QStringLiteral("orv%1").arg(f + 1));
    for (int p : {5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79})
        QCOMPARE(kReferenceLine.at(p - 1), QChar(u' '));
    QCOMPARE(kReferenceLine.mid(89), QString(31, u'0'));
}

void TestBeacon::isBeaconLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("expected");

    const QString w = kReferenceLine;
    const QString eAcute = QStringLiteral("\u00e9");
    const QString antenna = QStringLiteral("\U0001F4E1"); // two UTF-16 code units

    QTest::addRow("reference line") << w << true;
    QTest::addRow("all capitals") << w.toUpper() << true;
    QTest::addRow("mixed-case tags") << withText(withText(withText(w, 1, "ORV1"), 13, "Orv2"), 75, "oRV6")
                                     << true;

    // Length.
    QTest::addRow("119 characters") << w.left(119) << false;
    QTest::addRow("121, one trailing blank") << w + u' ' << false;
    QTest::addRow("121, one trailing zero") << w + u'0' << false;
    QTest::addRow("121, one leading blank") << u' ' + w << false;
    QTest::addRow("121 all capitals, trailing blank") << w.toUpper() + u' ' << false;
    QTest::addRow("121, trailing carriage return") << w + u'\r' << false;
    QTest::addRow("empty") << QString() << false;
    QTest::addRow("120 blanks") << QString(120, u' ') << false;
    QTest::addRow("240, reference line twice") << w + w << false;

    // Each frame tag missing, wrong or misplaced.
    for (int f = 0; f < 6; ++f) {
        const int p = kTagPos[f];
        QTest::addRow("orv%d missing", f + 1) << withText(w, p, "xxxx") << false;
        QTest::addRow("orv%d blanked", f + 1) << withText(w, p, "    ") << false;
        QTest::addRow("orv%d wrong number", f + 1)
            << withText(w, p, QStringLiteral("orv%1").arg((f + 1) % 6 + 1)) << false;
        QTest::addRow("orv%d truncated to orv", f + 1) << withText(w, p, "orv ") << false;
        QTest::addRow("orv%d one position right", f + 1) << withTagMoved(w, p, 1) << false;
        if (p > 1)
            QTest::addRow("orv%d one position left", f + 1) << withTagMoved(w, p, -1) << false;
    }
    QTest::addRow("orv1 and orv2 swapped") << withText(withText(w, 1, "orv2"), 13, "orv1") << false;
    // Only letters fold: DC1 is "1" without bit 0x20, as "O" is "o"; "ï" is "o" with bit 0x80.
    QTest::addRow("DC1 for the digit of orv1") << withText(w, 4, QStringLiteral("\u0011")) << false;
    QTest::addRow("o with bit 0x80 in orv6") << withText(w, 75, QStringLiteral("\u00ef")) << false;
    QTest::addRow("o with grave in orv3") << withText(w, 27, QStringLiteral("\u00f2rv3")) << false;
    QTest::addRow("fullwidth digit in orv4") << withText(w, 39, QStringLiteral("orv\uff14")) << false;

    // UTF-16: "é" is one code unit wherever it stands.
    QTest::addRow("e acute in field at 24") << withText(w, 24, eAcute) << true;
    QTest::addRow("e acute in OBC time field") << withText(w, 6, eAcute + eAcute) << true;
    QTest::addRow("e acute at blank position 5") << withText(w, 5, eAcute) << true;
    QTest::addRow("e acute at position 90") << withText(w, 90, eAcute) << true;
    QTest::addRow("e acute at position 120") << withText(w, 120, eAcute) << true;
    QTest::addRow("e acute at all of 90-120") << withText(w, 90, QString(31, QChar(0xe9))) << true;
    QTest::addRow("capital E acute in tail") << withText(w, 100, QStringLiteral("\u00c9")) << true;
    QTest::addRow("e acute added, 121") << w + eAcute << false;
    QTest::addRow("e acute instead of last, 120") << w.left(119) + eAcute << true;
    QTest::addRow("surrogate pair over 119-120") << w.left(118) + antenna << true;
    QTest::addRow("surrogate pair over 120 only, 121") << w.left(119) + antenna << false;

    // Other characters in never-examined positions.
    QTest::addRow("lone carriage return in tail") << withText(w, 100, "\r") << true;
    QTest::addRow("lone line feed in tail") << withText(w, 110, "\n") << true;
    QTest::addRow("tab at position 79") << withText(w, 79, "\t") << true;
    QTest::addRow("non-hex field characters") << withText(withText(w, 36, "zz"), 6, "qwerty") << true;
}

// Where every character fits a byte, the test on the bytes gives the same answer.
void TestBeacon::isBeaconLine()
{
    QFETCH(QString, line);
    QFETCH(bool, expected);
    QCOMPARE(orvik::isBeaconLine(view(line)), expected);
    if (std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() < 0x100; })) {
        const QByteArray bytes = line.toLatin1();
        QCOMPARE(orvik::isBeaconLine(std::string_view(bytes.constData(), std::size_t(bytes.size()))),
                 expected);
    }
}

void TestBeacon::channelTable_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("len");
    QTest::addColumn<QString>("unit");

    const QString dBu = QStringLiteral("dB\u00b5");
    struct Row {
        const char* caption;
        int frame, pos, len;
        QString unit;
    };
    const Row rows[31] = {
        {"OBC Time",         1, 6,  6, ""  },
        {"Uplink Counter",   2, 18, 2, "C" },
        {"Camera Counter",   2, 18, 2, "C" },
        {"SEL Counter",      2, 20, 2, "C" },
        {"Antenna",          2, 20, 2, "C" },
        {"CW Duty",          2, 20, 2, "C" },
        {"Start Cause",      2, 20, 2, "C" },
        {"Charge Status",    2, 20, 2, "C" },
        {"OBC Survial",      2, 22, 2, "C" },
        {"TNC Survival",     2, 22, 2, ""  },
        {"RSSI (orv2)",      2, 24, 2, dBu },
        {"Battery Volt*",    3, 32, 2, "V" },
        {"SolarArray Volt*", 3, 34, 2, "V" },
        {"Battery Temp*",    3, 36, 2, "C" },
        {"SolarCurr +X",     4, 44, 2, "mA"},
        {"SolarCurr -X",     4, 46, 2, "mA"},
        {"SolarCurr +Y",     4, 48, 2, "mA"},
        {"SolarCurr -Y",     4, 50, 2, "mA"},
        {"SolarCurr +Z",     4, 52, 2, "mA"},
        {"SolarCurr -Z",     4, 54, 2, "mA"},
        {"PanelTemp +X",     5, 62, 2, "C" },
        {"PanelTemp -X",     5, 64, 2, "C" },
        {"PanelTemp +Y",     5, 66, 2, "C" },
        {"PanelTemp -Y",     5, 68, 2, "C" },
        {"PanelTemp +Z",     5, 70, 2, "C" },
        {"PanelTemp -Z",     5, 72, 2, "C" },
        {"FM TX Temp",       6, 80, 2, "C" },
        {"Battery Volt",     6, 82, 2, "V" },
        {"SolarArray Volt",  6, 84, 2, "V" },
        {"Battery Temp",     6, 86, 2, "C" },
        {"RSSI (orv6)",      6, 88, 2, dBu },
    };
    for (int c = 0; c < 31; ++c)
        QTest::addRow("channel %d", c) << c << QString::fromLatin1(rows[c].caption) << rows[c].frame
                                       << rows[c].pos << rows[c].len << rows[c].unit;
}

void TestBeacon::channelTable()
{
    QFETCH(int, channel);
    QFETCH(QString, caption);
    QFETCH(int, frame);
    QFETCH(int, pos);
    QFETCH(int, len);
    QFETCH(QString, unit);

    QCOMPARE(orvik::kChannelCount, 31);
    const orvik::Channel& ch = orvik::kChannels[std::size_t(channel)];
    QCOMPARE(QString::fromUtf8(ch.caption.data(), qsizetype(ch.caption.size())), caption);
    QCOMPARE(QString::fromUtf8(ch.unit.data(), qsizetype(ch.unit.size())), unit);
    QCOMPARE(ch.frame, frame);
    QCOMPARE(ch.pos, pos);
    QCOMPARE(ch.len, len);
    QCOMPARE(pos, kFieldPos[channel]);
    // The field lies inside its frame: after the frame's tag, before the next one.
    QVERIFY(pos > kTagPos[frame - 1] + 3);
    QVERIFY(frame == 6 ? pos + len - 1 <= 89 : pos + len - 1 < kTagPos[frame]);
}

void TestBeacon::referenceLineValues_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("value");

    // The reference line, each value to the digits its text shows ("…": cut off there).
    const char* values[31] = {"123456",
                              "5",
                              "7",
                              "2",
                              "1",
                              "1",
                              "64",
                              "0",
                              "0",
                              "0",
                              "2.409999962\u2026",
                              "12.046144",
                              "15.07936",
                              "13.896",
                              "26.6607",
                              "49.9677",
                              "74.3935",
                              "98.1266",
                              "121.3696",
                              "150.8174",
                              "-0.758",
                              "-0.4654",
                              "-0.1586",
                              "-0.2202",
                              "2.129",
                              "1.735",
                              "0.3526",
                              "2.258824",
                              "18.024064",
                              "-1.775",
                              "1.204999981\u2026"};
    for (int c = 0; c < 31; ++c)
        QTest::addRow("channel %d", c) << c << QString::fromUtf8(values[c]);
}

void TestBeacon::referenceLineValues()
{
    QFETCH(int, channel);
    QFETCH(QString, value);

    QVERIFY(orvik::isBeaconLine(view(kReferenceLine)));
    const Record r = decode(kReferenceLine);
    QString shown;
    QVERIFY2(matchesDigits(r[std::size_t(channel)], value, &shown),
             qPrintable(QStringLiteral("decoded %1, expected %2").arg(shown, value)));
}

// Every channel of the reference line is bit-identical to the left-to-right evaluation.
void TestBeacon::referenceLineExact()
{
    const Record r = decode(kReferenceLine);
    for (int c = 0; c < 31; ++c) {
        bool ok = false;
        const int len = c == 0 ? 6 : 2;
        const int v = kReferenceLine.mid(kFieldPos[c] - 1, len).toInt(&ok, 16);
        QVERIFY(ok);
        COMPARE_EXACT(r[std::size_t(c)], expectedValue(c, v));
    }
    // A few written out in full, as (((v * a) / b) * c) / d.
    COMPARE_EXACT(r[10], mulDiv(0x80, 4.8011718, 255));
    COMPARE_EXACT(r[13], mulSub(0x80, 0.6945, 75));
    COMPARE_EXACT(r[20], mulSub(0x6e, 0.5896, 65.614));
    COMPARE_EXACT(r[27], mulDiv(0x80, 4.5, 255));
    COMPARE_EXACT(r[28], solarArrayVolt(0xff));
    COMPARE_EXACT(r[30], mulDiv(0x40, 4.8011718, 255));
    QCOMPARE(r[0], 123456.0);
}

// The comparison above can tell the order apart: folding the constants of channel 28 into
// one factor gives a different double for the byte ff, and the decoder does not do that.

// Every byte value in every two-character field gives, bit for bit, the left-to-right value
// of each channel that reads the field; the other channels keep the reference line's values.

// The decoder reads the lower-cased line: an all-capitals line decodes bit for bit as the
// reference line does.

// Positions 5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79 and 90 to 120 may hold anything,
// "é" included: the line stays a beacon line and decodes to the same record.

QTEST_APPLESS_MAIN(TestBeacon)
#include "tst_beacon.moc"
