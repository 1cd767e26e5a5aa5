// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace orvik {

// Number text without digit grouping. decimalPoint is the user's separator, in UTF-8.

// Rounded to nearest, ties to even: 2.5 gives "2", 3.5 gives "4".
std::string wholeText(double value);

// The "0.00" format: at least one digit before the separator, exactly two after it.
std::string fixed2Text(double value, std::string_view decimalPoint);

// Up to 15 significant digits, no trailing zeros, whole numbers without a separator,
// exponent form only where the plain form would need more digits.
void appendGeneralText(std::string& out, double value, std::string_view decimalPoint);
std::string generalText(double value, std::string_view decimalPoint);

} // namespace orvik
