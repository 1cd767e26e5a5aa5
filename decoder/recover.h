// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// Why a channel of a recovered record holds no value.
enum class LeftOut : std::uint8_t {
    No,           // the value is written
    FrameMissing, // no copy holds the frame's tag
    FrameDamaged, // the frame lost or gained characters that cannot be placed
    NoMajority,   // the copies disagree on a character, none ahead
    NotHex,       // the character that won is no hexadecimal digit
    Lookalike,    // a lone copy outvoted by copies of a beacon it may be a copy of
};

// Plain words for a reason, UTF-8.
std::string_view leftOutText(LeftOut reason);

// Where a copy came from: the caller's number of its input and the lines in it. A copy that a
// CW decoder wrapped over several lines runs from `line` to `lastLine`; one that shares a line
// with other beacons is a stretch of it. Columns count the units of a line as it was added.
struct CopySource {
    std::uint32_t input = 0;
    std::uint64_t line = 0;
    std::uint64_t lastLine = 0; // 0: the copy is `line` alone
    std::uint32_t from = 0;     // its first column in `line`
    std::uint32_t to = 0;       // one past its last in its last line; 0 for that line's end

    std::uint64_t last() const { return lastLine > line ? lastLine : line; }
    // The copy takes its lines whole, from the first column of `line` to the end of its last.
    bool wholeLines() const { return from == 0 && to == 0; }
};

// A character of a copy that the vote overruled. Positions count from 1 as in a beacon line.
struct VoteChange {
    std::size_t copy = 0; // index into RecoveredRecord::copies
    int position = 0;
    char16_t from = 0;
    char16_t to = 0;
};

// One beacon, recovered from one or more copies of it.
struct RecoveredRecord {
    Record values{};
    std::array<LeftOut, kChannelCount> leftOut{};
    // A beacon line of 120 characters that holds every certain field character; the frame
    // tags and blanks in place, '-' at every other position. Lower case.
    std::string line;
    std::vector<CopySource> copies; // in the order they came
    std::vector<VoteChange> changes;
    // A record this one could not be told apart from, by the first copy of each: it could be a
    // copy of that beacon or its neighbour, so it stands alone and what the two disagree on is
    // left out. Line 0 when there is none.
    CopySource lookalike;

    bool written(int channel) const { return leftOut[std::size_t(channel)] == LeftOut::No; }
    // Bit c set for channel c left out.
    std::uint32_t leftOutMask() const;
    bool anyValue() const { return leftOutMask() != (1u << kChannelCount) - 1; }
};

// The work itself is kept out of sight, in recovery/engine.h.
namespace recovery {
class Engine;
} // namespace recovery

// Lines that are copies of one beacon are gathered and merged, character by character, into
// records whose values are certain or left out. Copies are looked for among the `window`
// lines that follow a record's first copy, so memory stays bounded on any input.
class Recoverer {
public:
    static constexpr std::size_t kDefaultWindow = 100000;

    explicit Recoverer(std::size_t window = kDefaultWindow);
    ~Recoverer();
    Recoverer(const Recoverer&) = delete;
    Recoverer& operator=(const Recoverer&) = delete;

    // Takes a line. A beacon line as it stands is one copy; any other line is cut into beacon
    // candidates at its "orv1" tags, and one cut short at its end may go on in the next line.
    // False when no part of the line can be a beacon. A line of bytes stands for the same
    // UTF-16 text when it is ASCII.
    bool add(std::u16string_view line, CopySource source);
    bool add(std::string_view asciiLine, CopySource source);

    // Which records take() gives: one whose window has passed, or at the end of the lines, any
    // one left.
    enum class Ready { Passed, All };
    // Whether a record whose every value is certain gets them as numbers, or keeps them in its
    // line alone, its values left NaN, for a reader that writes them from the line.
    enum class Values { Numbers, InLine };
    // The next record that is ready; records come in the order of their first copies. False
    // when none is ready.
    bool take(RecoveredRecord& out, Ready ready, Values values = Values::Numbers);
    // The first line of the oldest copy a record still to be taken may hold; none when no
    // copy is held. The lines before it are no record's.
    std::optional<CopySource> firstHeld() const;

private:
    // The groups, their keys and the lines not yet placed, and the steps that work on them.
    std::unique_ptr<recovery::Engine> m_engine;
};

// Every record of the lines, in one go; lines are numbered from 1 as their sources.
std::vector<RecoveredRecord> recoverLines(std::span<const std::u16string_view> lines);
// Adds a copy kept apart, as an archive keeps it, as an input of its own: it is never joined
// with another copy as one wrapped beacon, and a copy that holds line ends is its lines, as a
// CW decoder wrapped them. A line of bytes stands for the same UTF-16 text when it is ASCII.
template <class CharT>
void addKeptCopy(Recoverer& recoverer, std::basic_string_view<CharT> copy, std::uint32_t input)
{
    std::uint64_t line = 0;
    for (std::size_t start = 0;;) {
        const std::size_t end = copy.find(CharT('\n'), start);
        recoverer.add(copy.substr(start, end == copy.npos ? copy.npos : end - start), {input, ++line});
        if (end == copy.npos)
            return;
        start = end + 1;
    }
}

// Every record of copies kept apart, each added by addKeptCopy(): CopySource::input numbers
// them from 0.
std::vector<RecoveredRecord> recoverCopies(std::span<const std::u16string_view> copies);

} // namespace orvik
