// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbertext.h"

#include <charconv>
#include <cmath>

namespace orvik {

namespace {

void appendWithSeparator(std::string& out, const char* first, const char* last, std::string_view decimalPoint)
{
    for (const char* p = first; p != last; ++p) {
        if (*p == '.')
            out.append(decimalPoint);
        else
            out.push_back(*p);
    }
}

} // namespace

std::string wholeText(double value)
{
    // nearbyint honours the default rounding mode, which is ties-to-even.
    const double r = std::nearbyint(value);
    // Room for the largest double in fixed form (309 digits and a sign): a smaller buffer
    // made to_chars fail from 1e32 on and the text was read from an unwritten buffer.
    char buf[320];
    const auto res = std::to_chars(buf, buf + sizeof buf, r == 0 ? 0.0 : r, std::chars_format::fixed, 0);
    return std::string(buf, res.ptr);
}

std::string fixed2Text(double value, std::string_view decimalPoint)
{
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    const char* first = buf;
    // A value that rounds to zero reads "0.00", not "-0.00".
    if (buf[0] == '-' && std::string_view(buf + 1, res.ptr) == "0.00")
        ++first;
    std::string out;
    appendWithSeparator(out, first, res.ptr, decimalPoint);
    return out;
}

void appendGeneralText(std::string& out, double value, std::string_view decimalPoint)
{
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, value == 0 ? 0.0 : value, std::chars_format::general, 15);
    appendWithSeparator(out, buf, res.ptr, decimalPoint);
}

std::string generalText(double value, std::string_view decimalPoint)
{
    std::string out;
    appendGeneralText(out, value, decimalPoint);
    return out;
}

} // namespace orvik
