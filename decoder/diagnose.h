// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// True when the line holds "orv" in any letter case or is 100 to 140 characters long:
// then a line that is no beacon line was probably meant to be one.
bool looksLikeBeaconAttempt(std::u16string_view line);
bool looksLikeBeaconAttempt(std::string_view asciiLine);

// A line as far as it is known: its first characters and its whole length, for lines too
// long to be held. trailingBlanks counts the blanks and tabs that end the whole line.
struct LineShape {
    std::u16string_view head;
    std::uint64_t length = 0;
    std::uint64_t trailingBlanks = 0;
};

// One reason why a line is no clean beacon line, and the characters it is about.
struct LineProblem {
    std::size_t position = 0; // the first character, counted from 0
    std::size_t length = 0;   // how many characters; the whole line for its length
    int firstChannel = -1;    // a field's channels, -1 for the length or a frame tag
    int lastChannel = -1;
    std::string reason; // plain words, UTF-8
};

// Every reason why the line is no clean beacon line: its length against 120, each frame tag
// missing at its position with what stands there, and each field of a frame in place that
// holds other characters than hexadecimal digits, with its channels. A beacon line can only
// have the last kind. Empty for a clean beacon line.
std::vector<LineProblem> lineProblems(std::u16string_view line);
std::vector<LineProblem> lineProblems(const LineShape& shape);

// The reasons of lineProblems() alone.
std::vector<std::string> diagnoseLine(std::u16string_view line);
std::vector<std::string> diagnoseLine(const LineShape& shape);

// True when every field of a beacon line holds hexadecimal digits only; a cheap test ahead
// of lineProblems().
bool fieldsAreHex(std::u16string_view beaconLine);

} // namespace orvik
