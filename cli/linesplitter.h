// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvik {

// One line of code units, bytes of UTF-8 or units of UTF-16, without its line end.
template <class CharT> struct BasicSplitLine {
    // The whole line, or only its first heldUnits when it was longer.
    std::basic_string_view<CharT> bytes;
    bool cut = false;
    // Known only for cut lines: the UTF-16 length, the blanks and tabs that end the line,
    // and whether "orv" stands anywhere in it, in any letter case.
    std::uint64_t utf16Length = 0;
    std::uint64_t trailingBlanks = 0;
    bool holdsOrv = false;
};
using SplitLine = BasicSplitLine<char>;

// Whether no byte has its high bit set: a line of ASCII bytes is its own UTF-16 text, one
// unit a byte.
bool isAscii(std::string_view bytes);

// What is known of a cut line, gathered unit by unit over the whole of it.
class LineTally {
public:
    void add(std::string_view bytes);
    void add(std::u16string_view units);
    template <class CharT> void finishInto(BasicSplitLine<CharT>& line) const
    {
        line.utf16Length = m_utf16Length;
        line.trailingBlanks = m_trailingBlanks;
        line.holdsOrv = m_orvState == 3;
    }

private:
    void see(unsigned c);

    std::uint64_t m_utf16Length = 0;
    std::uint64_t m_trailingBlanks = 0;
    int m_orvState = 0; // 1 after "o", 2 after "or", 3 once "orv" was seen
};

// Cuts a stream of code units, fed in chunks of any size, into lines that end at CR LF, LF
// or a lone CR. A line may span chunks; memory stays bounded by heldUnits whatever the input.
template <class CharT> class BasicLineSplitter {
public:
    using Line = BasicSplitLine<CharT>;

    explicit BasicLineSplitter(std::size_t heldUnits = 64 * 1024 / sizeof(CharT))
        : m_heldUnits(heldUnits)
    {}

    // Calls onLine(const Line&) for every line that ends in the chunk.
    template <class OnLine> void feed(std::basic_string_view<CharT> chunk, OnLine&& onLine);
    // Hands over the last line when the stream did not end with a line end.
    template <class OnLine> void finish(OnLine&& onLine);

private:
    void carry(std::basic_string_view<CharT> part);
    template <class OnLine> void emitCarried(OnLine&& onLine);

    std::size_t m_heldUnits;
    std::basic_string<CharT> m_carried;
    bool m_cut = false;
    bool m_pending = false; // a line has begun in an earlier chunk
    bool m_afterCr = false; // the last chunk ended in CR, so a first LF is part of that line end
    LineTally m_tally;
};
using LineSplitter = BasicLineSplitter<char>;
using Utf16LineSplitter = BasicLineSplitter<char16_t>;

template <class CharT>
template <class OnLine>
void BasicLineSplitter<CharT>::feed(std::basic_string_view<CharT> chunk, OnLine&& onLine)
{
    using Traits = std::char_traits<CharT>;
    if (chunk.empty())
        return;
    const CharT* p = chunk.data();
    const CharT* const end = p + chunk.size();
    if (m_afterCr && *p == CharT('\n'))
        ++p;
    m_afterCr = false;

    // Each search result is kept until passed, so a chunk is scanned once for CR and once for LF.
    const CharT* nextLf = nullptr;
    const CharT* nextCr = nullptr;
    while (p != end) {
        if (nextLf < p) {
            nextLf = Traits::find(p, std::size_t(end - p), CharT('\n'));
            if (!nextLf)
                nextLf = end;
        }
        if (nextCr < p) {
            nextCr = Traits::find(p, std::size_t(end - p), CharT('\r'));
            if (!nextCr)
                nextCr = end;
        }
        const CharT* const stop = nextLf < nextCr ? nextLf : nextCr;
        if (stop == end) {
            carry({p, std::size_t(end - p)});
            return;
        }
        if (m_pending) {
            carry({p, std::size_t(stop - p)});
            emitCarried(onLine);
        } else {
            Line line;
            line.bytes = {p, std::size_t(stop - p)};
            if (line.bytes.size() > m_heldUnits) {
                carry(line.bytes);
                emitCarried(onLine);
            } else {
                onLine(static_cast<const Line&>(line));
            }
        }
        p = stop + 1;
        if (*stop == CharT('\r')) {
            if (p == end)
                m_afterCr = true;
            else if (*p == CharT('\n'))
                ++p;
        }
    }
}

template <class CharT> template <class OnLine> void BasicLineSplitter<CharT>::finish(OnLine&& onLine)
{
    if (m_pending)
        emitCarried(onLine);
    m_afterCr = false;
}

template <class CharT> template <class OnLine> void BasicLineSplitter<CharT>::emitCarried(OnLine&& onLine)
{
    Line line;
    line.bytes = m_carried;
    line.cut = m_cut;
    if (m_cut)
        m_tally.finishInto(line);
    onLine(static_cast<const Line&>(line));
    m_carried.clear();
    m_cut = false;
    m_pending = false;
    m_tally = LineTally();
}

template <class CharT> void BasicLineSplitter<CharT>::carry(std::basic_string_view<CharT> part)
{
    m_pending = true;
    if (m_cut) {
        m_tally.add(part);
        return;
    }
    const std::size_t room = m_heldUnits - m_carried.size();
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
