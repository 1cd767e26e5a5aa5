// SPDX-License-Identifier: GPL-3.0-or-later
// The bench's scoring: records are found their true beacons on every corpus, streams
// included, and wrong values, merged, split and lost beacons are counted as they are.
#include "bench/score.h"
#include "bench/seasoncorpus.h"

#include <QTest>
#include <algorithm>
#include <cmath>
#include <map>
#include <random>

using namespace orvik;
using namespace orvik::bench;

namespace {

// A record as the scorer takes it.
struct Made {
    Record values{};
    std::uint32_t leftOut = 0;
    std::vector<CopySource> copies;
};

CopySource sourceOf(const LoggedCopy& c) { return {0, c.line, c.lastLine > c.line ? c.lastLine : 0}; }

// The true values, NaN where left out.
Record truthWith(const Corpus& c, std::uint32_t beacon, std::uint32_t leftOut)
{
    Record r = c.truth[beacon];
    for (int ch = 0; ch < kChannelCount; ++ch) {
        if (leftOut >> ch & 1u)
            r[std::size_t(ch)] = std::nan("");
    }
    return r;
}

// One record a beacon that was copied, holding all its copies.
std::vector<Made> recordPerBeacon(const Corpus& c, std::uint32_t leftOut)
{
    std::map<std::uint32_t, Made> of;
    for (const LoggedCopy& copy : c.copies()) {
        Made& m = of[copy.beacon];
        m.values = truthWith(c, copy.beacon, leftOut);
        m.leftOut = leftOut;
        m.copies.push_back(sourceOf(copy));
    }
    std::vector<Made> out;
    for (auto& [b, m] : of)
        out.push_back(std::move(m));
    return out;
}

Tally scored(const Corpus& c, std::vector<Made> records)
{
    std::mt19937 shuffle(5);
    std::shuffle(records.begin(), records.end(), shuffle);
    Scorer scorer(c);
    for (const Made& m : records)
        scorer.add(m.values, m.leftOut, m.copies);
    return scorer.tally();
}

int written(std::uint32_t leftOut) { return kChannelCount - std::popcount(leftOut); }

constexpr std::uint32_t kAllButFrame6 = (1u << 26) - 1; // channels 0 to 25 left out

void corpusRows()
{
    QTest::addColumn<Corpus>("corpus");
    QTest::addRow("blank, 2 copies") << makeCorpus({Layout::Blank, 1500, 0.02, 2, 1});
    QTest::addRow("varied, 3 copies") << makeCorpus({Layout::Varied, 1500, 0.02, 3, 2});
    for (int copies = 1; copies <= 3; ++copies)
        QTest::addRow("stream, %d copies", copies) << makeCorpus({Layout::Stream, 1500, 0.02, copies, 3});
    QTest::addRow("season 64 s, 3 stations, one log after another")
        << makeSeason({64, 1500, 0.02, 3, Merge::Concatenate, false, 4});
    QTest::addRow("season 30 s, varied, 2 stations, pass by pass")
        << makeSeason({30, 1500, 0.02, 2, Merge::Interleave, true, 5});
}

std::size_t copiedBeacons(const Corpus& c)
{
    std::vector<bool> copied(c.sent.size());
    for (const LoggedCopy& copy : c.copies())
        copied[copy.beacon] = true;
    return std::size_t(std::count(copied.begin(), copied.end(), true));
}

} // namespace

class TestScore : public QObject {
    Q_OBJECT
private slots:
    void trueRecordsScoreFull_data();
    void trueRecordsScoreFull();
    void copiesAloneAreSplit_data() { corpusRows(); }
    void copiesAloneAreSplit();
    void wrongValuesAreCounted_data();
    void wrongValuesAreCounted();
    void neighboursMergedAreCounted_data();
    void neighboursMergedAreCounted();
    void recordsOfNothingRightStandForNoBeacon_data();
    void recordsOfNothingRightStandForNoBeacon();
    void strictReadsWholeLinesAlone_data();
    void strictReadsWholeLinesAlone();
};

void TestScore::trueRecordsScoreFull_data()
{
    QTest::addColumn<Corpus>("corpus");
    QTest::addColumn<std::uint32_t>("leftOut");
    const QList<QPair<const char*, std::uint32_t>> masks{
        {"every value",      0            },
        {"no on-board time", 1            },
        {"frame 6 alone",    kAllButFrame6}
    };
    const auto add = [&](const char* name, const Corpus& c) {
        for (const auto& [what, mask] : masks)
            QTest::addRow("%s, %s", name, what) << c << mask;
    };
    add("varied, 3 copies", makeCorpus({Layout::Varied, 1500, 0.02, 3, 2}));
    for (int copies = 1; copies <= 3; ++copies)
        add(qPrintable(QStringLiteral("stream, %1 copies").arg(copies)),
            makeCorpus({Layout::Stream, 1500, 0.02, copies, 3}));
    add("season 64 s", makeSeason({64, 1500, 0.02, 3, Merge::Interleave, false, 4}));
}

void TestScore::trueRecordsScoreFull()
{
    QFETCH(Corpus, corpus);
    QFETCH(std::uint32_t, leftOut);
    const Tally t = scored(corpus, recordPerBeacon(corpus, leftOut));
    const std::size_t copied = copiedBeacons(corpus);
    QCOMPARE(t.beacons, corpus.sent.size());
    QCOMPARE(t.copied, copied);
    QCOMPARE(t.records, copied);
    QCOMPARE(t.kept, copied);
    QCOMPARE(t.right, std::uint64_t(copied) * std::uint64_t(written(leftOut)));
    QCOMPARE(t.sent, std::uint64_t(corpus.sent.size()) * kChannelCount);
    QCOMPARE(t.wrong, std::uint64_t(0));
    QCOMPARE(t.merged, std::size_t(0));
    QCOMPARE(t.split, std::size_t(0));
}

void TestScore::copiesAloneAreSplit()
{
    QFETCH(Corpus, corpus);
    std::vector<Made> records;
    const std::vector<LoggedCopy> copies = corpus.copies();
    for (const LoggedCopy& copy : copies)
        records.push_back({truthWith(corpus, copy.beacon, 0), 0, {sourceOf(copy)}});
    const Tally t = scored(corpus, records);
    QCOMPARE(t.records, copies.size());
    QCOMPARE(t.kept, copiedBeacons(corpus));
    QCOMPARE(t.split, copies.size() - t.kept);
    QCOMPARE(t.merged, std::size_t(0));
    QCOMPARE(t.wrong, std::uint64_t(0));
}

void TestScore::wrongValuesAreCounted_data()
{
    QTest::addColumn<Corpus>("corpus");
    QTest::addColumn<int>("channel"); // changed in every third record
    QTest::addColumn<std::uint32_t>("leftOut");
    const Corpus stream = makeCorpus({Layout::Stream, 1500, 0.02, 2, 6});
    const Corpus season = makeSeason({64, 1500, 0.02, 2, Merge::Interleave, false, 7});
    for (const int channel : {0, 13, 30}) {
        QTest::addRow("stream, channel %d", channel) << stream << channel << 0u;
        QTest::addRow("season, channel %d", channel) << season << channel << 0u;
    }
    QTest::addRow("stream, channel 30 of frame 6 alone") << stream << 30 << kAllButFrame6;
}

void TestScore::wrongValuesAreCounted()
{
    QFETCH(Corpus, corpus);
    QFETCH(int, channel);
    QFETCH(std::uint32_t, leftOut);
    std::vector<Made> records = recordPerBeacon(corpus, leftOut);
    std::uint64_t changed = 0;
    for (std::size_t i = 0; i < records.size(); i += 3, ++changed)
        records[i].values[std::size_t(channel)] += 1;
    const Tally t = scored(corpus, records);
    const auto values = std::uint64_t(records.size()) * std::uint64_t(written(leftOut));
    QCOMPARE(t.written, values);
    QCOMPARE(t.wrong, changed);
    QCOMPARE(t.right, values - changed);
    QCOMPARE(t.kept, records.size());
}

void TestScore::neighboursMergedAreCounted_data()
{
    QTest::addColumn<Corpus>("corpus");
    for (const int period : {30, 64, 120}) {
        for (int stations = 1; stations <= 3; ++stations)
            QTest::addRow("%d s, %d stations", period, stations)
                << makeSeason({period, 1500, 0.02, stations, Merge::Interleave, false, 8});
    }
}

void TestScore::neighboursMergedAreCounted()
{
    QFETCH(Corpus, corpus);
    std::vector<Made> records = recordPerBeacon(corpus, 0);
    // Every third record takes the copies of the next beacon of its pass, if it was copied.
    std::vector<std::uint32_t> beaconOf;
    for (const Made& m : records)
        beaconOf.push_back(corpus.spansOf(std::size_t(m.copies.front().line - 1)).front().beacon);
    std::size_t merged = 0;
    for (std::size_t i = 0; i + 1 < records.size(); i += 3) {
        if (beaconOf[i + 1] != beaconOf[i] + 1 ||
            corpus.passOf[beaconOf[i]] != corpus.passOf[beaconOf[i + 1]])
            continue;
        records[i].copies.insert(records[i].copies.end(), records[i + 1].copies.begin(),
                                 records[i + 1].copies.end());
        records[i + 1].copies.clear();
        ++merged;
    }
    std::erase_if(records, [](const Made& m) { return m.copies.empty(); });
    QVERIFY(merged > 0);
    const Tally t = scored(corpus, records);
    QCOMPARE(t.merged, merged);
    QCOMPARE(t.kept, copiedBeacons(corpus) - merged);
    QCOMPARE(t.wrong, std::uint64_t(0));
    QCOMPARE(t.split, std::size_t(0));
}

void TestScore::recordsOfNothingRightStandForNoBeacon_data()
{
    QTest::addColumn<Corpus>("corpus");
    QTest::addColumn<bool>("anyWritten"); // else every value is left out
    const Corpus stream = makeCorpus({Layout::Stream, 1000, 0.02, 2, 9});
    const Corpus season = makeSeason({90, 1000, 0.02, 3, Merge::Concatenate, false, 9});
    QTest::addRow("stream, every value wrong") << stream << true;
    QTest::addRow("stream, no value") << stream << false;
    QTest::addRow("season, every value wrong") << season << true;
    QTest::addRow("season, no value") << season << false;
}

void TestScore::recordsOfNothingRightStandForNoBeacon()
{
    QFETCH(Corpus, corpus);
    QFETCH(bool, anyWritten);
    std::vector<Made> records = recordPerBeacon(corpus, anyWritten ? 0 : (1u << kChannelCount) - 1);
    // No channel gives this value, so no neighbour on the same lines can hold it either.
    for (Made& m : records)
        m.values.fill(-12345.678);
    const Tally t = scored(corpus, records);
    QCOMPARE(t.records, anyWritten ? records.size() : 0);
    QCOMPARE(t.kept, std::size_t(0));
    QCOMPARE(t.right, std::uint64_t(0));
    QCOMPARE(t.wrong, t.written);
    QCOMPARE(t.written, anyWritten ? std::uint64_t(records.size()) * kChannelCount : 0);
    QCOMPARE(t.merged, std::size_t(0));
}

void TestScore::strictReadsWholeLinesAlone_data()
{
    QTest::addColumn<Corpus>("corpus");
    QTest::addRow("blank") << makeCorpus({Layout::Blank, 1000, 0, 2, 10});
    QTest::addRow("varied") << makeCorpus({Layout::Varied, 1000, 0, 3, 10});
    QTest::addRow("stream") << makeCorpus({Layout::Stream, 3000, 0, 2, 10});
    QTest::addRow("season") << makeSeason({60, 1000, 0, 2, Merge::Interleave, true, 10});
}

void TestScore::strictReadsWholeLinesAlone()
{
    QFETCH(Corpus, corpus);
    // Without errors, a beacon is read when a line holds its copy and nothing else.
    std::vector<bool> alone(corpus.sent.size());
    std::size_t lines = 0;
    for (std::size_t i = 0; i < corpus.lines.size(); ++i) {
        const auto s = corpus.spansOf(i);
        if (s.size() == 1 && s[0].length == corpus.lines[i].size() &&
            s[0].length == corpus.sent[s[0].beacon].size()) {
            alone[s[0].beacon] = true;
            ++lines;
        }
    }
    const auto kept = std::size_t(std::count(alone.begin(), alone.end(), true));
    const Tally t = scoreStrict(corpus);
    QCOMPARE(t.records, lines);
    QCOMPARE(t.kept, kept);
    QCOMPARE(t.right, std::uint64_t(kept) * kChannelCount);
    QCOMPARE(t.wrong, std::uint64_t(0));
    QCOMPARE(t.split, lines - kept);
}

QTEST_APPLESS_MAIN(TestScore)
#include "tst_score.moc"
