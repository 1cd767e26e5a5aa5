// SPDX-License-Identifier: GPL-3.0-or-later
#include "hexconv.h"

#include <cstdio>

namespace orvik {

namespace {

constexpr std::uint64_t kReadLimit = 0xFFFFFFFFu;

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

bool isSkipped(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }

char16_t upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

} // namespace

std::int32_t HexToDec(std::u16string_view hexValue)
{
    // "0x" is replaced by the "&H" marker, "&H" is kept, anything else gets the marker in
    // front; what follows the marker is the same text in every case but the "0x" one.
    std::u16string_view digits = hexValue;
    if (hexValue.size() >= 2) {
        const char16_t a = upper(hexValue[0]);
        const char16_t b = upper(hexValue[1]);
        if ((a == u'0' && b == u'X') || (a == u'&' && b == u'H'))
            digits = hexValue.substr(2);
    }

    std::uint64_t u = 0;
    int count = 0;
    for (const char16_t c : digits) {
        if (isSkipped(c))
            continue;
        const int d = hexDigit(c);
        if (d < 0)
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
