// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recordtable.h"

#include <string_view>
#include <vector>

namespace testsupport {

// A log as the tests write one, its lines ended by CR LF: split there, and decoded as the window
// decodes the lines of its log box.
inline void parseCrLfLog(std::u16string_view text, orvik::RecordTable& table)
{
    constexpr std::u16string_view kBreak = u"\r\n";
    std::vector<std::u16string_view> lines;
    for (std::size_t start = 0; !text.empty();) {
        const std::size_t end = text.find(kBreak, start);
        lines.push_back(text.substr(start, end == std::u16string_view::npos ? end : end - start));
        if (end == std::u16string_view::npos)
            break;
        start = end + kBreak.size();
    }
    orvik::parseLogLines(lines, table);
}

} // namespace testsupport
