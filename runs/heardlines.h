// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recover.h"

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// A copy of a beacon as received: its line's units, and the bytes the line came as when it
// is a line of its own that came as bytes (which may be no valid UTF-8).
struct HeardCopy {
    std::u16string text;
    std::string bytes;
    CopySource source;
};

// The lines of a recovering run as received, kept while a record may still take them, so that
// an archive keeps each copy as it came rather than as the recovery read it. Lines are kept by
// their input and line number; the recovery's columns count their units.
class HeardLines {
public:
    // The lines that follow are of the next input.
    void beginInput();
    // A line as the recovery takes it, and the bytes it came as, if they were not ASCII.
    template <class CharT>
    void keep(std::uint64_t lineNumber, std::basic_string_view<CharT> text, std::string_view bytes);
    // The copy as received: a stretch of its line, or the stretch of each of its lines, each
    // after a line feed. Empty when its lines were forgotten.
    HeardCopy copyOf(const CopySource& source) const;
    // The lines before `source`'s are no record's any more.
    void forgetBefore(const CopySource& source);

private:
    struct Line {
        std::u16string text;
        std::string bytes;
    };
    std::uint64_t placeOf(std::uint32_t input, std::uint64_t lineNumber) const;
    const Line* lineAt(std::uint64_t place) const;

    std::deque<Line> m_lines;
    std::uint64_t m_first = 0;         // the place of m_lines.front()
    std::vector<std::uint64_t> m_base; // the place of line 0 of each input
};

} // namespace orvik
