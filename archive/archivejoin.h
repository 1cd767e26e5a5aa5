// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/channels.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace orvik {

// A copy of a beacon as the archive weighs it: its line as received (UTF-8), how many copies
// it stands for, and the record it belongs to, 0 for one not yet placed.
struct ArchiveCopy {
    std::string_view line;
    int copies = 1;
    std::int64_t record = 0;
};

// True when every copy holds the same beacon line, letter case aside: their vote is that
// line's values, however many they are.
bool oneBeaconLine(std::span<const ArchiveCopy> copies);

// The values of a record, voted from its copies under the recovery's rules: a value is
// written when a majority of the copies hold its field, and left out (NaN) otherwise.
void voteCopies(std::span<const ArchiveCopy> copies, std::array<double, kChannelCount>& values);

// Where each copy not yet placed goes, given the copies in the order they were received:
// the number of the record it joins, or -k for the k-th new record, counted from 1 in the
// order of their first copies. The recovery groups all of them; a group that holds placed
// copies joins the record that most of those are of (the oldest, when as many are of two),
// so that records already there are never merged. A placed copy keeps its record.
std::vector<std::int64_t> joinCopies(std::span<const ArchiveCopy> copies);

} // namespace orvik
