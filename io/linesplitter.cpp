// SPDX-License-Identifier: GPL-3.0-or-later
#include "linesplitter.h"

namespace orvik {

void LineTally::add(std::string_view bytes)
{
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        // A UTF-8 lead byte starts one code unit, a four-byte lead two; invalid bytes count one.
        if (b < 0x80 || b >= 0xC0)
            m_utf16Length += (b >= 0xF0 && b <= 0xF7) ? 2 : 1;
        m_trailingBlanks = (b == ' ' || b == '\t') ? m_trailingBlanks + 1 : 0;
        if (m_orvState < 3) {
            const unsigned char l = (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b;
            if (m_orvState == 2 && l == 'v')
                m_orvState = 3;
            else if (m_orvState == 1 && l == 'r')
                m_orvState = 2;
            else
                m_orvState = l == 'o' ? 1 : 0;
        }
    }
}

void LineTally::finishInto(SplitLine& line) const
{
    line.utf16Length = m_utf16Length;
    line.trailingBlanks = m_trailingBlanks;
    line.holdsOrv = m_orvState == 3;
}

void LineSplitter::carry(std::string_view part)
{
    m_pending = true;
    if (m_cut) {
        m_tally.add(part);
        return;
    }
    const std::size_t room = m_heldBytes - m_carried.size();
    if (part.size() <= room) {
        m_carried.append(part);
        return;
    }
    m_carried.append(part.substr(0, room));
    m_cut = true;
    m_tally.add(m_carried);
    m_tally.add(part.substr(room));
}

} // namespace orvik
