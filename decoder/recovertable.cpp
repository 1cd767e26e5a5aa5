// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnose.h"
#include "recordtable.h"

#include <algorithm>

namespace orvik {

void recoverLogLines(std::span<const std::u16string_view> lines, RecordTable& table, LogReport& report)
{
    table.m_count = 0;
    report = LogReport();
    report.recovered = true;
    std::vector<bool> taken(lines.size());
    Recoverer recoverer;
    RecoveredRecord r;
    // Records past the table's last row only mark their lines: their values are never read.
    const auto takeReady = [&](Recoverer::Ready ready) {
        const auto values = [&] {
            return table.m_count < RecordTable::kMaxRecords ? Recoverer::Values::Numbers
                                                            : Recoverer::Values::InLine;
        };
        while (recoverer.take(r, ready, values())) {
            // Copies that make no value certain are no record: their lines stay undecoded.
            if (!r.anyValue())
                continue;
            for (const CopySource& c : r.copies) {
                for (std::uint64_t line = c.line; line <= c.last() && line <= lines.size(); ++line)
                    taken[std::size_t(line - 1)] = true;
            }
            const std::size_t first = std::size_t(r.copies.front().line - 1);
            if (table.m_count == RecordTable::kMaxRecords) {
                if (report.leftOut++ == 0)
                    report.firstLeftOut = first;
                continue;
            }
            table.m_rows[std::size_t(++table.m_count)] = r.values;
            report.recordLines.push_back(first);
            report.linesMerged += r.copies.size() - 1;
            report.valuesMissing += std::size_t(std::count_if(
                r.leftOut.begin(), r.leftOut.end(), [](LeftOut why) { return why != LeftOut::No; }));
            report.missing.push_back(r.leftOut);
            report.recordCopies.push_back(r.copies);
        }
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        recoverer.add(lines[i], CopySource{0, i + 1});
        takeReady(Recoverer::Ready::Passed);
    }
    takeReady(Recoverer::Ready::All);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::u16string_view line = lines[i];
        if (line.find_first_not_of(u" \t") == std::u16string_view::npos)
            continue;
        ++report.lines;
        if (taken[i])
            continue;
        report.notDecoded.push_back(i);
        if (looksLikeBeaconAttempt(line))
            report.attempts.push_back(i);
    }
}

} // namespace orvik
