// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "channels.h"

#include <array>
#include <string_view>

namespace orvik {

// 31 engineering values, indexed by channel number.
using Record = std::array<double, kChannelCount>;

// Lines are UTF-16 code units, as the log box holds them: "é" counts as one character.
// Both functions read the line case-insensitively, as if on a lower-cased copy.
bool isBeaconLine(std::u16string_view line);
// The same test on a line of bytes, each byte one character: on ASCII text, the answer that
// the text in UTF-16 gets.
bool isBeaconLine(std::string_view line);

// Decodes every channel of a beacon line, in channel order.
void decodeBeaconLine(std::u16string_view line, Record& out);

// The value of a channel whose field reads as `field` (HexToDec of the field's text).
inline double channelValue(const Channel& ch, std::int32_t field)
{
    // Two's-complement AND on the signed value, as an integer mask is applied.
    if (ch.mask != 0)
        field = std::int32_t(std::uint32_t(field) & ch.mask);
    return ch.formula.apply(double(field));
}

// The field of one channel in a line of at least the beacon length.
inline std::u16string_view channelField(std::u16string_view line, const Channel& ch)
{
    return line.substr(std::size_t(ch.pos - 1), std::size_t(ch.len));
}

} // namespace orvik
