// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexconv.h"

#include <array>
#include <cstdio>

namespace orvik {

namespace {

constexpr std::uint64_t kReadLimit = 0xFFFFFFFFu;
constexpr signed char kSkip = -2;
constexpr signed char kStop = -1;

// Digit values of the ASCII characters; blanks, tabs and line feeds are skipped.
constexpr std::array<signed char, 128> kDigits = [] {
    std::array<signed char, 128> t{};
    t.fill(kStop);
    for (int c = '0'; c <= '9'; ++c)
        t[std::size_t(c)] = static_cast<signed char>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) {
        t[std::size_t(c)] = static_cast<signed char>(c - 'a' + 10);
        t[std::size_t(c - 'a' + 'A')] = static_cast<signed char>(c - 'a' + 10);
    }
    t[' '] = t['\t'] = t['\n'] = kSkip;
    return t;
}();

bool isPrefix(char16_t a, char16_t b)
{
    return (a == u'0' && (b == u'x' || b == u'X')) || (a == u'&' && (b == u'h' || b == u'H'));
}

} // namespace

std::int32_t HexToDec(std::u16string_view hexValue)
{
    // "0x" is replaced by the "&H" marker, "&H" is kept, anything else gets the marker in
    // front; what follows the marker is the same text in every case but the "0x" one.
    // Nearly every beacon field is two plain digits.
    if (hexValue.size() == 2 && hexValue[0] < 128 && hexValue[1] < 128) {
        const signed char hi = kDigits[hexValue[0]];
        const signed char lo = kDigits[hexValue[1]];
        if (hi >= 0 && lo >= 0)
            return hi * 16 + lo;
    }

    std::u16string_view digits = hexValue;
    if (hexValue.size() >= 2 && isPrefix(hexValue[0], hexValue[1]))
        digits = hexValue.substr(2);

    std::uint64_t u = 0;
    int count = 0;
    for (const char16_t c : digits) {
        const signed char d = c < 128 ? kDigits[c] : kStop;
        if (d == kSkip)
            continue;
        if (d == kStop)
            break;
        ++count;
        u = u * 16 + std::uint64_t(d);
        if (u > kReadLimit)
            return 0; // the reading overflows, which reads as 0
    }

    // A short run is a 16-bit number; a longer one with leading zeros keeps its plain
    // value, so the 24-bit on-board time never turns negative.
    if (count <= 4 && u >= 0x8000)
        return std::int32_t(std::int64_t(u) - 0x10000);
    if (u >= 0x80000000u)
        return std::int32_t(std::int64_t(u) - 0x100000000);
    return std::int32_t(u);
}

std::string SecToTime(std::int32_t valSec)
{
    const std::int64_t sec = valSec;
    std::int64_t days = sec / 86400;
    if (sec % 86400 < 0)
        --days;
    std::int64_t rest = sec - days * 86400;
    const std::int64_t hours = rest / 3600;
    rest -= hours * 3600;
    const std::int64_t minutes = rest / 60;
    const std::int64_t seconds = rest - minutes * 60;

    char buf[48];
    std::snprintf(buf, sizeof buf, "%lldd %02lld:%02lld:%02lld", static_cast<long long>(days),
                  static_cast<long long>(hours), static_cast<long long>(minutes),
                  static_cast<long long>(seconds));
    return buf;
}

} // namespace orvik
