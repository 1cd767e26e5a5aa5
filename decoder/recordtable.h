// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacon.h"
#include "recover.h"

#include <array>
#include <cassert>
#include <span>
#include <string_view>
#include <vector>

namespace orvik {

// Rows 0 to 100; record n of the last parse lies in row n. Row 0 is never written, and a
// parse never clears rows above its count: they keep what a longer parse left there.
class RecordTable {
public:
    static constexpr int kMaxRecords = 100;

    int count() const { return m_count; }

    double value(int row, int channel) const
    {
        assert(row >= 0 && row <= kMaxRecords && channel >= 0 && channel < kChannelCount);
        return m_rows[std::size_t(row)][std::size_t(channel)];
    }
    const Record& row(int row) const
    {
        assert(row >= 0 && row <= kMaxRecords);
        return m_rows[std::size_t(row)];
    }

private:
    friend void parseLogLines(std::span<const std::u16string_view> lines, RecordTable& table,
                              struct LogReport* report);
    friend void recoverLogLines(std::span<const std::u16string_view> lines, RecordTable& table,
                                struct LogReport& report);
    bool add(std::u16string_view line);

    std::array<Record, kMaxRecords + 1> m_rows{};
    int m_count = 0;
};

// What a parse did with the lines of the log, to tell the user. Lines are counted from 0.
struct LogReport {
    std::size_t lines = 0;                // lines that hold more than blanks
    std::vector<std::size_t> recordLines; // the line of record n at n - 1
    std::vector<std::size_t> doubtful;    // lines of records whose fields are not all hex digits
    std::vector<std::size_t> notDecoded;  // lines that hold more than blanks and are no beacon lines
    std::vector<std::size_t> attempts;    // those of them that look like a beacon heard wrong
    std::size_t leftOut = 0;              // beacon lines past the table's last row, or records
    std::size_t firstLeftOut = 0;         // the first of them
    // With recovery: each record's copies, and why each of its values was left out.
    bool recovered = false;
    std::vector<std::vector<CopySource>> recordCopies;
    std::vector<std::array<LeftOut, kChannelCount>> missing;
    std::size_t linesMerged = 0;   // copies beyond each record's first
    std::size_t valuesMissing = 0; // values left out, over the records kept
};

// Decodes the beacon lines of a log split into its lines, in text order, into rows 1, 2, ... of
// the table. Beacon lines past the 100th are left out. With a report, every line is looked at,
// also past the 100th beacon line.
void parseLogLines(std::span<const std::u16string_view> lines, RecordTable& table,
                   LogReport* report = nullptr);

// The same through the recovery of damaged copies: copies of one beacon are merged into one
// record, which counts once, and a value not certain is left out (NaN). Records come in the
// order of their first lines; those past the table's last row are counted in `leftOut`.
void recoverLogLines(std::span<const std::u16string_view> lines, RecordTable& table, LogReport& report);

} // namespace orvik
