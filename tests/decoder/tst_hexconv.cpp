// SPDX-License-Identifier: GPL-3.0-or-later
// HexToDec and SecToTime, including the choices made for unusual input
// (leading-zero runs between 0x8000 and 0xFFFF keep their plain value; runs above
// 0xFFFFFFFF give 0; blanks, tabs and line feeds are skipped wherever they stand).
#include "decoder/hexconv.h"

#include <QTest>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>

namespace {

std::u16string_view view(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

std::int32_t readHex(const QString& s) { return orvik::HexToDec(view(s)); }

} // namespace

class TestHexConv : public QObject {
    Q_OBJECT
private slots:
    void hexToDec_data();
    void hexToDec();
    void hexToDecEveryByte();
    void hexToDecEvery16BitRun();
    void hexToDecLeavesArgument();
    void secToTime_data();
    void secToTime();
    void secToTimeRecomposes();
};

void TestHexConv::hexToDec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    // Clean hexadecimal.
    QTest::addRow("ff") << "ff" << 255;
    QTest::addRow("FF") << "FF" << 255;
    QTest::addRow("Ff mixed case") << "Ff" << 255;
    QTest::addRow("10") << "10" << 16;
    QTest::addRow("0x1F") << "0x1F" << 31;
    QTest::addRow("0X1f") << "0X1f" << 31;
    QTest::addRow("&H1F") << "&H1F" << 31;
    QTest::addRow("&h1f") << "&h1f" << 31;
    QTest::addRow("7fff") << "7fff" << 32767;
    QTest::addRow("8000 four digits, 16-bit") << "8000" << -32768;
    QTest::addRow("fffe four digits, 16-bit") << "fffe" << -2;
    QTest::addRow("ffff four digits, 16-bit") << "ffff" << -1;
    QTest::addRow("0x8000 four-digit run after prefix") << "0x8000" << -32768;
    QTest::addRow("&hffff four-digit run after prefix") << "&hffff" << -1;
    QTest::addRow("10000") << "10000" << 65536;
    QTest::addRow("ffffff") << "ffffff" << 16777215;
    QTest::addRow("7fffffff") << "7fffffff" << 2147483647;
    QTest::addRow("80000000") << "80000000" << std::numeric_limits<int>::min();
    QTest::addRow("ffffffff") << "ffffffff" << -1;
    QTest::addRow("0xffffffff") << "0xffffffff" << -1;
    QTest::addRow("&H80000000") << "&H80000000" << std::numeric_limits<int>::min();
    QTest::addRow("0") << "0" << 0;
    QTest::addRow("00") << "00" << 0;
    QTest::addRow("80 two digits") << "80" << 128;
    QTest::addRow("e5 two digits") << "e5" << 229;
    QTest::addRow("123456") << "123456" << 0x123456;
    QTest::addRow("01e240 reference OBC time") << "01e240" << 123456;

    // Five or more digits with leading zeros keep their plain value.
    QTest::addRow("008000 OBC time") << "008000" << 32768;
    QTest::addRow("08000") << "08000" << 32768;
    QTest::addRow("0008000") << "0008000" << 32768;
    QTest::addRow("00008000") << "00008000" << 32768;
    QTest::addRow("00ffff") << "00ffff" << 65535;
    QTest::addRow("0ffff") << "0ffff" << 65535;
    QTest::addRow("00fffe") << "00fffe" << 65534;
    QTest::addRow("00c000") << "00c000" << 49152;
    QTest::addRow("007fff") << "007fff" << 32767;
    QTest::addRow("0x08000") << "0x08000" << 32768;
    QTest::addRow("&H0FFFF") << "&H0FFFF" << 65535;
    QTest::addRow("000000") << "000000" << 0;
    QTest::addRow("000001") << "000001" << 1;
    QTest::addRow("00000000001 long zero run") << "00000000001" << 1;
    QTest::addRow("0ffffffff nine digits, value 0xFFFFFFFF") << "0ffffffff" << -1;
    QTest::addRow("000080000000") << "000080000000" << std::numeric_limits<int>::min();

    // A run above 0xFFFFFFFF gives 0.
    QTest::addRow("123456789 nine digits") << "123456789" << 0;
    QTest::addRow("100000000") << "100000000" << 0;
    QTest::addRow("fffffffff") << "fffffffff" << 0;
    QTest::addRow("0x100000000") << "0x100000000" << 0;
    QTest::addRow("ffffffffffffffffffff") << "ffffffffffffffffffff" << 0;
    QTest::addRow("100000000 then junk") << "100000000zz" << 0;

    // Text that is not clean hexadecimal.
    QTest::addRow("zz") << "zz" << 0;
    QTest::addRow("3z") << "3z" << 3;
    QTest::addRow("z3") << "z3" << 0;
    QTest::addRow("1g2") << "1g2" << 1;
    QTest::addRow("empty") << "" << 0;
    QTest::addRow("0x alone") << "0x" << 0;
    QTest::addRow("0X alone") << "0X" << 0;
    QTest::addRow("&h alone") << "&h" << 0;
    QTest::addRow("&H alone") << "&H" << 0;
    QTest::addRow("& alone") << "&" << 0;
    QTest::addRow("x1") << "x1" << 0;
    QTest::addRow("0x0x1 second prefix is no digit") << "0x0x1" << 0;
    QTest::addRow("&h&h1 second marker is no digit") << "&h&h1" << 0;
    QTest::addRow("-1 sign is no digit") << "-1" << 0;
    QTest::addRow("+1 sign is no digit") << "+1" << 0;
    QTest::addRow("e acute is no digit") << QStringLiteral("\u00e95") << 0;
    QTest::addRow("digit then e acute") << QStringLiteral("5\u00e9") << 5;
    QTest::addRow("capital E acute is no digit") << QStringLiteral("\u00c9") << 0;
    QTest::addRow("fullwidth digit is no digit") << QStringLiteral("\uff11") << 0;

    // Blanks, tabs and line feeds are skipped wherever they stand.
    QTest::addRow("leading blank") << " 5" << 5;
    QTest::addRow("trailing blank") << "5 " << 5;
    QTest::addRow("blank between digits") << "f f" << 255;
    QTest::addRow("blanks only") << "   " << 0;
    QTest::addRow("tab and line feed between digits") << "1\t2\n3" << 0x123;
    QTest::addRow("leading tab") << "\t7f" << 127;
    QTest::addRow("leading line feed") << "\n7f" << 127;
    QTest::addRow("blank after 0x") << "0x 1F" << 31;
    QTest::addRow("blank after &H") << "&H 1f" << 31;
    QTest::addRow("blanks inside a 16-bit run") << "80 00" << -32768;
    QTest::addRow("blanks inside a leading-zero run") << "00 80 00" << 32768;
    QTest::addRow("blanks inside an overlong run") << "1234 5678 9" << 0;
    // The prefix is the first two characters as they stand: " 0x1F" has the prefix " 0",
    // so the text read is "&H 0x1F", whose digits stop at the "x".
    QTest::addRow("blank before 0x") << " 0x1F" << 0;
    QTest::addRow("blank before &H") << " &H1F" << 0;
    // A carriage return is no skipped character: it ends the digits.
    QTest::addRow("carriage return ends the digits") << "1\r2" << 1;
    QTest::addRow("carriage return first") << "\r12" << 0;
}

void TestHexConv::hexToDec()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(readHex(text), expected);
}

// Every two-character field, in lower, upper and mixed case, is its plain byte value.
void TestHexConv::hexToDecEveryByte()
{
    for (int b = 0; b < 256; ++b) {
        const QString lower = QString::asprintf("%02x", b);
        const QString upper = QString::asprintf("%02X", b);
        QCOMPARE(readHex(lower), b);
        QCOMPARE(readHex(upper), b);
        QCOMPARE(readHex(QString(lower.at(0)) + upper.at(1)), b);
    }
}

// Runs of at most four digits are 16-bit; six-digit runs (the OBC time field) and five-digit
// runs with a leading zero keep their plain value over the whole 16-bit range.
void TestHexConv::hexToDecEvery16BitRun()
{
    for (int u = 0; u <= 0xFFFF; ++u) {
        const int as16 = u >= 0x8000 ? u - 0x10000 : u;
        const int r4 = readHex(QString::asprintf("%04x", u));
        const int r5 = readHex(QString::asprintf("%05X", u));
        const int r6 = readHex(QString::asprintf("%06x", u));
        if (r4 != as16 || r5 != u || r6 != u)
            QFAIL(qPrintable(
                QString::asprintf("u=0x%04x: 4 digits %d (want %d), 5 digits %d, 6 digits %d (want %d)", u,
                                  r4, as16, r5, r6, u)));
    }
}

void TestHexConv::hexToDecLeavesArgument()
{
    const QString text = QStringLiteral("0x1F");
    const QString copy = text;
    QCOMPARE(readHex(text), 31);
    QCOMPARE(text, copy);
}

void TestHexConv::secToTime_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("expected");

    // Day boundaries and negative seconds.
    QTest::addRow("0") << 0 << "0d 00:00:00";
    QTest::addRow("59") << 59 << "0d 00:00:59";
    QTest::addRow("3661") << 3661 << "0d 01:01:01";
    QTest::addRow("86399") << 86399 << "0d 23:59:59";
    QTest::addRow("86400") << 86400 << "1d 00:00:00";
    QTest::addRow("90061") << 90061 << "1d 01:01:01";
    QTest::addRow("16777215 largest OBC time") << 16777215 << "194d 04:20:15";
    QTest::addRow("-1") << -1 << "-1d 23:59:59";

    // Boundaries of each unit.
    QTest::addRow("60") << 60 << "0d 00:01:00";
    QTest::addRow("3599") << 3599 << "0d 00:59:59";
    QTest::addRow("3600") << 3600 << "0d 01:00:00";
    QTest::addRow("32768 OBC time 008000") << 32768 << "0d 09:06:08";
    QTest::addRow("65535") << 65535 << "0d 18:12:15";
    QTest::addRow("123456 reference line") << 123456 << "1d 10:17:36";
    QTest::addRow("8640000 three digit days") << 8640000 << "100d 00:00:00";

    // Negative seconds: days is the floor, the clock part stays non-negative.
    QTest::addRow("-59") << -59 << "-1d 23:59:01";
    QTest::addRow("-60") << -60 << "-1d 23:59:00";
    QTest::addRow("-3600") << -3600 << "-1d 23:00:00";
    QTest::addRow("-32768") << -32768 << "-1d 14:53:52";
    QTest::addRow("-86399") << -86399 << "-1d 00:00:01";
    QTest::addRow("-86400") << -86400 << "-1d 00:00:00";
    QTest::addRow("-86401") << -86401 << "-2d 23:59:59";

    // The arithmetic is exact for every 32-bit input.
    QTest::addRow("INT32_MAX") << std::numeric_limits<int>::max() << "24855d 03:14:07";
    QTest::addRow("INT32_MIN") << std::numeric_limits<int>::min() << "-24856d 20:45:52";
}

void TestHexConv::secToTime()
{
    QFETCH(int, seconds);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdString(orvik::SecToTime(seconds)), expected);
}

// Over a wide sweep the text reads back to the same number of seconds, with hours 0-23,
// minutes and seconds 0-59, and exactly two digits in each clock field.
void TestHexConv::secToTimeRecomposes()
{
    auto check = [](std::int32_t sec) {
        const std::string text = orvik::SecToTime(sec);
        long long d = 0;
        int h = -1, m = -1, s = -1, consumed = 0;
        const int n = std::sscanf(text.c_str(), "%lldd %2d:%2d:%2d%n", &d, &h, &m, &s, &consumed);
        const std::size_t dPos = text.find("d ");
        const bool ok = n == 4 && std::size_t(consumed) == text.size() && dPos != std::string::npos &&
                        text.size() == dPos + 2 + 8 && h >= 0 && h <= 23 && m >= 0 && m <= 59 && s >= 0 &&
                        s <= 59 && d * 86400 + h * 3600 + m * 60 + s == sec;
        if (!ok)
            qWarning("SecToTime(%d) = \"%s\"", sec, text.c_str());
        return ok;
    };
    for (std::int64_t sec = -400000; sec <= 400000; sec += 7)
        QVERIFY(check(std::int32_t(sec)));
    for (std::int64_t sec = std::numeric_limits<std::int32_t>::min();
         sec <= std::numeric_limits<std::int32_t>::max(); sec += 9999991)
        QVERIFY(check(std::int32_t(sec)));
    QVERIFY(check(std::numeric_limits<std::int32_t>::max()));
    QVERIFY(check(std::numeric_limits<std::int32_t>::min()));
}

QTEST_APPLESS_MAIN(TestHexConv)
#include "tst_hexconv.moc"
