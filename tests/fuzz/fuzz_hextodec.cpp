// SPDX-License-Identifier: GPL-3.0-or-later
// HexToDec against a slow, plain reading of the same rules, on the fuzz bytes read as UTF-16
// code units and as bytes widened to char16_t.
#include "decoder/hexconv.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace orvik {
namespace {

// Only ASCII letters upper-case into "0X" or "&H", so folding ASCII alone is exact here.
char16_t asciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

std::int64_t referenceHexToDec(std::u16string_view text)
{
    std::u16string_view rest = text;
    if (text.size() >= 2) {
        const std::u16string head{asciiUpper(text[0]), asciiUpper(text[1])};
        if (head == u"0X" || head == u"&H")
            rest = text.substr(2);
    }

    std::string digits;
    for (const char16_t c : rest) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        if (!isHexDigit(c))
            break;
        digits += char(c);
    }
    if (digits.empty())
        return 0;

    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return 0;
    const std::string significant = digits.substr(firstSignificant);
    if (significant.size() > 8)
        return 0;
    const std::int64_t value = std::int64_t(std::stoull(significant, nullptr, 16));

    if (digits.size() <= 4 && value >= 0x8000 && value <= 0xFFFF)
        return value - 0x10000;
    if (value >= 0x80000000LL && value <= 0xFFFFFFFFLL)
        return value - 0x100000000LL;
    return value;
}

void check(std::u16string_view text, const char* reading)
{
    const std::int64_t expected = referenceHexToDec(text);
    const std::int64_t got = HexToDec(text);
    if (got == expected)
        return;
    std::fprintf(stderr, "HexToDec mismatch (%s): got %lld, expected %lld, text (UTF-16 units):", reading,
                 static_cast<long long>(got), static_cast<long long>(expected));
    for (const char16_t c : text)
        std::fprintf(stderr, " %04x", unsigned(c));
    std::fprintf(stderr, "\n");
    std::abort();
}

} // namespace
} // namespace orvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    orvik::check(units, "UTF-16 little-endian");

    const std::u16string widened(data, data + size);
    orvik::check(widened, "bytes widened");
    return 0;
}
