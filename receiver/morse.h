// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Morse code as CW decoders and the beacon's keyer send it: each character a pattern of
// dots and dashes; a dot is one unit of key-down, a dash three, with one unit up between the
// elements of a character, three between characters and seven between words.

#include <string_view>

namespace orvik::morse {

inline constexpr int kDotUnits = 1;
inline constexpr int kDashUnits = 3;
inline constexpr int kElementGapUnits = 1;
inline constexpr int kCharGapUnits = 3;
inline constexpr int kWordGapUnits = 7;

// The pattern of a character, as ".-" text; empty for one Morse has no code for. Letters in
// either case.
std::string_view code(char c);

// The units a word of the standard speed measure takes ("PARIS " is 50 units): the length of a
// unit at `wpm` words a minute is 1.2 / wpm seconds.
inline constexpr double unitSeconds(double wpm) { return 1.2 / wpm; }

} // namespace orvik::morse
