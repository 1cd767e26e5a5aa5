// SPDX-License-Identifier: GPL-3.0-or-later
// Each field of a beacon line decoded alone: every byte value, edge cases, letter case, and the places never
// examined.
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

class TestBeaconFields : public QObject {
    Q_OBJECT
private slots:
    void leftToRightOrder();
    void fieldEdgeCases_data();
    void fieldEdgeCases();
    void everyByteValue();
    void caseDoesNotMatter();
    void neverExaminedPositions();
};

void TestBeaconFields::leftToRightOrder()
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

void TestBeaconFields::fieldEdgeCases_data()
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

void TestBeaconFields::fieldEdgeCases()
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

void TestBeaconFields::everyByteValue()
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

void TestBeaconFields::caseDoesNotMatter()
{
    const Record lower = decode(kReferenceLine);
    const Record upper = decode(kReferenceLine.toUpper());
    for (int c = 0; c < 31; ++c)
        COMPARE_EXACT(upper[std::size_t(c)], lower[std::size_t(c)]);
}

void TestBeaconFields::neverExaminedPositions()
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

QTEST_APPLESS_MAIN(TestBeaconFields)
#include "tst_beaconfields.moc"
