// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "channels.h"

#include <algorithm>
#include <array>
#include <cstdint>
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
    // Only a separator follows the fields, so characters lost or gained there can be placed.
    bool placeable;
};

inline constexpr std::array<FrameLayout, kFrameTags.size()> kLayout = [] {
    std::array<FrameLayout, kFrameTags.size()> layout{};
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
        l.placeable = l.length - (l.fieldBegin + l.fieldLength) <= 1;
    }
    return layout;
}();

static_assert(std::all_of(kLayout.begin(), kLayout.end(), [](const FrameLayout& l) {
    return l.fieldBegin > kTagLength && l.fieldLength > 0 && l.fieldBegin + l.fieldLength <= l.length;
}));

namespace copytext {
inline constexpr char16_t fold(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

inline constexpr bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

inline constexpr bool isHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }

inline constexpr int hexValue(char16_t c) { return c <= u'9' ? c - u'0' : c - u'a' + 10; }
} // namespace copytext

// How a copy's frame can be read.
enum class Reading : std::uint8_t { Missing, Exact, Placed, Damaged };

// One line as heard, cut into its frames at their tags.
struct CopyFrames {
    std::u16string text; // folded to lower case, trailing blanks taken off
    std::array<std::int16_t, kFrameTags.size()> begin{};
    std::array<std::int16_t, kFrameTags.size()> end{};
    std::array<std::int16_t, kFrameTags.size()> fieldAt{};
    std::array<std::int8_t, kFrameTags.size()> tagLength{}; // 3 to 5 for a tag heard damaged
    std::array<Reading, kFrameTags.size()> reading{};

    bool readable(int f) const
    {
        return reading[std::size_t(f)] == Reading::Exact || reading[std::size_t(f)] == Reading::Placed;
    }
    // The frame after its tag.
    std::u16string_view body(int f) const
    {
        const int b = begin[std::size_t(f)] + tagLength[std::size_t(f)];
        return std::u16string_view(text).substr(std::size_t(b),
                                                std::size_t(std::max(0, end[std::size_t(f)] - b)));
    }
    std::u16string_view fields(int f) const
    {
        return std::u16string_view(text).substr(std::size_t(fieldAt[std::size_t(f)]),
                                                std::size_t(kLayout[std::size_t(f)].fieldLength));
    }
};

// Finds the frames of copy.text and how each can be read: a frame of the right length with its
// blanks in place by position, one that lost or gained blanks around its fields by its run of
// hex digits. Returns how many frames were found.
int cutFrames(CopyFrames& copy);

// A beacon line with every blank in place, hex digits in every field and no other "o" that
// could start a tag: cutting it into frames finds each where it stands.
bool isCleanLine(std::string_view line);

} // namespace orvik
