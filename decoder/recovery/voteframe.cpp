// SPDX-License-Identifier: GPL-3.0-or-later
// The vote on one frame: the readings of its copies gathered, aligned where a copy lost or
// gained characters, and each field character given to its majority.
#include "placechars.h"
#include "vote.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace orvik::recovery {

using namespace copytext;

namespace {

struct Tally {
    char16_t winner = 0;
    int votes = 0;
    bool tie = false;
    bool unanimous = false; // every copy that holds the place holds the winner
};

// The most frequent character of the readings, 0 standing for none.
Tally countVotes(const char16_t* readings, std::size_t count, std::size_t stride)
{
    // Mostly every copy that holds the place agrees: one pass tells.
    Tally t{0, 0, false, true};
    for (std::size_t k = 0; k < count && t.unanimous; ++k) {
        const char16_t c = readings[k * stride];
        if (c != 0 && t.winner != 0 && c != t.winner)
            t.unanimous = false;
        else if (c != 0)
            t = {c, t.votes + 1, false, true};
    }
    if (t.unanimous)
        return t;
    t = {};
    for (std::size_t k = 0; k < count; ++k) {
        const char16_t c = readings[k * stride];
        if (c == 0)
            continue;
        int n = 0;
        for (std::size_t m = 0; m < count; ++m)
            n += readings[m * stride] == c;
        if (n > t.votes)
            t = {c, n, false, false};
        else if (n == t.votes && c != t.winner)
            t.tie = true;
    }
    return t;
}

// The fields of the beacon line, each once, whichever channels share it.
struct Field {
    int frame; // from 0
    int pos;
    int len;
};

constexpr auto kFields = [] {
    std::array<Field, kChannels.size()> fields{};
    std::size_t count = 0;
    for (const Channel& ch : kChannels) {
        if (count == 0 || fields[count - 1].pos != ch.pos)
            fields[count++] = {ch.frame - 1, ch.pos, ch.len};
    }
    return fields;
}();

// The copy that reads the frame where it stands and agrees most with the others, or null;
// null too where another that reads it otherwise agrees as much, as either may be the one of
// its length only by a character lost and another gained.
const recovery::Copy* referenceFor(const recovery::Group& group, int f)
{
    const FrameLayout& l = kLayout[std::size_t(f)];
    const recovery::Copy* ref = nullptr;
    int refAgrees = -1;
    bool tied = false;
    for (const recovery::Copy& c : group.copies) {
        if (c.reading[std::size_t(f)] != Reading::Exact)
            continue;
        int agrees = 0;
        for (const recovery::Copy& o : group.copies) {
            for (int i = 0; &o != &c && i < l.fieldLength; ++i)
                agrees += o.fields(f)[i] != 0 && o.fields(f)[i] == c.fields(f)[i];
        }
        if (agrees > refAgrees) {
            ref = &c;
            refAgrees = agrees;
            tied = false;
        } else if (agrees == refAgrees &&
                   !std::equal(c.fields(f), c.fields(f) + l.fieldLength, ref->fields(f))) {
            tied = true;
        }
    }
    return tied && f == kFrames - 1 ? nullptr : ref;
}

// The fields of a last frame as they stand, where another copy holds them and what stands
// around them alike: two copies shifted alike by characters lost or gained are unlikely. But
// a run of one digit loses either alike, so that reading outvotes no copy that holds the frame
// whole unless another such copy agrees.
bool readAlike(const recovery::Group& group, const recovery::Copy& copy, char16_t* fields)
{
    constexpr int f = kFrames - 1;
    const auto width = std::size_t(kLayout[std::size_t(f)].fieldLength);
    std::array<char16_t, kBeaconLength> inPlace{};
    for (const recovery::Copy& other : group.copies) {
        // The same text twice is one reception's word, not two.
        if (&other != &copy && other.text != copy.text && placeInPlace(copy, other, inPlace.data(), 0)) {
            bool wholeAgrees = false;
            bool wholeDiffers = false;
            for (const recovery::Copy& c : group.copies) {
                if (c.whole(f))
                    (std::equal(c.fields(f), c.fields(f) + width, inPlace.data()) ? wholeAgrees
                                                                                  : wholeDiffers) = true;
            }
            if (wholeDiffers && !wholeAgrees)
                return false;
            std::copy_n(inPlace.data(), width, fields);
            return true;
        }
    }
    return false;
}

// The characters each copy holds of frame f, copy after copy. Returns the copy whose reading
// settles the frame: more copies hold it whole, and alike, than there are others; null when
// none does.
const recovery::Copy* gather(const recovery::Group& group, int f, std::vector<char16_t>& readings)
{
    const auto fs = std::size_t(f);
    const auto width = std::size_t(kLayout[fs].fieldLength);
    readings.assign(group.copies.size() * width, 0);
    // Where more copies hold the frame whole, and alike, than there are others, what an
    // alignment could place in the others changes no winner.
    const recovery::Copy* first = nullptr;
    std::size_t alike = 0;
    bool differ = false;
    for (const recovery::Copy& c : group.copies) {
        if (!c.whole(f))
            continue;
        first = first ? first : &c;
        differ = differ || !std::equal(c.fields(f), c.fields(f) + width, first->fields(f));
        ++alike;
    }
    if (!differ && 2 * alike > group.copies.size())
        return first;
    const recovery::Copy* ref = referenceFor(group, f);
    for (std::size_t k = 0; k < group.copies.size(); ++k) {
        const recovery::Copy& c = group.copies[k];
        char16_t* const mine = readings.data() + k * width;
        std::copy_n(c.fields(f), width, mine);
        if (ref == nullptr && f == kFrames - 1 && !c.whole(f) && readAlike(group, c, mine))
            continue;
        // A copy that reads the frame where it stands shows where a damaged one lost or gained
        // characters better than the fields' hex digits alone.
        const bool shifted = c.reading[fs] == Reading::Placed || c.reading[fs] == Reading::Damaged;
        if (shifted && ref != nullptr && c.begin[fs] >= 0 && !c.whole(f))
            placeAgainst(c, *ref, f, mine);
        else if (c.reading[fs] == Reading::Damaged)
            placeAlone(c, f, mine);
    }
    return nullptr;
}

// A frame that copies held whole and alike outnumber the rest: its characters win, and what the
// others hold otherwise is changed.
void writeSettled(const recovery::Group& group, int f, const recovery::Copy& settled, RecoveredRecord& out,
                  std::array<LeftOut, kBeaconLength + 1>& at)
{
    const FrameLayout& l = kLayout[std::size_t(f)];
    const char16_t* const winners = settled.fields(f);
    for (int i = 0; i < l.fieldLength; ++i) {
        const int position = l.pos + l.fieldBegin + i;
        if (!isHex(winners[i])) {
            at[std::size_t(position)] = LeftOut::NotHex;
            continue;
        }
        out.line[std::size_t(position - 1)] = char(winners[i]);
        for (std::size_t k = 0; k < group.copies.size(); ++k) {
            const char16_t c = group.copies[k].fields(f)[i];
            if (c != 0 && c != winners[i])
                out.changes.push_back({k, position, c, winners[i]});
        }
    }
}

// Whether some copy holds the whole of the field from `from` as the vote wrote it: a field
// is a value some line holds, never one pieced together from several.
bool heldWhole(const std::vector<char16_t>& readings, std::size_t copies, std::size_t width,
               const std::string& line, int position, std::size_t from, int length)
{
    for (std::size_t k = 0; k < copies; ++k) {
        bool whole = true;
        for (int i = 0; whole && i < length; ++i)
            whole =
                readings[k * width + from + std::size_t(i)] == char16_t(line[std::size_t(position - 1 + i)]);
        if (whole)
            return true;
    }
    return false;
}

// The readings of one frame's field characters, copy after copy, and where they go.
struct FrameReadings {
    const recovery::Group& group;
    const FrameLayout& layout;
    const std::vector<char16_t>& readings;
    std::size_t copies;
    std::size_t width;

    int position(std::size_t i) const { return layout.pos + layout.fieldBegin + int(i); }
    char16_t at(std::size_t copy, std::size_t i) const { return readings[copy * width + i]; }
};

// Step 1: each character goes to its majority, or is left out with its reason.
void voteEachChar(const FrameReadings& r, int f, RecoveredRecord& out,
                  std::array<LeftOut, kBeaconLength + 1>& at)
{
    // Where there are copies to compare, one alone is no majority: its slip would go unseen.
    const int leastVotes = r.copies > 1 ? 2 : 1;
    const bool anyTag =
        std::any_of(r.group.copies.begin(), r.group.copies.end(),
                    [&](const recovery::Copy& c) { return c.reading[std::size_t(f)] != Reading::Missing; });
    for (std::size_t i = 0; i < r.width; ++i) {
        const Tally t = countVotes(r.readings.data() + i, r.copies, r.width);
        LeftOut& verdict = at[std::size_t(r.position(i))];
        if (t.votes == 0)
            verdict = anyTag ? LeftOut::FrameDamaged : LeftOut::FrameMissing;
        else if (t.tie || t.votes < leastVotes)
            verdict = LeftOut::NoMajority;
        else if (!isHex(t.winner))
            verdict = LeftOut::NotHex;
        if (verdict == LeftOut::No)
            out.line[std::size_t(r.position(i) - 1)] = char(t.winner);
    }
}

// The character written at field place i, as a reading.
char16_t written(const RecoveredRecord& out, const FrameReadings& r, std::size_t i)
{
    return char16_t(static_cast<unsigned char>(out.line[std::size_t(r.position(i) - 1)]));
}

// Whether every copy that holds a written character holds the winner.
bool unanimous(const FrameReadings& r, const RecoveredRecord& out,
               const std::array<LeftOut, kBeaconLength + 1>& at)
{
    for (std::size_t i = 0; r.copies > 1 && i < r.width; ++i) {
        for (std::size_t k = 0; at[std::size_t(r.position(i))] == LeftOut::No && k < r.copies; ++k) {
            const char16_t c = r.at(k, i);
            if (c != 0 && c != written(out, r, i))
                return false;
        }
    }
    return true;
}

// Step 2, where copies disagreed: a field is written only where some copy holds the whole of
// it as voted, as a value pieced together from several lines is a value no line holds.
void keepFieldsSomeCopyHolds(const FrameReadings& r, int f, RecoveredRecord& out,
                             std::array<LeftOut, kBeaconLength + 1>& at)
{
    for (const Field& field : kFields) {
        if (field.frame != f)
            continue;
        const bool isWritten = std::all_of(at.begin() + field.pos, at.begin() + field.pos + field.len,
                                           [](LeftOut reason) { return reason == LeftOut::No; });
        const std::size_t from = std::size_t(field.pos - r.layout.pos - r.layout.fieldBegin);
        if (isWritten && !heldWhole(r.readings, r.copies, r.width, out.line, field.pos, from, field.len)) {
            std::fill(at.begin() + field.pos, at.begin() + field.pos + field.len, LeftOut::NoMajority);
            std::fill_n(out.line.begin() + (field.pos - 1), field.len, '-');
        }
    }
}

// Step 3: what the vote changed in each copy, for --check to tell.
void noteChanges(const FrameReadings& r, RecoveredRecord& out,
                 const std::array<LeftOut, kBeaconLength + 1>& at)
{
    for (std::size_t i = 0; i < r.width; ++i) {
        for (std::size_t k = 0; at[std::size_t(r.position(i))] == LeftOut::No && k < r.copies; ++k) {
            const char16_t c = r.at(k, i);
            if (c != 0 && c != written(out, r, i))
                out.changes.push_back({k, r.position(i), c, written(out, r, i)});
        }
    }
}

// The verdict on each field character of frame f, the winners written into the line.
} // namespace

void voteFrame(const Group& group, int f, RecoveredRecord& out, std::array<LeftOut, kBeaconLength + 1>& at)
{
    thread_local std::vector<char16_t> readings;
    if (const recovery::Copy* settled = gather(group, f, readings)) {
        writeSettled(group, f, *settled, out, at);
        return;
    }
    const FrameLayout& l = kLayout[std::size_t(f)];
    const FrameReadings r{group, l, readings, group.copies.size(), std::size_t(l.fieldLength)};
    voteEachChar(r, f, out, at);
    if (unanimous(r, out, at))
        return;
    keepFieldsSomeCopyHolds(r, f, out, at);
    noteChanges(r, out, at);
}

} // namespace orvik::recovery
