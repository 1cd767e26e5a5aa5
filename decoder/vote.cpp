// SPDX-License-Identifier: GPL-3.0-or-later
#include "vote.h"

#include "alignframe.h"

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

// A copy whose frame is longer or shorter than this is not aligned to the others.
constexpr int kMostShift = 3;

// The reason told for a field: what went wrong with its frame before what went wrong with a
// character.
int rank(LeftOut reason) { return reason == LeftOut::No ? 0 : 5 - int(reason); }

struct Tally {
    char16_t winner = 0;
    int votes = 0;
    bool tie = false;
    bool unanimous = false; // every copy that reads the place holds the winner
};

// The most frequent character of the readings, 0 standing for none.
Tally countVotes(const char16_t* readings, std::size_t count, std::size_t stride)
{
    // Mostly every copy that reads the place agrees: one pass tells.
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
        if (n > t.votes) {
            t = {c, n, false, false};
        } else if (n == t.votes && c != t.winner) {
            t.tie = true;
        }
    }
    return t;
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

void vote(const Group& group, RecoveredRecord& out, bool values)
{
    const bool clean = group.clean;
    const std::size_t n = clean ? 1 : group.copies.size();
    out.values.fill(std::numeric_limits<double>::quiet_NaN());
    out.leftOut.fill(LeftOut::No);
    out.copies.clear();
    out.changes.clear();
    for (const Copy& c : group.copies)
        out.copies.push_back(c.source);
    if (clean)
        out.copies.push_back(group.cleanSource);
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
    out.line = kTemplate;

    thread_local std::vector<char16_t> readings;
    thread_local std::u16string refText;
    // Where there are copies to compare, one alone is no majority: its slip would go unseen.
    const int leastVotes = n > 1 ? 2 : 1;
    std::array<LeftOut, kBeaconLength + 1> atPosition{};
    if (clean) {
        // The fields hold hex digits alone: setting the letter bit folds them, eight at a time.
        static_assert(kBeaconLength % 8 == 0);
        static const std::array<std::uint64_t, kBeaconLength / 8> kFieldBytes = [] {
            std::array<unsigned char, kBeaconLength> bytes{};
            for (const FrameLayout& l : kLayout)
                std::fill_n(bytes.begin() + (l.pos - 1 + l.fieldBegin), l.fieldLength, 0xFF);
            std::array<std::uint64_t, kBeaconLength / 8> words{};
            std::memcpy(words.data(), bytes.data(), bytes.size());
            return words;
        }();
        for (std::size_t w = 0; w < kFieldBytes.size(); ++w) {
            std::uint64_t text;
            std::uint64_t shape;
            std::memcpy(&text, group.cleanText.data() + 8 * w, 8);
            std::memcpy(&shape, out.line.data() + 8 * w, 8);
            const std::uint64_t word =
                ((text | 0x2020202020202020u) & kFieldBytes[w]) | (shape & ~kFieldBytes[w]);
            std::memcpy(out.line.data() + 8 * w, &word, 8);
        }
    }
    // A copy alone is read as it stands, with nothing to vote.
    for (int f = 0; !clean && n == 1 && f < kFrames; ++f) {
        const Copy& c = group.copies.front();
        const FrameLayout& l = kLayout[std::size_t(f)];
        const bool readable = c.readable(f);
        const LeftOut lost =
            c.reading[std::size_t(f)] == Reading::Missing ? LeftOut::FrameMissing : LeftOut::FrameDamaged;
        for (int i = 0; i < l.fieldLength; ++i) {
            const int position = l.pos + l.fieldBegin + i;
            const char16_t ch = readable ? c.fields(f)[std::size_t(i)] : char16_t(0);
            if (!readable)
                atPosition[std::size_t(position)] = lost;
            else if (!isHex(ch))
                atPosition[std::size_t(position)] = LeftOut::NotHex;
            else
                out.line[std::size_t(position - 1)] = char(ch);
        }
    }
    for (int f = 0; n > 1 && f < kFrames; ++f) {
        const auto fs = std::size_t(f);
        const FrameLayout& l = kLayout[fs];
        const auto width = std::size_t(l.fieldLength);
        bool anyTag = false;
        const auto aligned = [&](const Copy& c) {
            return c.reading[fs] == Reading::Damaged &&
                   std::abs(int(c.body(f).size()) - (l.length - kTagLength)) <= kMostShift;
        };
        const bool anyAligned = std::any_of(group.copies.begin(), group.copies.end(), aligned);
        // Mostly the copies that read the frame agree on all of it, and none is to be aligned:
        // every place is then unanimous.
        const Copy* first = nullptr;
        int readers = 0;
        bool same = !anyAligned;
        for (const Copy& c : group.copies) {
            anyTag = anyTag || c.reading[fs] != Reading::Missing;
            if (!c.readable(f))
                continue;
            ++readers;
            if (first == nullptr)
                first = &c;
            else
                same = same && c.fields(f) == first->fields(f);
        }
        if (!same)
            readings.assign(n * width, 0);
        // The reference is the copy that reads the frame and agrees most with the others; one
        // whose blanks were placed stands for the frame as sent.
        const Copy* ref = nullptr;
        int refAgrees = -1;
        for (const Copy& c : group.copies) {
            if (!anyAligned || !c.readable(f))
                continue;
            int agrees = 0;
            const std::u16string_view mine = c.fields(f);
            for (const Copy& o : group.copies) {
                if (&o == &c || !o.readable(f))
                    continue;
                const std::u16string_view theirs = o.fields(f);
                for (std::size_t i = 0; i < width; ++i)
                    agrees += mine[i] == theirs[i];
            }
            if (agrees > refAgrees) {
                ref = &c;
                refAgrees = agrees;
            }
        }
        for (std::size_t k = 0; !same && k < n; ++k) {
            const Copy& c = group.copies[k];
            char16_t* const mine = readings.data() + k * width;
            if (c.readable(f)) {
                std::copy_n(c.fields(f).data(), width, mine);
            } else if (ref != nullptr && aligned(c)) {
                std::u16string_view frame = ref->body(f);
                if (ref->reading[fs] == Reading::Placed) {
                    refText.assign(std::size_t(l.fieldBegin - kTagLength), u' ');
                    refText.append(ref->fields(f));
                    refText.append(std::size_t(l.length - l.fieldBegin - l.fieldLength), u' ');
                    frame = refText;
                }
                alignFrame(frame, c.body(f), l, mine);
            }
        }
        for (std::size_t i = 0; i < width; ++i) {
            const int position = l.pos + l.fieldBegin + int(i);
            const char16_t agreed = first != nullptr ? first->fields(f)[i] : char16_t(0);
            const Tally t = !same         ? countVotes(readings.data() + i, n, width)
                            : agreed != 0 ? Tally{agreed, readers, false, true}
                                          : Tally{0, 0, false, true};
            LeftOut& verdict = atPosition[std::size_t(position)];
            if (t.votes == 0)
                verdict = anyTag ? LeftOut::FrameDamaged : LeftOut::FrameMissing;
            else if (t.tie || t.votes < leastVotes)
                verdict = LeftOut::NoMajority;
            else if (!isHex(t.winner))
                verdict = LeftOut::NotHex;
            if (verdict != LeftOut::No)
                continue;
            out.line[std::size_t(position - 1)] = char(t.winner);
            for (std::size_t k = 0; !t.unanimous && k < n; ++k) {
                const char16_t c = readings[k * width + i];
                if (c != 0 && c != t.winner)
                    out.changes.push_back({k, position, c, t.winner});
            }
        }
    }
    // A clean line leaves nothing out.
    for (int c = 0; !clean && c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        LeftOut worst = LeftOut::No;
        for (int p = ch.pos; p < ch.pos + ch.len; ++p) {
            if (rank(atPosition[std::size_t(p)]) > rank(worst))
                worst = atPosition[std::size_t(p)];
        }
        out.leftOut[std::size_t(c)] = worst;
    }
    if (!values && out.leftOutMask() == 0)
        return;
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        if (!out.written(c))
            continue;
        // Every character written is a hex digit: the field reads as HexToDec reads it.
        std::int32_t field = 0;
        for (int i = 0; i < ch.len; ++i)
            field = field * 16 + hexValue(char16_t(out.line[std::size_t(ch.pos - 1 + i)]));
        out.values[std::size_t(c)] = channelValue(ch, field);
    }
}

} // namespace recovery
} // namespace orvik
