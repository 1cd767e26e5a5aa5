// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvik {

// Reads hexadecimal text the way the beacon fields are read: an optional "0x" or "&H"
// prefix, blanks, tabs and line feeds skipped anywhere, digits up to the first other
// character. Never fails: unreadable text gives 0.
std::int32_t HexToDec(std::u16string_view hexValue);

// Seconds as "<days>d hh:mm:ss"; days is the floor of the quotient, so the clock part
// is never negative.
std::string SecToTime(std::int32_t valSec);

} // namespace orvik
