// SPDX-License-Identifier: GPL-3.0-or-later
#include "linesplitter.h"

#include "decoder/words.h"

#include <cstring>

namespace orvik {

bool isAscii(std::string_view bytes)
{
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8)
        high |= words::load(bytes.data() + i);
    for (; i < bytes.size(); ++i)
        high |= static_cast<unsigned char>(bytes[i]);
    return words::nonAscii(high) == 0;
}

void LineTally::add(std::string_view bytes)
{
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        // A UTF-8 lead byte starts one code unit, a four-byte lead two; invalid bytes count one.
        if (b < 0x80 || b >= 0xC0)
            m_utf16Length += (b >= 0xF0 && b <= 0xF7) ? 2 : 1;
        see(b);
    }
}

void LineTally::add(std::u16string_view units)
{
    m_utf16Length += units.size();
    for (const char16_t u : units)
        see(u);
}

void LineTally::see(unsigned c)
{
    m_trailingBlanks = (c == ' ' || c == '\t') ? m_trailingBlanks + 1 : 0;
    if (m_orvState < 3) {
        const unsigned l = (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
        if (m_orvState == 2 && l == 'v')
            m_orvState = 3;
        else if (m_orvState == 1 && l == 'r')
            m_orvState = 2;
        else
            m_orvState = l == 'o' ? 1 : 0;
    }
}

} // namespace orvik
