// SPDX-License-Identifier: GPL-3.0-or-later
// Recovered records in the order of their lines, over several inputs.
#include "runs/recordorder.h"

#include <QTest>

namespace {

using Copies = QList<QList<int>>; // input and line of each copy of a record

struct Ordered {
    QList<int> order;       // the records, numbered as taken, in the order they went out
    int waitedToTheEnd = 0; // how many went out only once every record was taken
};

int numberOf(const orvik::RecoveredRecord& record) { return std::stoi(record.line); }

// The records taken in the order of their first copies, each followed by what may go out.
Ordered ordered(const QList<Copies>& records)
{
    orvik::RecordOrder order;
    Ordered out;
    orvik::RecoveredRecord record;
    for (qsizetype n = 0; n < records.size(); ++n) {
        record = {};
        record.line = std::to_string(n);
        for (const QList<int>& c : records[n])
            record.copies.push_back({std::uint32_t(c[0]), std::uint64_t(c[1])});
        if (order.take(record))
            out.order << numberOf(record);
        while (order.next(record, orvik::Recoverer::Ready::Passed))
            out.order << numberOf(record);
    }
    while (order.next(record, orvik::Recoverer::Ready::All)) {
        out.order << numberOf(record);
        ++out.waitedToTheEnd;
    }
    return out;
}

} // namespace

class TestRecordOrder : public QObject {
    Q_OBJECT
private slots:
    void inTheOrderOfTheirLines_data();
    void inTheOrderOfTheirLines();
};

void TestRecordOrder::inTheOrderOfTheirLines_data()
{
    QTest::addColumn<QList<Copies>>("records");
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<int>("waitedToTheEnd");
    QTest::addRow("one input") << QList<Copies>{{{0, 1}}, {{0, 2}, {0, 5}}, {{0, 3}}} << QList<int>{0, 1, 2} << 0;
    QTest::addRow("a beacon only in the second input, where that input has it")
        << QList<Copies>{{{0, 1}, {1, 1}}, {{0, 2}, {1, 2}}, {{0, 3}, {1, 4}}, {{1, 3}}}
        << QList<int>{0, 1, 3, 2} << 1;
    QTest::addRow("inputs of different passes, one after the other")
        << QList<Copies>{{{0, 1}}, {{0, 2}}, {{1, 1}}, {{1, 2}}} << QList<int>{0, 1, 2, 3} << 0;
    QTest::addRow("a beacon of each input between two shared ones: the one copied first first")
        << QList<Copies>{{{0, 1}, {1, 1}}, {{0, 2}}, {{0, 3}, {1, 3}}, {{1, 2}}} << QList<int>{0, 1, 3, 2} << 1;
    QTest::addRow("the second input begins earlier")
        << QList<Copies>{{{0, 1}, {1, 2}}, {{0, 2}, {1, 3}}, {{1, 1}}} << QList<int>{2, 0, 1} << 2;
    QTest::addRow("three inputs")
        << QList<Copies>{{{0, 1}, {1, 1}, {2, 1}}, {{0, 2}, {1, 3}, {2, 3}}, {{1, 2}}, {{2, 2}}}
        << QList<int>{0, 2, 3, 1} << 1;
    QTest::addRow("inputs that disagree: the record copied first first")
        << QList<Copies>{{{0, 1}, {1, 2}}, {{0, 2}, {1, 1}}} << QList<int>{0, 1} << 2;
    QTest::addRow("three inputs that disagree")
        << QList<Copies>{{{0, 1}, {2, 2}}, {{0, 2}, {1, 1}}, {{1, 2}, {2, 1}}} << QList<int>{0, 1, 2} << 3;
    QTest::addRow("several beacons on one line")
        << QList<Copies>{{{0, 3}, {1, 5}}, {{0, 3}, {1, 5}}, {{0, 3}}} << QList<int>{0, 1, 2} << 3;
    QTest::addRow("a record waits only while a later line could go before it")
        << QList<Copies>{{{0, 1}, {1, 9}}, {{0, 2}}, {{0, 3}}, {{1, 1}}, {{1, 10}}, {{1, 11}}}
        << QList<int>{3, 0, 1, 2, 4, 5} << 0;
}

void TestRecordOrder::inTheOrderOfTheirLines()
{
    QFETCH(QList<Copies>, records);
    QFETCH(QList<int>, order);
    QFETCH(int, waitedToTheEnd);
    const Ordered out = ordered(records);
    QCOMPARE(out.order, order);
    QCOMPARE(out.waitedToTheEnd, waitedToTheEnd);
}

QTEST_GUILESS_MAIN(TestRecordOrder)
#include "tst_recordorder.moc"
