// SPDX-License-Identifier: GPL-3.0-or-later
// The bench's seasons: beacons a period apart in passes hours apart, neighbours that look
// alike, and the logs of several stations merged.
#include "bench/seasoncorpus.h"

#include <QTest>
#include <algorithm>
#include <cctype>

using namespace orvik;
using namespace orvik::bench;

Q_DECLARE_METATYPE(orvik::bench::Merge)

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

int hexDigitsDiffering(std::uint32_t a, std::uint32_t b)
{
    int n = 0;
    for (std::uint32_t x = a ^ b; x != 0; x >>= 4)
        n += (x & 15) != 0;
    return n;
}

} // namespace

class TestSeasonCorpus : public QObject {
    Q_OBJECT
private slots:
    void seasonNeighboursLookAlike_data();
    void seasonNeighboursLookAlike();
    void stationLogsAreMerged_data();
    void stationLogsAreMerged();
};

void TestSeasonCorpus::seasonNeighboursLookAlike_data()
{
    QTest::addColumn<int>("period");
    QTest::addColumn<double>("oneDigitShare"); // at least, of neighbours' times; < 0: not asked
    // 64 s is 0x40: one hex digit changes unless it carries. The other periods change two.
    QTest::addRow("30 s") << 30 << -1.0;
    QTest::addRow("60 s") << 60 << -1.0;
    QTest::addRow("64 s") << 64 << 0.5;
    QTest::addRow("90 s") << 90 << -1.0;
    QTest::addRow("120 s") << 120 << -1.0;
}

void TestSeasonCorpus::seasonNeighboursLookAlike()
{
    QFETCH(int, period);
    QFETCH(double, oneDigitShare);
    const Corpus c = makeSeason({period, 4000, 0, 1, Merge::Interleave, true, 21});
    const auto time = [&](std::size_t b) { return std::uint32_t(c.truth[b][0]); };
    const auto after = [](std::uint32_t a, std::uint32_t b) { return (b - a) & 0xFFFFFFu; };
    std::vector<int> differing;
    std::size_t oneDigit = 0;
    std::size_t passStart = 0;
    double elapsed = 0;
    for (std::size_t b = 1; b < c.sent.size(); ++b) {
        elapsed += after(time(b - 1), time(b));
        if (c.passOf[b] != c.passOf[b - 1]) {
            QVERIFY2(after(time(b - 1), time(b)) >= 3600, "passes less than an hour apart");
            QVERIFY2(after(time(passStart), time(b - 1)) <= 900, "a pass longer than 15 minutes");
            QVERIFY2(after(time(passStart), time(b - 1)) + std::uint32_t(period) >= 360,
                     "a pass shorter than 6 minutes");
            passStart = b;
            continue;
        }
        QCOMPARE(after(time(b - 1), time(b)), std::uint32_t(period));
        int n = 0;
        for (std::size_t i = 0; i < c.sent[b].size(); ++i)
            n += c.sent[b][i] != c.sent[b - 1][i];
        differing.push_back(n);
        oneDigit += hexDigitsDiffering(time(b - 1), time(b)) == 1;
    }
    QVERIFY(!differing.empty());
    // Often only a few characters: at least a quarter of neighbours differ in 8 of 120 or fewer.
    const auto few = std::count_if(differing.begin(), differing.end(), [](int n) { return n <= 8; });
    QVERIFY2(few * 4 >= long(differing.size()),
             qPrintable(QStringLiteral("%1 of %2 neighbours differ in 8 characters or fewer")
                            .arg(few)
                            .arg(differing.size())));
    const double passesADay = double(c.passOf.back() + 1) / (elapsed / 86400);
    QVERIFY2(passesADay >= 3 && passesADay <= 10, qPrintable(QString::number(passesADay)));
    if (oneDigitShare >= 0)
        QVERIFY(double(oneDigit) >= oneDigitShare * double(differing.size()));
}

void TestSeasonCorpus::stationLogsAreMerged_data()
{
    QTest::addColumn<int>("stations");
    QTest::addColumn<Merge>("merge");
    for (int stations = 1; stations <= 3; ++stations) {
        QTest::addRow("%d, one log after another", stations) << stations << Merge::Concatenate;
        QTest::addRow("%d, pass by pass", stations) << stations << Merge::Interleave;
    }
}

void TestSeasonCorpus::stationLogsAreMerged()
{
    QFETCH(int, stations);
    QFETCH(Merge, merge);
    const Corpus c = makeSeason({90, 3000, 0, stations, merge, false, 8});
    std::vector<int> copies(c.sent.size());
    std::size_t earlierBeacon = 0; // lines whose beacon was sent before the line above's
    std::size_t earlierPass = 0;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        QCOMPARE(c.spansOf(i).size(), std::size_t(1));
        const std::uint32_t b = c.spansOf(i)[0].beacon;
        QCOMPARE(lower(c.lines[i]), c.sent[b]);
        ++copies[b];
        if (i > 0) {
            const std::uint32_t above = c.spansOf(i - 1)[0].beacon;
            earlierBeacon += b < above;
            earlierPass += c.passOf[b] < c.passOf[above];
        }
    }
    QVERIFY(std::all_of(copies.begin(), copies.end(), [&](int n) { return n <= stations; }));
    // Each station misses some beacons, and the stations together hear more than one does.
    QVERIFY(std::count(copies.begin(), copies.end(), 0) > 0);
    QVERIFY(long(c.lines.size()) > std::count_if(copies.begin(), copies.end(), [](int n) { return n > 0; }) ||
            stations == 1);
    if (merge == Merge::Concatenate) {
        QCOMPARE(earlierBeacon, std::size_t(stations - 1));
    } else {
        QCOMPARE(earlierPass, std::size_t(0));
        QVERIFY(earlierBeacon > 0 || stations == 1);
    }
}

QTEST_APPLESS_MAIN(TestSeasonCorpus)
#include "tst_seasoncorpus.moc"
