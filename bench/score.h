// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Scoring the records of the strict decoder and of the recovery against a corpus's true beacons.

#include "corpus.h"
#include "decoder/recover.h"

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace orvik::bench {

// The measures of one decoder on one corpus:
//   recall = values written right / values sent; a beacon's values are counted from the record
//            of it that holds most of them right, so no value counts twice;
//   wrong  = values written wrong / values written, over every record;
//   copied = true beacons with at least one copy in the log, the most that can be kept;
//   kept   = true beacons that got a record of their own;
//   merged = true beacons a copy of which ended in the record of another beacon;
//   split  = records of a beacon beyond its first.
struct Tally {
    std::uint64_t sent = 0;
    std::uint64_t right = 0;
    std::uint64_t written = 0;
    std::uint64_t wrong = 0;
    std::size_t beacons = 0;
    std::size_t records = 0;
    std::size_t copied = 0;
    std::size_t kept = 0;
    std::size_t merged = 0;
    std::size_t split = 0;
    std::vector<bool> keptEach;   // of each true beacon: it got a record of its own
    std::vector<bool> mergedEach; // of each true beacon: a copy of it ended in another's record

    double recall() const { return sent == 0 ? 0 : double(right) / double(sent); }
    double wrongShare() const { return written == 0 ? 0 : double(wrong) / double(written); }
    double keptShare() const { return beacons == 0 ? 0 : double(kept) / double(beacons); }
    double copiedShare() const { return beacons == 0 ? 0 : double(copied) / double(beacons); }
};

// The beacons that `before` kept and `after` did not keep, or merged into another's record.
std::size_t keptThenLost(const Tally& before, const Tally& after);

// Finds the true beacon of each record: among the beacons whose text lies on the lines its
// copies took, the one whose on-board time it holds, then the one of which it holds most
// values right, then the one with most text on those lines. A record that holds no value of
// that beacon right stands for none, and one that writes no value is no record at all.
class Scorer {
public:
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    // A copy said to run over more lines than this is looked for on its first lines alone.
    static constexpr std::uint64_t kWidestCopy = 16;

    explicit Scorer(const Corpus& corpus);

    // A record: its values, bit c of `leftOut` set for channel c not written, and the lines
    // its copies took, numbered from 1.
    void add(const Record& values, std::uint32_t leftOut, std::span<const CopySource> copies);
    Tally tally() const;

    std::uint32_t beaconFor(const Record& values, std::uint32_t leftOut,
                            std::span<const CopySource> copies) const;
    // The one beacon whose text the copy's lines hold, or kNone when they hold several: a copy
    // on a line of several beacons is told to none, so `merged` counts only the others.
    std::uint32_t onlyBeaconOf(const CopySource& copy) const;

private:
    struct Candidate {
        std::uint32_t beacon = 0;
        std::uint64_t support = 0; // characters of its text on the copies' lines
    };
    template <class F> void forEachSpan(const CopySource& copy, F&& f) const;
    int rightValues(const Record& values, std::uint32_t leftOut, std::uint32_t beacon) const;

    const Corpus& m_corpus;
    std::vector<std::uint8_t> m_bestRight; // of each beacon
    std::vector<std::uint32_t> m_records;  // of each beacon
    std::vector<bool> m_merged;
    std::size_t m_copied = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_wrong = 0;
    std::size_t m_recordCount = 0;
    mutable std::vector<Candidate> m_candidates;
};

// Every line that is a beacon line, decoded as it stands: a record of one copy.
Tally scoreStrict(const Corpus& corpus);
// The records the recovery gives from the log, taken as they are ready.
Tally scoreRecovery(const Corpus& corpus);

} // namespace orvik::bench
