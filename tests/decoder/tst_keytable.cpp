// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery's key table: keys whose places meet are both found, a key put again is replaced,
// and the table fills at half its slots, which are never fewer than after an earlier reset.
#include "decoder/recovery/keytable.h"

#include <QList>
#include <QTest>

using orvik::recovery::KeyTable;

class TestKeyTable : public QObject {
    Q_OBJECT
private slots:
    void find_data();
    void find();
    void full_data();
    void full();
};

void TestKeyTable::find_data()
{
    QTest::addColumn<QList<quint64>>("keys");
    QTest::addColumn<QList<quint64>>("groups");
    QTest::addColumn<quint64>("probe");
    QTest::addColumn<quint32>("expected");

    // A key's place is bits 1 to 10 of 1024 slots, its tag the high 32 bits; keys are odd.
    QTest::addRow("put") << QList<quint64>{0x500000003} << QList<quint64>{7} << quint64(0x500000003)
                         << quint32(7);
    QTest::addRow("never put, same place")
        << QList<quint64>{0x500000003} << QList<quint64>{7} << quint64(0x600000003) << quint32(0);
    QTest::addRow("second at one place") << QList<quint64>{0x500000003, 0x600000003} << QList<quint64>{7, 8}
                                         << quint64(0x600000003) << quint32(8);
    QTest::addRow("past the last slot") << QList<quint64>{0x5000007ff, 0x6000007ff} << QList<quint64>{1, 2}
                                        << quint64(0x6000007ff) << quint32(2);
    QTest::addRow("put again") << QList<quint64>{0x500000003, 0x500000003} << QList<quint64>{7, 9}
                               << quint64(0x500000003) << quint32(9);
    QTest::addRow("high bits zero") << QList<quint64>{0x3} << QList<quint64>{4} << quint64(0x3) << quint32(4);
    QTest::addRow("group above 32 bits")
        << QList<quint64>{0x500000003} << QList<quint64>{0x100000007} << quint64(0x500000003) << quint32(7);
    // Only a candidate, which the caller still judges.
    QTest::addRow("same tag and place")
        << QList<quint64>{0x500000003} << QList<quint64>{7} << quint64(0x500100003) << quint32(7);
}

void TestKeyTable::find()
{
    QFETCH(QList<quint64>, keys);
    QFETCH(QList<quint64>, groups);
    QFETCH(quint64, probe);
    QFETCH(quint32, expected);

    KeyTable table;
    QCOMPARE(table.find(probe), 0u);
    table.reset(0);
    for (qsizetype i = 0; i < keys.size(); ++i)
        table.put(keys[i], groups[i]);
    QCOMPARE(table.find(probe), expected);
}

void TestKeyTable::full_data()
{
    QTest::addColumn<QList<int>>("resets");
    QTest::addColumn<int>("keys");
    QTest::addColumn<bool>("expected");

    // Room for n keys is 4 n slots, at least 1024; the table is full at half of them.
    QTest::addRow("1024 slots, 511 keys") << QList<int>{0} << 511 << false;
    QTest::addRow("1024 slots, 512 keys") << QList<int>{0} << 512 << true;
    QTest::addRow("4096 slots, 2047 keys") << QList<int>{1000} << 2047 << false;
    QTest::addRow("4096 slots, 2048 keys") << QList<int>{1000} << 2048 << true;
    QTest::addRow("never fewer slots") << QList<int>{1000, 0} << 2047 << false;
}

void TestKeyTable::full()
{
    QFETCH(QList<int>, resets);
    QFETCH(int, keys);
    QFETCH(bool, expected);

    KeyTable table;
    for (const int n : resets)
        table.reset(std::size_t(n));
    // Distinct tags, so that every key takes a slot of its own.
    for (int i = 0; i < keys; ++i)
        table.put(quint64(2 * i + 1) << 32 | quint64(2 * i + 1), quint64(i + 1));
    QCOMPARE(table.full(), expected);
}

QTEST_APPLESS_MAIN(TestKeyTable)
#include "tst_keytable.moc"
