// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/channels.h"
#include "decoder/chars.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>

namespace orvik {

inline constexpr int kFrames = int(kFrameTags.size());
inline constexpr int kTagLength = 4;

// Where a frame and its fields lie, counted from 0 within the frame.
struct FrameLayout {
    int pos;         // the tag in the beacon line, counted from 1
    int length;      // tag to the next tag
    int fieldBegin;  // the first field character
    int fieldLength; // the fields lie side by side
    int heldAt;      // where the fields start among the characters a copy holds
    // Only a separator follows the fields, so the frame's end tells where they end.
    bool placeable;
};

inline constexpr std::array<FrameLayout, kFrameTags.size()> kLayout = [] {
    std::array<FrameLayout, kFrameTags.size()> layout{};
    int held = 0;
    for (int f = 0; f < kFrames; ++f) {
        FrameLayout& l = layout[std::size_t(f)];
        l.pos = kFrameTags[std::size_t(f)].pos;
        l.length = (f + 1 < kFrames ? kFrameTags[std::size_t(f + 1)].pos : kBeaconLength + 1) - l.pos;
        int first = kBeaconLength;
        int last = 0;
        for (const Channel& ch : kChannels) {
            if (ch.frame == f + 1) {
                first = std::min(first, ch.pos);
                last = std::max(last, ch.pos + ch.len);
            }
        }
        l.fieldBegin = first - l.pos;
        l.fieldLength = last - first;
        l.heldAt = held;
        held += l.fieldLength;
        l.placeable = l.length - (l.fieldBegin + l.fieldLength) <= 1;
    }
    return layout;
}();

// Every field character of a beacon line, frame after frame.
inline constexpr int kFieldChars = kLayout.back().heldAt + kLayout.back().fieldLength;

// The field characters of a beacon line as byte masks, eight characters to a word, for work
// on a whole line a word at a time: a word read from the line with memcpy lines up with them.
inline constexpr std::array<std::uint64_t, kBeaconLength / 8> kFieldWords = [] {
    static_assert(kBeaconLength % 8 == 0);
    std::array<unsigned char, kBeaconLength> bytes{};
    for (const FrameLayout& l : kLayout) {
        for (int i = 0; i < l.fieldLength; ++i)
            bytes[std::size_t(l.pos - 1 + l.fieldBegin + i)] = 0xFF;
    }
    return std::bit_cast<std::array<std::uint64_t, kBeaconLength / 8>>(bytes);
}();

static_assert(std::all_of(kLayout.begin(), kLayout.end(), [](const FrameLayout& l) {
    return l.fieldBegin > kTagLength && l.fieldLength > 0 && l.fieldBegin + l.fieldLength <= l.length;
}));

namespace copytext {
inline constexpr char16_t fold(char16_t c) { return foldCase(c); }

using orvik::isBlank;

inline constexpr bool isHex(char16_t c) { return isFoldedHexDigit(c); }

inline constexpr int hexValue(char16_t c) { return c <= u'9' ? c - u'0' : c - u'a' + 10; }
} // namespace copytext

// What cutting a running text into beacons leaves in doubt.
struct Seams {
    // The last two places where lines were joined as they stand without telling whether the
    // wrap took a blank, -1 for none, and how many there are: text from there may stand one
    // character early.
    std::int16_t last = -1;
    std::int16_t beforeLast = -1;
    std::uint8_t count = 0;
    // The text may go on past the beacon, as a decoder's next words.
    bool openEnd = false;
};

// How a copy's frame can be read.
enum class Reading : std::uint8_t {
    Missing, // no tag
    Exact,   // every field character where it stands
    Placed,  // lost or gained characters, some fields' characters placed beyond doubt
    Damaged, // nothing placed alone; another copy may still place it
};

// One beacon candidate as heard, cut into its frames at their tags.
struct CopyFrames {
    explicit CopyFrames(std::pmr::memory_resource* memory = std::pmr::get_default_resource())
        : text(memory)
    {}

    std::pmr::u16string text; // folded to lower case
    bool strict = false;      // a beacon line as it stands: every frame is read where it lies
    Seams seams;
    // What the copy writes between its fields, where its frames of their length agree on one that
    // is no hex digit; 0 where they do not.
    char16_t separator = 0;
    std::array<std::int16_t, kFrameTags.size()> begin{};
    std::array<std::int16_t, kFrameTags.size()> end{};
    std::array<std::int8_t, kFrameTags.size()> tagLength{}; // 3 to 5 for a tag heard damaged
    std::array<Reading, kFrameTags.size()> reading{};
    // The field characters the copy holds beyond doubt, 0 where it holds none.
    std::array<char16_t, kFieldChars> held{};

    bool whole(int f) const
    {
        const FrameLayout& l = kLayout[std::size_t(f)];
        return std::find(held.begin() + l.heldAt, held.begin() + l.heldAt + l.fieldLength, char16_t(0)) ==
               held.begin() + l.heldAt + l.fieldLength;
    }
    const char16_t* fields(int f) const { return held.data() + kLayout[std::size_t(f)].heldAt; }
    char16_t* fields(int f) { return held.data() + kLayout[std::size_t(f)].heldAt; }
    // The frame after its tag.
    std::u16string_view body(int f) const
    {
        const int b = begin[std::size_t(f)] + tagLength[std::size_t(f)];
        return std::u16string_view(text).substr(std::size_t(b),
                                                std::size_t(std::max(0, end[std::size_t(f)] - b)));
    }
    // The on-board time, when every character of it is a hex digit held.
    std::optional<std::uint32_t> time() const { return heldTime; }
    // What time() tells, read once by cutFrames(): it is asked of every copy a copy is weighed
    // against.
    std::optional<std::uint32_t> heldTime;
};

// Finds the frames of copy.text and what each holds. A strict copy is read where its fields
// lie; any other frame by its tags: a frame of its length by position, unless a character of
// a separator stands among its fields. Of a frame that lost or gained characters only the
// time is placed (placeAlone). Returns how many frames were found.
int cutFrames(CopyFrames& copy);

// Writes to `fields` the characters of frame f, which lost or gained some, that its fields' hex
// digits place beyond doubt; false when it places none.
bool placeAlone(const CopyFrames& copy, int f, char16_t* fields);

// Adds to `fields` what an alignment of frame f with the same frame of `ref`, read where it
// stands, places beyond doubt; where that differs from what `fields` holds, it holds nothing.
void placeAgainst(const CopyFrames& copy, const CopyFrames& ref, int f, char16_t* fields);

// How many seams lie right after the last frame's tag, where a hex digit follows and the wrap
// may have taken the separator: 0 or 1, and 2 where older seams unknown may lie there.
int seamsInLastFields(const CopyFrames& copy);

// The last frame's tail is never read and its end is wherever the next text begins: writes to
// `fields` the last frame's fields as `copy` holds them in place, when both hold its tag whole
// and the fields and the characters after them stand alike in `ref` but for `changes`; false
// when they do not. Where lines were joined there, either way the join could be made is tried,
// and exactly one must agree.
bool placeInPlace(const CopyFrames& copy, const CopyFrames& ref, char16_t* fields, int changes);

// A beacon line as it stands whose every field holds hex digits alone.
bool isCleanLine(std::string_view line);

} // namespace orvik
