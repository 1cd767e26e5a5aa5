// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace orvik {

// One line of bytes, without its line end.
struct SplitLine {
    // The whole line, or only its first heldBytes when it was longer.
    std::string_view bytes;
    bool cut = false;
    // Known only for cut lines: the UTF-16 length, the blanks and tabs that end the line,
    // and whether "orv" stands anywhere in it, in any letter case.
    std::uint64_t utf16Length = 0;
    std::uint64_t trailingBlanks = 0;
    bool holdsOrv = false;
};

// What is known of a cut line, gathered byte by byte over the whole of it.
class LineTally {
public:
    void add(std::string_view bytes);
    void finishInto(SplitLine& line) const;

private:
    std::uint64_t m_utf16Length = 0;
    std::uint64_t m_trailingBlanks = 0;
    int m_orvState = 0; // 1 after "o", 2 after "or", 3 once "orv" was seen
};

// Cuts a stream of bytes, fed in chunks of any size, into lines that end at CR LF, LF or a
// lone CR. A line may span chunks; memory stays bounded by heldBytes whatever the input.
class LineSplitter {
public:
    explicit LineSplitter(std::size_t heldBytes = 64 * 1024)
        : m_heldBytes(heldBytes)
    {}

    // Calls onLine(const SplitLine&) for every line that ends in the chunk.
    template <class OnLine> void feed(std::string_view chunk, OnLine&& onLine);
    // Hands over the last line when the stream did not end with a line end.
    template <class OnLine> void finish(OnLine&& onLine);

private:
    void carry(std::string_view part);
    template <class OnLine> void emitCarried(OnLine&& onLine);

    std::size_t m_heldBytes;
    std::string m_carried;
    bool m_cut = false;
    bool m_pending = false; // a line has begun in an earlier chunk
    bool m_afterCr = false; // the last chunk ended in CR, so a first LF is part of that line end
    LineTally m_tally;
};

template <class OnLine> void LineSplitter::feed(std::string_view chunk, OnLine&& onLine)
{
    if (chunk.empty())
        return;
    const char* p = chunk.data();
    const char* const end = p + chunk.size();
    if (m_afterCr && *p == '\n')
        ++p;
    m_afterCr = false;

    // Each search result is kept until passed, so a chunk is scanned once for CR and once for LF.
    const char* nextLf = nullptr;
    const char* nextCr = nullptr;
    while (p != end) {
        if (nextLf < p) {
            nextLf = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
            if (!nextLf)
                nextLf = end;
        }
        if (nextCr < p) {
            nextCr = static_cast<const char*>(std::memchr(p, '\r', std::size_t(end - p)));
            if (!nextCr)
                nextCr = end;
        }
        const char* const stop = nextLf < nextCr ? nextLf : nextCr;
        if (stop == end) {
            carry({p, std::size_t(end - p)});
            return;
        }
        if (m_pending) {
            carry({p, std::size_t(stop - p)});
            emitCarried(onLine);
        } else {
            SplitLine line;
            line.bytes = {p, std::size_t(stop - p)};
            if (line.bytes.size() > m_heldBytes) {
                carry(line.bytes);
                emitCarried(onLine);
            } else {
                onLine(static_cast<const SplitLine&>(line));
            }
        }
        p = stop + 1;
        if (*stop == '\r') {
            if (p == end)
                m_afterCr = true;
            else if (*p == '\n')
                ++p;
        }
    }
}

template <class OnLine> void LineSplitter::finish(OnLine&& onLine)
{
    if (m_pending)
        emitCarried(onLine);
    m_afterCr = false;
}

template <class OnLine> void LineSplitter::emitCarried(OnLine&& onLine)
{
    SplitLine line;
    line.bytes = m_carried;
    line.cut = m_cut;
    if (m_cut)
        m_tally.finishInto(line);
    onLine(static_cast<const SplitLine&>(line));
    m_carried.clear();
    m_cut = false;
    m_pending = false;
    m_tally = LineTally();
}

} // namespace orvik
