// SPDX-License-Identifier: GPL-3.0-or-later
#include "heardlines.h"

#include <algorithm>

namespace orvik {

void HeardLines::beginInput() { m_base.push_back(m_first + m_lines.size()); }

template <class CharT>
void HeardLines::keep(std::uint64_t lineNumber, std::basic_string_view<CharT> text, std::string_view bytes)
{
    const std::uint64_t place = placeOf(std::uint32_t(m_base.size() - 1), lineNumber);
    if (place < m_first)
        return;
    // Lines the recovery was not given keep a place, empty.
    while (m_first + m_lines.size() <= place)
        m_lines.emplace_back();
    Line& line = m_lines[std::size_t(place - m_first)];
    line.text.assign(text.begin(), text.end());
    line.bytes.assign(bytes);
}

template void HeardLines::keep(std::uint64_t, std::string_view, std::string_view);
template void HeardLines::keep(std::uint64_t, std::u16string_view, std::string_view);

HeardCopy HeardLines::copyOf(const CopySource& source) const
{
    HeardCopy copy;
    copy.source = source;
    const std::uint64_t first = placeOf(source.input, source.line);
    const std::uint64_t last = placeOf(source.input, source.last());
    for (std::uint64_t place = first; place <= last; ++place) {
        const Line* line = lineAt(place);
        if (line == nullptr)
            return {};
        std::u16string_view text = line->text;
        if (place == last && source.to != 0)
            text = text.substr(0, std::min<std::size_t>(source.to, text.size()));
        if (place == first)
            text = text.substr(std::min<std::size_t>(source.from, text.size()));
        if (place > first)
            copy.text += u'\n';
        copy.text += text;
    }
    // Only a line taken whole keeps the bytes it came as.
    const Line* line = lineAt(first);
    if (first == last && source.wholeLines() && line != nullptr)
        copy.bytes = line->bytes;
    return copy;
}

void HeardLines::forgetBefore(const CopySource& source)
{
    const std::uint64_t place = placeOf(source.input, source.line);
    while (!m_lines.empty() && m_first < place) {
        m_lines.pop_front();
        ++m_first;
    }
}

std::uint64_t HeardLines::placeOf(std::uint32_t input, std::uint64_t lineNumber) const
{
    return input < m_base.size() ? m_base[input] + lineNumber : 0;
}

const HeardLines::Line* HeardLines::lineAt(std::uint64_t place) const
{
    return place >= m_first && place - m_first < m_lines.size() ? &m_lines[std::size_t(place - m_first)]
                                                                : nullptr;
}

} // namespace orvik
