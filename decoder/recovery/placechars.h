// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace orvik {

// What a place of a frame asks of the character heard there.
struct Want {
    enum Kind : std::uint8_t { Any, HexDigit, Exactly };
    Kind kind = Any;
    char16_t c = 0; // for Exactly
};

// The longest frame body that is aligned, with the characters it may have lost or gained.
inline constexpr std::size_t kMostPlaced = 48;
inline constexpr int kMostShift = 3;

// Gives the characters of `copy` the places of `pattern` from `from` to `to` where every
// cheapest alignment of the two puts the same character: out[i - from] is that character, or
// 0 where one alignment puts another, or none. A character that only one way of aligning
// fills in is thus no reading of the copy. Places nothing, and returns false, when the copy
// is more than kMostShift longer or shorter, or needs more than `changes` changes besides.
bool placeChars(std::span<const Want> pattern, std::u16string_view copy, std::size_t from, std::size_t to,
                char16_t* out, int changes = 1);

} // namespace orvik
