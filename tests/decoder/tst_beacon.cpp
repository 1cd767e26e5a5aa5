// SPDX-License-Identifier: GPL-3.0-or-later
// The beacon-line test, the channel table and the decoding of one beacon line.
// Lengths and positions count UTF-16 code units, as the log box holds the text.
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

namespace {

// A reference beacon line whose decoded values are known.
const QString kReferenceLine = QStringLiteral("orv1 01e240 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 "
                                              "6e6f70717273 orv6 7480ff6e400000000000000000000000000000000");

constexpr int kTagPos[6] = {1, 13, 27, 39, 57, 75};

// Positions that no test and no channel examines.
const QList<int>& neverExamined()
{
    static const QList<int> list = [] {
        QList<int> l{5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79};
        for (int p = 90; p <= 120; ++p)
            l << p;
        return l;
    }();
    return list;
}

// The field position of each channel, written out here independently of channels.h.
constexpr int kFieldPos[31] = {6,  18, 18, 20, 20, 20, 20, 20, 22, 22, 24, 32, 34, 36, 44, 46,
                               48, 50, 52, 54, 62, 64, 66, 68, 70, 72, 80, 82, 84, 86, 88};

std::u16string_view view(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

Record decode(const QString& line)
{
    Record r;
    r.fill(std::numeric_limits<double>::quiet_NaN());
    orvik::decodeBeaconLine(view(line), r);
    return r;
}

// The line with text written over it from position pos (counted from 1); same length.
QString withText(QString line, int pos, const QString& text)
{
    line.replace(pos - 1, text.size(), text);
    return line;
}

// Moves the frame tag at pos by delta positions; the line keeps its length.
QString withTagMoved(const QString& line, int pos, int delta)
{
    QString s = line;
    const QString tag = s.mid(pos - 1, 4);
    s.remove(pos - 1, 4);
    s.insert(pos - 1 + delta, tag);
    return s;
}

// The exact double: value and bit pattern, so QCOMPARE is bit-exact, not fuzzy.
QString exact(double d)
{
    return QString::asprintf("%.17g [0x%016llx]", d,
                             static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(d)));
}

// Left-to-right evaluation, one rounding per step, written out for each formula shape.
double mulOnly(double v, double a)
{
    volatile double t = v * a;
    return t;
}
double mulDiv(double v, double a, double b)
{
    volatile double t = v * a;
    t = t / b;
    return t;
}
double mulAdd(double v, double a, double b)
{
    volatile double t = v * a;
    t = t + b;
    return t;
}
double mulSub(double v, double a, double b)
{
    volatile double t = v * a;
    t = t - b;
    return t;
}
double divOnly(double v, double b)
{
    volatile double t = v / b;
    return t;
}
double solarArrayVolt(double v) // channel 28: (((v * 4.5) / 255) * 74.9) / 18.7
{
    volatile double t = v * 4.5;
    t = t / 255;
    t = t * 74.9;
    t = t / 18.7;
    return t;
}

// The stored value of a channel for field value v, written out step by step.
double expectedValue(int channel, std::int32_t v)
{
    switch (channel) {
    case 0: return double(v);
    case 1: return double(v & 0x1F);
    case 2: return divOnly(double(v & 0xE0), 32);
    case 3: return double(v & 0x07);
    case 4: return divOnly(double(v & 0x08), 8);
    case 5: return divOnly(double(v & 0x30), 16);
    case 6: return double(v & 0x40);
    case 7: return double(v & 0x80);
    case 8:
    case 9: return double(v);
    case 10: return mulDiv(v, 4.8011718, 255);
    case 11: return mulOnly(v, 0.0752884);
    case 12: return mulOnly(v, 0.0753968);
    case 13: return mulSub(v, 0.6945, 75);
    case 14: return mulAdd(v, 2.3957, 2.7037);
    case 15: return mulAdd(v, 2.3823, 2.3217);
    case 16: return mulAdd(v, 2.4234, 1.6915);
    case 17: return mulAdd(v, 2.3724, 3.2306);
    case 18: return mulAdd(v, 2.384, 2.1696);
    case 19: return mulAdd(v, 2.4341, 4.7714);
    case 20: return mulSub(v, 0.5896, 65.614);
    case 21: return mulSub(v, 0.5916, 66.133);
    case 22: return mulSub(v, 0.5862, 65.813);
    case 23: return mulSub(v, 0.5846, 66.28);
    case 24: return mulSub(v, 0.588, 64.903);
    case 25: return mulSub(v, 0.5932, 66.483);
    case 26: return mulSub(v, 0.5811, 67.055);
    case 27: return mulDiv(v, 4.5, 255);
    case 28: return solarArrayVolt(v);
    case 29: return mulSub(v, 0.5948, 67.203);
    case 30: return mulDiv(v, 4.8011718, 255);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// Compares with a decimal value to the digits its text shows: a value with no decimals exactly;
// otherwise rounded to as many decimals as the expected text shows, or, for an expected
// text with a trailing "…", cut off after them.
bool matchesDigits(double actual, QString text, QString* shown)
{
    const bool cut = text.endsWith(QChar(0x2026));
    if (cut)
        text.chop(1);
    const qsizetype dot = text.indexOf(u'.');
    if (dot < 0) {
        *shown = exact(actual);
        return exact(actual) == exact(text.toDouble());
    }
    const int decimals = int(text.size() - dot - 1);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", cut ? decimals + 4 : decimals, actual);
    *shown = QString::fromLatin1(buf);
    return cut ? shown->startsWith(text) : *shown == text;
}

#define COMPARE_EXACT(actual, expected) QCOMPARE(exact(actual), exact(expected))

} // namespace

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
    void leftToRightOrder();
    void fieldEdgeCases_data();
    void fieldEdgeCases();
    void everyByteValue();
    void caseDoesNotMatter();
    void neverExaminedPositions();
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
void TestBeacon::leftToRightOrder()
{
    const Record r = decode(withText(kReferenceLine, 84, "ff"));
    volatile double k = 4.5;
    k = k / 255;
    k = k * 74.9;
    k = k / 18.7;
    const double folded = 255 * k;
    QVERIFY(exact(folded) != exact(solarArrayVolt(255)));
    COMPARE_EXACT(r[28], solarArrayVolt(255));
    QVERIFY(exact(r[28]) != exact(folded));
}

void TestBeacon::fieldEdgeCases_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QList<int>>("channels");
    QTest::addColumn<QStringList>("values");

    using L = QList<int>;
    using S = QStringList;
    // Field edge cases.
    QTest::addRow("ff at 24") << 24 << "ff" << L{10} << S{"4.8011718"};
    QTest::addRow("00 at 24") << 24 << "00" << L{10} << S{"0"};
    QTest::addRow("80 at 36") << 36 << "80" << L{13} << S{"13.896"};
    QTest::addRow("00 at 36") << 36 << "00" << L{13} << S{"-75"};
    QTest::addRow("ff at 36") << 36 << "ff" << L{13} << S{"102.0975"};
    QTest::addRow("ff at 20") << 20 << "ff" << L{3, 4, 5, 6, 7} << S{"7", "1", "3", "64", "128"};
    QTest::addRow("00 at 20") << 20 << "00" << L{3, 4, 5, 6, 7} << S{"0", "0", "0", "0", "0"};
    QTest::addRow("e5 at 18") << 18 << "e5" << L{1, 2} << S{"5", "7"};
    QTest::addRow("ff at 84") << 84 << "ff" << L{28} << S{"18.024064"};
    QTest::addRow("ff at 82") << 82 << "ff" << L{27} << S{"4.5"};
    QTest::addRow("zz at 36") << 36 << "zz" << L{13} << S{"-75"};
    QTest::addRow("3z at 36") << 36 << "3z" << L{13} << S{"-72.9165"}; // v = 3
    QTest::addRow("008000 OBC time") << 6 << "008000" << L{0} << S{"32768"};

    // More of the same kind.
    QTest::addRow("FF at 24 upper case") << 24 << "FF" << L{10} << S{"4.8011718"};
    QTest::addRow("E5 at 18 upper case") << 18 << "E5" << L{1, 2} << S{"5", "7"};
    QTest::addRow("1f at 18") << 18 << "1f" << L{1, 2} << S{"31", "0"};
    QTest::addRow("e0 at 18") << 18 << "e0" << L{1, 2} << S{"0", "7"};
    QTest::addRow("5a at 20") << 20 << "5a" << L{3, 4, 5, 6, 7} << S{"2", "1", "1", "64", "0"};
    QTest::addRow("a5 at 20") << 20 << "a5" << L{3, 4, 5, 6, 7} << S{"5", "0", "2", "0", "128"};
    QTest::addRow("00 at 22") << 22 << "00" << L{8, 9} << S{"0", "0"};
    QTest::addRow("a5 at 22") << 22 << "a5" << L{8, 9} << S{"165", "165"};
    QTest::addRow("ff at 88") << 88 << "ff" << L{30} << S{"4.8011718"};
    QTest::addRow("00 at 82") << 82 << "00" << L{27} << S{"0"};
    QTest::addRow("00 at 84") << 84 << "00" << L{28} << S{"0"};
    QTest::addRow("ffffff OBC time") << 6 << "ffffff" << L{0} << S{"16777215"};
    QTest::addRow("FFFFFF OBC time") << 6 << "FFFFFF" << L{0} << S{"16777215"};
    QTest::addRow("000000 OBC time") << 6 << "000000" << L{0} << S{"0"};
    QTest::addRow("007fff OBC time") << 6 << "007fff" << L{0} << S{"32767"};
    QTest::addRow("00ffff OBC time") << 6 << "00ffff" << L{0} << S{"65535"};
    QTest::addRow("010000 OBC time") << 6 << "010000" << L{0} << S{"65536"};
    QTest::addRow("0x8000 OBC time, four-digit run") << 6 << "0x8000" << L{0} << S{"-32768"};
    QTest::addRow("3zzzzz OBC time") << 6 << "3zzzzz" << L{0} << S{"3"};
    QTest::addRow("e acute at 24") << 24 << QStringLiteral("\u00e95") << L{10} << S{"0"};
    QTest::addRow("5 e acute at 24") << 24 << QStringLiteral("5\u00e9") << L{10} << S{"0.094141"}; // v = 5
    QTest::addRow("blank and digit at 36") << 36 << " 3" << L{13} << S{"-72.9165"};
    QTest::addRow("zz at 20") << 20 << "zz" << L{3, 4, 5, 6, 7} << S{"0", "0", "0", "0", "0"};
}

void TestBeacon::fieldEdgeCases()
{
    QFETCH(int, pos);
    QFETCH(QString, field);
    QFETCH(QList<int>, channels);
    QFETCH(QStringList, values);
    QCOMPARE(channels.size(), values.size());

    const QString line = withText(kReferenceLine, pos, field);
    QCOMPARE(line.size(), 120);
    QVERIFY(orvik::isBeaconLine(view(line))); // field contents never reject a line
    const Record r = decode(line);
    for (qsizetype i = 0; i < channels.size(); ++i) {
        QString shown;
        QVERIFY2(matchesDigits(r[std::size_t(channels[i])], values[i], &shown),
                 qPrintable(QStringLiteral("channel %1: decoded %2, expected %3")
                                .arg(channels[i])
                                .arg(shown, values[i])));
    }
}

// Every byte value in every two-character field gives, bit for bit, the left-to-right value
// of each channel that reads the field; the other channels keep the reference line's values.
void TestBeacon::everyByteValue()
{
    const Record base = decode(kReferenceLine);
    QList<int> positions;
    for (int c = 1; c < 31; ++c)
        if (!positions.contains(kFieldPos[c]))
            positions << kFieldPos[c];
    QCOMPARE(positions.size(), 24);

    for (int pos : std::as_const(positions)) {
        for (int b = 0; b < 256; ++b) {
            const QString field = QString::asprintf(b % 2 ? "%02X" : "%02x", b);
            const Record r = decode(withText(kReferenceLine, pos, field));
            for (int c = 0; c < 31; ++c) {
                const double want = kFieldPos[c] == pos ? expectedValue(c, b) : base[std::size_t(c)];
                if (exact(r[std::size_t(c)]) != exact(want))
                    QFAIL(qPrintable(QStringLiteral("field %1 at %2, channel %3: %4, expected %5")
                                         .arg(field)
                                         .arg(pos)
                                         .arg(c)
                                         .arg(exact(r[std::size_t(c)]), exact(want))));
            }
        }
    }
}

// The decoder reads the lower-cased line: an all-capitals line decodes bit for bit as the
// reference line does.
void TestBeacon::caseDoesNotMatter()
{
    const Record lower = decode(kReferenceLine);
    const Record upper = decode(kReferenceLine.toUpper());
    for (int c = 0; c < 31; ++c)
        COMPARE_EXACT(upper[std::size_t(c)], lower[std::size_t(c)]);
}

// Positions 5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79 and 90 to 120 may hold anything,
// "é" included: the line stays a beacon line and decodes to the same record.
void TestBeacon::neverExaminedPositions()
{
    const Record base = decode(kReferenceLine);
    const QStringList fillers{
        QStringLiteral("\u00e9"), QStringLiteral("\u00c9"), "Z", "f", "\t", "\r", "\n", "&"};
    for (const QString& fill : fillers) {
        QString line = kReferenceLine;
        for (int p : neverExamined())
            line = withText(line, p, fill);
        QCOMPARE(line.size(), 120);
        QVERIFY(orvik::isBeaconLine(view(line)));
        const Record r = decode(line);
        for (int c = 0; c < 31; ++c)
            COMPARE_EXACT(r[std::size_t(c)], base[std::size_t(c)]);
    }
}

QTEST_APPLESS_MAIN(TestBeacon)
#include "tst_beacon.moc"
