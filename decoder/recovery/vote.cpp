// SPDX-License-Identifier: GPL-3.0-or-later
#include "vote.h"

#include "placechars.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace orvik {

using namespace copytext;

namespace {

// The reason told for a field: what went wrong with its frame before what went wrong with a
// character.
int rank(LeftOut reason)
{
    switch (reason) {
    case LeftOut::No: return 0;
    case LeftOut::NotHex: return 1;
    case LeftOut::NoMajority: return 2;
    case LeftOut::Lookalike: return 3;
    case LeftOut::FrameDamaged: return 4;
    case LeftOut::FrameMissing: return 5;
    }
    return 5;
}

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
// around them alike: two copies shifted alike by characters lost or gained are unlikely.
bool readAlike(const recovery::Group& group, const recovery::Copy& copy, char16_t* fields)
{
    for (const recovery::Copy& other : group.copies) {
        // The same text twice is one reception's word, not two.
        if (&other != &copy && other.text != copy.text && placeInPlace(copy, other, fields, 0))
            return true;
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

} // namespace

std::string_view leftOutText(LeftOut reason)
{
    switch (reason) {
    case LeftOut::No: return "written";
    case LeftOut::FrameMissing: return "frame missing";
    case LeftOut::FrameDamaged: return "frame damaged";
    case LeftOut::NoMajority: return "no majority";
    case LeftOut::NotHex: return "not a hex digit";
    case LeftOut::Lookalike: return "could be another beacon's";
    }
    return "";
}

std::uint32_t RecoveredRecord::leftOutMask() const
{
    // Mostly nothing is left out: the reasons are read eight at a time to see that.
    static_assert(sizeof(LeftOut) == 1 && int(LeftOut::No) == 0);
    std::array<std::uint64_t, (kChannelCount + 7) / 8> words{};
    std::memcpy(words.data(), leftOut.data(), sizeof leftOut);
    std::uint64_t any = 0;
    for (const std::uint64_t w : words)
        any |= w;
    if (any == 0)
        return 0;
    std::uint32_t mask = 0;
    for (int c = 0; c < kChannelCount; ++c)
        mask |= std::uint32_t(leftOut[std::size_t(c)] != LeftOut::No) << c;
    return mask;
}

namespace recovery {

namespace {

const std::string& lineTemplate()
{
    static const std::string kTemplate = [] {
        std::string line(std::size_t(kBeaconLength), '-');
        for (int f = 0; f < kFrames; ++f) {
            const FrameLayout& l = kLayout[std::size_t(f)];
            for (int i = 0; i < kTagLength; ++i)
                line[std::size_t(l.pos - 1 + i)] = char(kFrameTags[std::size_t(f)].tag[std::size_t(i)]);
            for (int p = kTagLength; p < l.fieldBegin; ++p)
                line[std::size_t(l.pos - 1 + p)] = ' ';
            if (l.placeable)
                line[std::size_t(l.pos - 1 + l.length - 1)] = ' ';
        }
        return line;
    }();
    return kTemplate;
}

// A clean line's fields hold hex digits alone: setting the letter bit folds them, eight at a time.
void writeClean(const std::array<char, kBeaconLength>& text, std::string& line)
{
    for (std::size_t w = 0; w < kFieldWords.size(); ++w) {
        std::uint64_t word;
        std::uint64_t shape;
        std::memcpy(&word, text.data() + 8 * w, 8);
        std::memcpy(&shape, line.data() + 8 * w, 8);
        word = ((word | 0x2020202020202020u) & kFieldWords[w]) | (shape & ~kFieldWords[w]);
        std::memcpy(line.data() + 8 * w, &word, 8);
    }
}

// The verdict on each field character of frame f, the winners written into the line.
void voteFrame(const recovery::Group& group, int f, RecoveredRecord& out,
               std::array<LeftOut, kBeaconLength + 1>& at)
{
    thread_local std::vector<char16_t> readings;
    const FrameLayout& l = kLayout[std::size_t(f)];
    const std::size_t n = group.copies.size();
    const auto width = std::size_t(l.fieldLength);
    if (const recovery::Copy* settled = gather(group, f, readings)) {
        writeSettled(group, f, *settled, out, at);
        return;
    }
    // Where there are copies to compare, one alone is no majority: its slip would go unseen.
    const int leastVotes = n > 1 ? 2 : 1;
    const bool anyTag = std::any_of(group.copies.begin(), group.copies.end(), [&](const recovery::Copy& c) {
        return c.reading[std::size_t(f)] != Reading::Missing;
    });
    for (std::size_t i = 0; i < width; ++i) {
        const int position = l.pos + l.fieldBegin + int(i);
        const Tally t = countVotes(readings.data() + i, n, width);
        LeftOut& verdict = at[std::size_t(position)];
        if (t.votes == 0)
            verdict = anyTag ? LeftOut::FrameDamaged : LeftOut::FrameMissing;
        else if (t.tie || t.votes < leastVotes)
            verdict = LeftOut::NoMajority;
        else if (!isHex(t.winner))
            verdict = LeftOut::NotHex;
        if (verdict == LeftOut::No)
            out.line[std::size_t(position - 1)] = char(t.winner);
    }
    bool unanimous = true;
    for (std::size_t i = 0; n > 1 && i < width; ++i) {
        const int position = l.pos + l.fieldBegin + int(i);
        const auto winner = char16_t(static_cast<unsigned char>(out.line[std::size_t(position - 1)]));
        for (std::size_t k = 0; at[std::size_t(position)] == LeftOut::No && k < n; ++k) {
            const char16_t c = readings[k * width + i];
            unanimous = unanimous && (c == 0 || c == winner);
        }
    }
    for (const Field& field : kFields) {
        if (unanimous || field.frame != f)
            continue;
        const bool written = std::all_of(at.begin() + field.pos, at.begin() + field.pos + field.len,
                                         [](LeftOut r) { return r == LeftOut::No; });
        const std::size_t from = std::size_t(field.pos - l.pos - l.fieldBegin);
        if (written && !heldWhole(readings, n, width, out.line, field.pos, from, field.len)) {
            std::fill(at.begin() + field.pos, at.begin() + field.pos + field.len, LeftOut::NoMajority);
            std::fill_n(out.line.begin() + (field.pos - 1), field.len, '-');
        }
    }
    for (std::size_t i = 0; !unanimous && i < width; ++i) {
        const int position = l.pos + l.fieldBegin + int(i);
        const auto winner = char16_t(static_cast<unsigned char>(out.line[std::size_t(position - 1)]));
        for (std::size_t k = 0; at[std::size_t(position)] == LeftOut::No && k < n; ++k) {
            const char16_t c = readings[k * width + i];
            if (c != 0 && c != winner)
                out.changes.push_back({k, position, c, winner});
        }
    }
}

// Every character written is a hex digit: each field written reads as HexToDec reads it.
void writeValues(RecoveredRecord& out)
{
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        if (!out.written(c))
            continue;
        std::int32_t field = 0;
        for (int i = 0; i < ch.len; ++i)
            field = field * 16 + hexValue(char16_t(out.line[std::size_t(ch.pos - 1 + i)]));
        out.values[std::size_t(c)] = channelValue(ch, field);
    }
}

} // namespace

void vote(const Group& group, RecoveredRecord& out, bool values)
{
    out.values.fill(std::numeric_limits<double>::quiet_NaN());
    out.leftOut.fill(LeftOut::No);
    out.copies.clear();
    out.changes.clear();
    out.lookalike = group.more().lookalike;
    out.line = lineTemplate();
    // A clean line leaves nothing out.
    if (group.clean) {
        out.copies.push_back(group.cleanSource);
        writeClean(group.cleanText, out.line);
        if (values)
            writeValues(out);
        return;
    }
    for (const Copy& c : group.copies)
        out.copies.push_back(c.source);
    std::array<LeftOut, kBeaconLength + 1> atPosition{};
    for (int f = 0; f < kFrames; ++f)
        voteFrame(group, f, out, atPosition);
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        LeftOut worst = LeftOut::No;
        for (int p = ch.pos; p < ch.pos + ch.len; ++p) {
            if (rank(atPosition[std::size_t(p)]) > rank(worst))
                worst = atPosition[std::size_t(p)];
        }
        // What copies of a beacon this lone copy may be a copy of hold otherwise is in doubt.
        const int from = ch.pos - kLayout[std::size_t(ch.frame - 1)].pos -
                         kLayout[std::size_t(ch.frame - 1)].fieldBegin +
                         kLayout[std::size_t(ch.frame - 1)].heldAt;
        const GroupMore& more = group.more();
        bool disputed = false;
        for (int i = from; i < from + ch.len; ++i)
            disputed = disputed || more.disputed[std::size_t(i)];
        if (worst == LeftOut::No && more.outvoted && group.copies.size() == 1 && disputed)
            worst = LeftOut::Lookalike;
        out.leftOut[std::size_t(c)] = worst;
        // The line holds only what is certain, and this copy's field may be the other beacon's.
        if (worst == LeftOut::Lookalike)
            std::fill_n(out.line.begin() + (ch.pos - 1), ch.len, '-');
    }
    if (values || out.leftOutMask() != 0)
        writeValues(out);
}

} // namespace recovery
} // namespace orvik
