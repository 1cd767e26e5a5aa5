// SPDX-License-Identifier: GPL-3.0-or-later
// Trend reads of a real archive: whole records while they fit the columns, else each column's
// minimum and maximum; the newest run of records ended by an hour's gap.
#include "archive/archivequery.h"
#include "storedrecords.h"

#include <QTemporaryDir>
#include <QTest>
#include <cmath>

using namespace orvik;

namespace {

// Records one second apart from t0; channel 11 holds `value(i)`.
void fill(Archive& archive, const std::vector<qint64>& times, const std::function<double(int)>& value)
{
    std::vector<ArchiveEntry> entries;
    for (std::size_t i = 0; i < times.size(); ++i) {
        ArchiveEntry e;
        e.line = "line " + std::to_string(i);
        e.values.fill(std::nan(""));
        e.values[0] = double(i);
        e.values[11] = value(int(i));
        e.receivedMs = times[i];
        e.source = QStringLiteral("test");
        entries.push_back(e);
    }
    const QString error = storeRecords(archive, entries);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

std::vector<qint64> seconds(int n)
{
    std::vector<qint64> out;
    for (int i = 0; i < n; ++i)
        out.push_back(1'000'000 + qint64(i) * 1000);
    return out;
}

} // namespace

class TestArchiveQuery : public QObject {
    Q_OBJECT
private slots:
    void columns_data();
    void columns();
    void newestRun_data();
    void newestRun();
};

void TestArchiveQuery::columns_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("reduced");
    QTest::addRow("fewer than the columns") << 50 << 100 << false;
    QTest::addRow("two per column") << 200 << 100 << false;
    QTest::addRow("one more") << 201 << 100 << true;
    QTest::addRow("many per column") << 5000 << 37 << true;
}

void TestArchiveQuery::columns()
{
    QFETCH(int, records);
    QFETCH(int, columns);
    QFETCH(bool, reduced);
    QTemporaryDir dir;
    Archive archive;
    QString error;
    QVERIFY(archive.open(dir.filePath("a.sqlite"), Archive::Access::ReadWrite, &error));
    // A saw tooth with one spike up and one down, somewhere inside a column.
    const auto value = [records](int i) {
        return i == records / 3 ? 99.5 : i == records / 2 ? -7.25 : double(i % 7);
    };
    fill(archive, seconds(records), value);
    TrendData data;
    const int channels[] = {11};
    const double lo = 1'000'000;
    const double hi = lo + (records - 1) * 1000.0;
    QVERIFY(readTrend(archive, channels, TrendTime::Received, lo, hi, columns, &data, &error));
    QCOMPARE(data.records, qint64(records));
    QCOMPARE(data.reduced, reduced);
    const QList<QPointF>& points = data.lines.at(0).points;
    QVERIFY(points.size() <= 2 * columns);
    if (!reduced)
        QCOMPARE(points.size(), qsizetype(records));
    for (const QPointF& p : points) // every point is a record as stored
        QCOMPARE(p.y(), value(int((p.x() - lo) / 1000)));
    QVERIFY(points.contains(QPointF(lo + records / 3 * 1000.0, 99.5)));
    QVERIFY(points.contains(QPointF(lo + records / 2 * 1000.0, -7.25)));
    QVERIFY(std::is_sorted(points.begin(), points.end(),
                           [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));

    // On board: the same records along channel 0, in seconds times 1000.
    QVERIFY(
        readTrend(archive, channels, TrendTime::OnBoard, 0, (records - 1) * 1000.0, columns, &data, &error));
    QCOMPARE(data.records, qint64(records));
    QVERIFY(data.lines.at(0).points.contains(QPointF(records / 3 * 1000.0, 99.5)));
}

void TestArchiveQuery::newestRun_data()
{
    QTest::addColumn<std::vector<qint64>>("minutes");
    QTest::addColumn<qint64>("first");
    QTest::addRow("one record") << std::vector<qint64>{5} << qint64(5);
    QTest::addRow("one pass") << std::vector<qint64>{1, 2, 3} << qint64(1);
    QTest::addRow("gap of an hour ends it") << std::vector<qint64>{0, 100, 160, 200} << qint64(160);
    QTest::addRow("gap just under an hour") << std::vector<qint64>{0, 100, 159, 200} << qint64(100);
    QTest::addRow("longer than the longest") << std::vector<qint64>{0, 50, 100, 150, 200, 250} << qint64(150);
    QTest::addRow("added out of order") << std::vector<qint64>{300, 10, 290, 250, 200} << qint64(200);
}

void TestArchiveQuery::newestRun()
{
    QFETCH(std::vector<qint64>, minutes);
    QFETCH(qint64, first);
    QTemporaryDir dir;
    Archive archive;
    QString error;
    QVERIFY(archive.open(dir.filePath("a.sqlite"), Archive::Access::ReadWrite, &error));
    std::vector<qint64> times;
    for (qint64 m : minutes)
        times.push_back(m * 60'000);
    fill(archive, times, [](int i) { return double(i); });
    qint64 from = 0;
    qint64 to = 0;
    QVERIFY(orvik::newestRun(archive, 3'600'000, 100 * 60'000, &from, &to, &error));
    QCOMPARE(from, first * 60'000);
    QCOMPARE(to, *std::max_element(times.begin(), times.end()));
}

QTEST_MAIN(TestArchiveQuery)
#include "tst_archivequery.moc"
