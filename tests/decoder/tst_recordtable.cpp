// SPDX-License-Identifier: GPL-3.0-or-later
// The record table and the parser that rebuilds it from the log text.
#include "decoder/beacon.h"
#include "decoder/recordtable.h"
#include "support/logtext.h"
#include "support/referenceline.h"

#include <QTest>
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

using orvik::Record;
using orvik::RecordTable;

namespace {

const QString kReferenceLine = testsupport::referenceLine();

const QString kCrLf = QStringLiteral("\r\n");

std::u16string_view view(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

QString withText(QString line, int pos, const QString& text)
{
    line.replace(pos - 1, text.size(), text);
    return line;
}

// A beacon line told apart by its seed: the OBC time (channel 0) is the seed, and the
// byte at 44 (channel 14) and the byte at 62 (channel 20) follow it too.
QString beacon(int seed)
{
    QString s = withText(kReferenceLine, 6, QString::asprintf("%06x", seed));
    s = withText(s, 44, QString::asprintf("%02x", seed & 0xFF));
    return withText(s, 62, QString::asprintf("%02x", (seed * 7) & 0xFF));
}

Record decode(const QString& line)
{
    Record r{};
    orvik::decodeBeaconLine(view(line), r);
    return r;
}

QString exact(double d)
{
    return QString::asprintf("%.17g [0x%016llx]", d,
                             static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(d)));
}

// Compares one row of the table with a record, bit for bit; a message names the channel.
bool rowIs(const RecordTable& t, int row, const Record& want, QString* why)
{
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        if (exact(t.value(row, c)) != exact(want[std::size_t(c)])) {
            *why = QStringLiteral("row %1 channel %2: %3, expected %4")
                       .arg(row)
                       .arg(c)
                       .arg(exact(t.value(row, c)), exact(want[std::size_t(c)]));
            return false;
        }
    }
    return true;
}

#define VERIFY_ROW(table, row, record)                                                                       \
    do {                                                                                                     \
        QString why_;                                                                                        \
        QVERIFY2(rowIs((table), (row), (record), &why_), qPrintable(why_));                                  \
    } while (false)

const Record kZero{};

void parse(const QString& text, RecordTable& table) { testsupport::parseCrLfLog(view(text), table); }

QString joined(int first, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << beacon(first + i);
    return lines.join(kCrLf);
}

} // namespace

class TestRecordTable : public QObject {
    Q_OBJECT
private slots:
    void freshTable();
    void split_data();
    void split();
    void rowsAboveCountKept();
    void noBeaconLinesKeepsRows();
    void rowZeroNeverWritten();
    void atMostHundred_data();
    void atMostHundred();
    void nothingWrittenBeyondRowHundred();
    void typingCharacterByCharacter();
    void valueAndRowAgree();
    void report_data();
    void report();
};

void TestRecordTable::freshTable()
{
    const auto table = std::make_unique<RecordTable>();
    QCOMPARE(table->count(), 0);
    for (int n = 0; n <= RecordTable::kMaxRecords; ++n)
        VERIFY_ROW(*table, n, kZero);
    QCOMPARE(RecordTable::kMaxRecords, 100);
}

void TestRecordTable::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("records"); // the beacon lines expected in rows 1, 2, ...

    const QString a = beacon(1), b = beacon(2), c = beacon(3);
    const QString notBeacon = b.left(119);
    const QString eAcute = QStringLiteral("\u00e9");

    QTest::addRow("empty text") << QString() << QStringList{};
    QTest::addRow("one beacon line") << a << QStringList{a};
    QTest::addRow("reference line") << kReferenceLine << QStringList{kReferenceLine};
    QTest::addRow("three beacon lines") << a + kCrLf + b + kCrLf + c << QStringList{a, b, c};
    QTest::addRow("A beacon, B not, C beacon") << a + kCrLf + notBeacon + kCrLf + c << QStringList{a, c};
    QTest::addRow("B with trailing blank, 121") << a + kCrLf + b + u' ' + kCrLf + c << QStringList{a, c};
    QTest::addRow("same line twice") << a + kCrLf + a << QStringList{a, a};
    QTest::addRow("text order kept") << c + kCrLf + a + kCrLf + b << QStringList{c, a, b};

    // Splitting at "\r\n" only.
    QTest::addRow("ends in CRLF") << a + kCrLf << QStringList{a};
    QTest::addRow("starts with CRLF") << kCrLf + a << QStringList{a};
    QTest::addRow("empty lines between") << a + kCrLf + kCrLf + kCrLf + b << QStringList{a, b};
    QTest::addRow("CRLF alone") << kCrLf << QStringList{};
    QTest::addRow("line feeds only") << a + u'\n' + b + u'\n' + c << QStringList{};
    QTest::addRow("carriage returns only") << a + u'\r' + b + u'\r' + c << QStringList{};
    QTest::addRow("LF CR is no break") << a + u'\n' + u'\r' + b << QStringList{};
    QTest::addRow("beacon then lone LF") << a + u'\n' << QStringList{};
    QTest::addRow("beacon then lone CR") << a + u'\r' << QStringList{};
    QTest::addRow("LF before CRLF") << a + u'\n' + kCrLf + b << QStringList{b};
    QTest::addRow("CR before CRLF") << a + u'\r' + kCrLf + b << QStringList{b};
    QTest::addRow("CRLF inside the tail") << withText(a, 100, kCrLf) << QStringList{};
    QTest::addRow("beacon inside a longer line") << QStringLiteral("xx") + a << QStringList{};

    // The beacon-line test.
    QTest::addRow("119 characters") << a.left(119) << QStringList{};
    QTest::addRow("121, trailing blank") << a + u' ' << QStringList{};
    QTest::addRow("all capitals") << a.toUpper() << QStringList{a.toUpper()};
    QTest::addRow("capitals then lower case") << a.toUpper() + kCrLf + b << QStringList{a.toUpper(), b};
    QTest::addRow("e acute in tail") << withText(a, 95, eAcute) << QStringList{withText(a, 95, eAcute)};
    QTest::addRow("e acute in field") << withText(a, 24, eAcute) << QStringList{withText(a, 24, eAcute)};
    QTest::addRow("orv4 missing in B")
        << a + kCrLf + withText(b, 39, "orw4") + kCrLf + c << QStringList{a, c};
    QTest::addRow("no beacon lines") << QStringLiteral("hello\r\nworld\r\n") << QStringList{};
}

void TestRecordTable::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, records);

    const auto table = std::make_unique<RecordTable>();
    parse(text, *table);
    QCOMPARE(table->count(), int(records.size()));
    VERIFY_ROW(*table, 0, kZero);
    for (int n = 1; n <= records.size(); ++n)
        VERIFY_ROW(*table, n, decode(records[n - 1]));
    for (int n = int(records.size()) + 1; n <= RecordTable::kMaxRecords; ++n)
        VERIFY_ROW(*table, n, kZero);
}

// 8 records, then 5: rows 1-5 hold the new records, rows 6-8 keep the earlier ones.
void TestRecordTable::rowsAboveCountKept()
{
    const auto table = std::make_unique<RecordTable>();
    parse(joined(100, 8), *table);
    QCOMPARE(table->count(), 8);
    for (int n = 1; n <= 8; ++n)
        VERIFY_ROW(*table, n, decode(beacon(100 + n - 1)));

    parse(joined(200, 5), *table);
    QCOMPARE(table->count(), 5);
    for (int n = 1; n <= 5; ++n)
        VERIFY_ROW(*table, n, decode(beacon(200 + n - 1)));
    for (int n = 6; n <= 8; ++n)
        VERIFY_ROW(*table, n, decode(beacon(100 + n - 1)));
    QCOMPARE(table->value(6, 0), 105.0);
    QCOMPARE(table->value(8, 0), 107.0);
    for (int n = 9; n <= RecordTable::kMaxRecords; ++n)
        VERIFY_ROW(*table, n, kZero);
    VERIFY_ROW(*table, 0, kZero);
}

// A log without beacon lines, and an empty log, set the count to 0 and clear nothing.
void TestRecordTable::noBeaconLinesKeepsRows()
{
    const auto table = std::make_unique<RecordTable>();
    parse(joined(1, 3), *table);
    QCOMPARE(table->count(), 3);

    for (const QString& text : {QStringLiteral("no beacon here\r\nnor here"), QString(), kCrLf}) {
        parse(text, *table);
        QCOMPARE(table->count(), 0);
        for (int n = 1; n <= 3; ++n)
            VERIFY_ROW(*table, n, decode(beacon(n)));
        VERIFY_ROW(*table, 0, kZero);
        VERIFY_ROW(*table, 4, kZero);
    }
}

void TestRecordTable::rowZeroNeverWritten()
{
    const auto table = std::make_unique<RecordTable>();
    parse(joined(1, 150), *table);
    parse(kReferenceLine, *table);
    parse(kReferenceLine.toUpper() + kCrLf + kReferenceLine, *table);
    QCOMPARE(table->count(), 2);
    VERIFY_ROW(*table, 0, kZero);
}

void TestRecordTable::atMostHundred_data()
{
    QTest::addColumn<int>("beacons");
    QTest::addColumn<bool>("withOtherLines");

    for (int n : {99, 100, 101, 105, 250})
        for (bool other : {false, true})
            QTest::addRow("%d beacon lines%s", n, other ? ", other lines between" : "") << n << other;
}

// At most 100 records: the 101st and later beacon lines are left out.
void TestRecordTable::atMostHundred()
{
    QFETCH(int, beacons);
    QFETCH(bool, withOtherLines);

    QStringList lines;
    for (int i = 1; i <= beacons; ++i) {
        if (withOtherLines)
            lines << QStringLiteral("not a beacon %1").arg(i) << beacon(i).left(119);
        lines << beacon(i);
    }
    const auto table = std::make_unique<RecordTable>();
    parse(lines.join(kCrLf), *table);
    const int expected = qMin(beacons, 100);
    QCOMPARE(table->count(), expected);
    VERIFY_ROW(*table, 0, kZero);
    for (int n = 1; n <= expected; ++n)
        VERIFY_ROW(*table, n, decode(beacon(n)));
    for (int n = expected + 1; n <= 100; ++n)
        VERIFY_ROW(*table, n, kZero);

    // A second, equally long parse of other lines replaces all of them, again at most 100.
    parse(joined(5000, beacons), *table);
    QCOMPARE(table->count(), expected);
    for (int n = 1; n <= expected; ++n)
        VERIFY_ROW(*table, n, decode(beacon(5000 + n - 1)));
    VERIFY_ROW(*table, 0, kZero);
}

// Memory right behind the table stays untouched by a log of far more than 100 beacons.
void TestRecordTable::nothingWrittenBeyondRowHundred()
{
    struct Guarded {
        RecordTable table;
        std::array<double, 2 * orvik::kChannelCount> guard;
    };
    constexpr double kSentinel = -12345.678;
    const auto g = std::make_unique<Guarded>();
    g->guard.fill(kSentinel);

    parse(joined(1, 300), g->table);
    QCOMPARE(g->table.count(), 100);
    VERIFY_ROW(g->table, 100, decode(beacon(100)));
    for (double d : g->guard)
        QCOMPARE(exact(d), exact(kSentinel));
}

// Typing a beacon line character by character adds the record at exactly 120
// characters and drops it again at 121.
void TestRecordTable::typingCharacterByCharacter()
{
    const QString earlier = beacon(7);
    const QString typed = beacon(8) + QStringLiteral("00");
    const auto table = std::make_unique<RecordTable>();
    for (int k = 0; k <= typed.size(); ++k) {
        parse(earlier + kCrLf + typed.left(k), *table);
        QCOMPARE(table->count(), k == 120 ? 2 : 1);
        VERIFY_ROW(*table, 1, decode(earlier));
    }
    // Row 2 keeps what the 120-character state wrote.
    VERIFY_ROW(*table, 2, decode(beacon(8)));
}

void TestRecordTable::valueAndRowAgree()
{
    const auto table = std::make_unique<RecordTable>();
    parse(joined(40, 12), *table);
    for (int n = 0; n <= RecordTable::kMaxRecords; ++n)
        for (int c = 0; c < orvik::kChannelCount; ++c)
            QCOMPARE(exact(table->value(n, c)), exact(table->row(n)[std::size_t(c)]));
    QCOMPARE(table->value(1, 0), 40.0);
    QCOMPARE(table->value(12, 0), 51.0);
}

using Lines = QList<qsizetype>;

void TestRecordTable::report_data()
{
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("lines");
    QTest::addColumn<Lines>("notDecoded");
    QTest::addColumn<Lines>("doubtful");
    QTest::addColumn<int>("leftOut");
    QTest::addColumn<int>("firstLeftOut");

    QStringList mixed;
    for (int i = 0; i < 37; ++i)
        mixed << beacon(i);
    mixed[16] = beacon(16) + u' ';
    mixed[20] = beacon(20).left(100);
    mixed[33] = withText(beacon(33), 39, "orw4");
    mixed[36] = QStringLiteral("73 de DL1ABC");
    QTest::addRow("37 lines, 4 not decoded") << mixed << 37 << Lines{16, 20, 33, 36} << Lines{} << 0 << 0;
    QStringList many;
    for (int i = 0; i < 130; ++i)
        many << beacon(i);
    many.insert(5, QString());
    QTest::addRow("130 beacon lines") << many << 130 << Lines{} << Lines{} << 30 << 101;
    QTest::addRow("blank lines are no lines")
        << QStringList{beacon(1), QString(), QStringLiteral(" \t "), beacon(2)} << 2 << Lines{} << Lines{}
        << 0 << 0;
    QTest::addRow("a field of zz") << QStringList{beacon(1), withText(beacon(2), 36, "zz")} << 2 << Lines{}
                                   << Lines{1} << 0 << 0;
    QTest::addRow("no beacon line") << QStringList{QStringLiteral("hello")} << 1 << Lines{0} << Lines{} << 0
                                    << 0;
    QTest::addRow("empty log") << QStringList{} << 0 << Lines{} << Lines{} << 0 << 0;
}

// The report counts what the parse left out, and the parse fills the same rows as without.
void TestRecordTable::report()
{
    QFETCH(QStringList, log);
    QFETCH(int, lines);
    QFETCH(Lines, notDecoded);
    QFETCH(Lines, doubtful);
    QFETCH(int, leftOut);
    QFETCH(int, firstLeftOut);

    std::vector<std::u16string_view> views;
    for (const QString& line : std::as_const(log))
        views.push_back(view(line));
    const auto table = std::make_unique<RecordTable>();
    orvik::LogReport report;
    orvik::parseLogLines(views, *table, &report);
    QCOMPARE(int(report.lines), lines);
    QCOMPARE(Lines(report.notDecoded.begin(), report.notDecoded.end()), notDecoded);
    QCOMPARE(Lines(report.doubtful.begin(), report.doubtful.end()), doubtful);
    QCOMPARE(int(report.leftOut), leftOut);
    QCOMPARE(int(report.firstLeftOut), firstLeftOut);

    const auto plain = std::make_unique<RecordTable>();
    parse(log.join(kCrLf), *plain);
    QCOMPARE(table->count(), plain->count());
    QCOMPARE(int(report.recordLines.size()), plain->count());
    for (int n = 1; n <= plain->count(); ++n) {
        VERIFY_ROW(*table, n, plain->row(n));
        VERIFY_ROW(*table, n, decode(log[qsizetype(report.recordLines[std::size_t(n - 1)])]));
    }
}

QTEST_APPLESS_MAIN(TestRecordTable)
#include "tst_recordtable.moc"
