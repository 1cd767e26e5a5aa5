// SPDX-License-Identifier: GPL-3.0-or-later
#include "score.h"

#include <algorithm>
#include <bit>
#include <tuple>

namespace orvik::bench {

namespace {

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool isWritten(std::uint32_t leftOut, int channel) { return (leftOut >> channel & 1u) == 0; }

std::u16string wide(std::string_view s) { return std::u16string(s.begin(), s.end()); }

} // namespace

Scorer::Scorer(const Corpus& corpus)
    : m_corpus(corpus)
    , m_bestRight(corpus.sent.size())
    , m_records(corpus.sent.size())
    , m_merged(corpus.sent.size())
{
    std::vector<bool> copied(corpus.sent.size());
    for (const Span& s : corpus.spans)
        copied[s.beacon] = true;
    m_copied = std::size_t(std::count(copied.begin(), copied.end(), true));
}

template <class F> void Scorer::forEachSpan(const CopySource& copy, F&& f) const
{
    const std::uint64_t first = std::max<std::uint64_t>(copy.line, 1);
    const std::uint64_t last =
        std::min<std::uint64_t>({copy.last(), m_corpus.lines.size(), first + kWidestCopy - 1});
    for (std::uint64_t line = first; line <= last; ++line) {
        for (const Span& s : m_corpus.spansOf(std::size_t(line - 1)))
            f(s);
    }
}

int Scorer::rightValues(const Record& values, std::uint32_t leftOut, std::uint32_t beacon) const
{
    int right = 0;
    for (int ch = 0; ch < kChannelCount; ++ch)
        right +=
            isWritten(leftOut, ch) && same(values[std::size_t(ch)], m_corpus.truth[beacon][std::size_t(ch)]);
    return right;
}

std::uint32_t Scorer::beaconFor(const Record& values, std::uint32_t leftOut,
                                std::span<const CopySource> copies) const
{
    m_candidates.clear();
    for (const CopySource& copy : copies) {
        forEachSpan(copy, [this](const Span& s) {
            const auto at = std::find_if(m_candidates.begin(), m_candidates.end(),
                                         [&](const Candidate& c) { return c.beacon == s.beacon; });
            if (at == m_candidates.end())
                m_candidates.push_back({s.beacon, s.length});
            else
                at->support += s.length;
        });
    }
    std::sort(m_candidates.begin(), m_candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.beacon < b.beacon; });
    std::uint32_t best = kNone;
    std::tuple<bool, int, std::uint64_t> bestKey{};
    for (const Candidate& c : m_candidates) {
        const bool time = isWritten(leftOut, 0) && same(values[0], m_corpus.truth[c.beacon][0]);
        const std::tuple<bool, int, std::uint64_t> key{time, rightValues(values, leftOut, c.beacon),
                                                       c.support};
        if (best == kNone || key > bestKey) {
            best = c.beacon;
            bestKey = key;
        }
    }
    return best;
}

std::uint32_t Scorer::onlyBeaconOf(const CopySource& copy) const
{
    std::uint32_t only = kNone;
    bool several = false;
    forEachSpan(copy, [&](const Span& s) {
        several = several || (only != kNone && only != s.beacon);
        only = s.beacon;
    });
    return several ? kNone : only;
}

void Scorer::add(const Record& values, std::uint32_t leftOut, std::span<const CopySource> copies)
{
    int written = 0;
    for (int ch = 0; ch < kChannelCount; ++ch)
        written += isWritten(leftOut, ch);
    if (written == 0)
        return; // no record to whoever reads the output
    ++m_recordCount;
    std::uint32_t b = beaconFor(values, leftOut, copies);
    const int right = b == kNone ? 0 : rightValues(values, leftOut, b);
    if (right == 0)
        b = kNone; // every value wrong: the record stands for no beacon
    m_written += std::uint64_t(written);
    m_wrong += std::uint64_t(written - right);
    if (b == kNone)
        return;
    m_bestRight[b] = std::max(m_bestRight[b], std::uint8_t(right));
    ++m_records[b];
    for (const CopySource& copy : copies) {
        const std::uint32_t of = onlyBeaconOf(copy);
        if (of != kNone && of != b)
            m_merged[of] = true;
    }
}

Tally Scorer::tally() const
{
    Tally t;
    t.beacons = m_corpus.sent.size();
    t.sent = std::uint64_t(t.beacons) * kChannelCount;
    t.records = m_recordCount;
    t.copied = m_copied;
    t.written = m_written;
    t.wrong = m_wrong;
    t.keptEach.resize(t.beacons);
    t.mergedEach.assign(m_merged.begin(), m_merged.end());
    for (std::size_t b = 0; b < t.beacons; ++b) {
        t.right += m_bestRight[b];
        t.kept += m_records[b] > 0;
        t.keptEach[b] = m_records[b] > 0;
        t.split += m_records[b] > 1 ? m_records[b] - 1 : 0;
        t.merged += m_merged[b];
    }
    return t;
}

std::size_t keptThenLost(const Tally& before, const Tally& after)
{
    std::size_t lost = 0;
    for (std::size_t b = 0; b < before.keptEach.size() && b < after.keptEach.size(); ++b)
        lost += before.keptEach[b] && (!after.keptEach[b] || after.mergedEach[b]);
    return lost;
}

Tally scoreStrict(const Corpus& corpus)
{
    Scorer scorer(corpus);
    Record values{};
    for (std::size_t i = 0; i < corpus.lines.size(); ++i) {
        if (!isBeaconLine(std::string_view(corpus.lines[i])))
            continue;
        decodeBeaconLine(wide(corpus.lines[i]), values);
        const CopySource source{0, i + 1, 0};
        scorer.add(values, 0, std::span(&source, 1));
    }
    return scorer.tally();
}

Tally scoreRecovery(const Corpus& corpus)
{
    Scorer scorer(corpus);
    Recoverer recoverer;
    RecoveredRecord r;
    for (std::size_t i = 0; i < corpus.lines.size(); ++i) {
        recoverer.add(std::string_view(corpus.lines[i]), {0, i + 1, 0});
        while (recoverer.take(r, Recoverer::Ready::Passed))
            scorer.add(r.values, r.leftOutMask(), r.copies);
    }
    while (recoverer.take(r, Recoverer::Ready::All))
        scorer.add(r.values, r.leftOutMask(), r.copies);
    return scorer.tally();
}

} // namespace orvik::bench
