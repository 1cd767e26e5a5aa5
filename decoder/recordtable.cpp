// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordtable.h"

#include "diagnose.h"

namespace orvik {

// Decodes the line into the next row if it is a beacon line; false once the table is full.
bool RecordTable::add(std::u16string_view line)
{
    if (isBeaconLine(line)) {
        ++m_count;
        decodeBeaconLine(line, m_rows[std::size_t(m_count)]);
    }
    return m_count < kMaxRecords;
}

void parseLogLines(std::span<const std::u16string_view> lines, RecordTable& table, LogReport* report)
{
    table.m_count = 0;
    if (!report) {
        for (const std::u16string_view line : lines) {
            if (!table.add(line))
                break;
        }
        return;
    }

    *report = LogReport();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string_view line = lines[i];
        if (line.find_first_not_of(u" \t") == std::u16string_view::npos)
            continue;
        ++report->lines;
        if (!isBeaconLine(line)) {
            report->notDecoded.push_back(i);
            if (looksLikeBeaconAttempt(line))
                report->attempts.push_back(i);
        } else if (table.m_count == RecordTable::kMaxRecords) {
            if (report->leftOut++ == 0)
                report->firstLeftOut = i;
        } else {
            table.add(line);
            report->recordLines.push_back(i);
            if (!fieldsAreHex(line))
                report->doubtful.push_back(i);
        }
    }
}

} // namespace orvik
