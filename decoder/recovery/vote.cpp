// SPDX-License-Identifier: GPL-3.0-or-later
#include "vote.h"

#include "decoder/words.h"

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
        const std::uint64_t word = words::withLetterBits(words::load(text.data() + 8 * w));
        const std::uint64_t shape = words::load(line.data() + 8 * w);
        words::store(line.data() + 8 * w, (word & kFieldWords[w]) | (shape & ~kFieldWords[w]));
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

// Step 4: a channel's verdict is the gravest of its characters'; a lone copy that the copies of
// a beacon it may be a copy of outvote leaves out what they hold otherwise.
LeftOut channelVerdict(const Group& group, int c, const std::array<LeftOut, kBeaconLength + 1>& atPosition)
{
    const Channel& ch = kChannels[std::size_t(c)];
    LeftOut worst = LeftOut::No;
    for (int p = ch.pos; p < ch.pos + ch.len; ++p) {
        if (rank(atPosition[std::size_t(p)]) > rank(worst))
            worst = atPosition[std::size_t(p)];
    }
    const GroupMore& more = group.more();
    if (worst != LeftOut::No || !more.outvoted || group.copies.size() != 1)
        return worst;
    const FrameLayout& l = kLayout[std::size_t(ch.frame - 1)];
    const int from = ch.pos - l.pos - l.fieldBegin + l.heldAt;
    for (int i = from; i < from + ch.len; ++i) {
        if (more.disputed[std::size_t(i)])
            return LeftOut::Lookalike;
    }
    return worst;
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
        const LeftOut reason = channelVerdict(group, c, atPosition);
        out.leftOut[std::size_t(c)] = reason;
        // The line holds only what is certain, and this copy's field may be the other beacon's.
        if (reason == LeftOut::Lookalike) {
            const Channel& ch = kChannels[std::size_t(c)];
            std::fill_n(out.line.begin() + (ch.pos - 1), ch.len, '-');
        }
    }
    if (values || out.leftOutMask() != 0)
        writeValues(out);
}

} // namespace recovery
} // namespace orvik
