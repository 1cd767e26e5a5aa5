// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordtable.h"

namespace orvik {

void parseLog(std::u16string_view text, RecordTable& table)
{
    table.m_count = 0;
    if (text.empty())
        return;

    constexpr std::u16string_view kBreak = u"\r\n";
    std::size_t start = 0;
    while (table.m_count < RecordTable::kMaxRecords) {
        const std::size_t end = text.find(kBreak, start);
        const std::u16string_view line =
            text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
        if (isBeaconLine(line)) {
            ++table.m_count;
            decodeBeaconLine(line, table.m_rows[std::size_t(table.m_count)]);
        }
        if (end == std::u16string_view::npos)
            break;
        start = end + kBreak.size();
    }
}

} // namespace orvik
