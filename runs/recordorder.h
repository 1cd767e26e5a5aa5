// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recover.h"

#include <compare>
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace orvik {

// The records of orvik-tlm --recover in the order of their lines. The recovery gives them in
// the order of their first copies, which puts a beacon copied only in a later input after
// every record of the earlier ones. Here each input keeps the order of its own lines: a record
// comes after every record that one of its inputs holds on an earlier line. Where that leaves
// a choice, or where inputs disagree, the record copied first goes first. A record waits only
// while a line still to come could hold one to go before it.
class RecordOrder {
public:
    // The next record of the recovery, in the order of first copies. True when it goes out at
    // once, left in `record`; false when it was moved in to wait.
    bool take(RecoveredRecord& record);
    // The next waiting record that may go out; with Ready::All, every record has been taken.
    bool next(RecoveredRecord& out, Recoverer::Ready ready);

private:
    // A line in the order of the run: the inputs one after the other.
    struct Place {
        std::uint32_t input = 0;
        std::uint64_t line = 0;
        auto operator<=>(const Place&) const = default;
    };
    struct Waiting {
        RecoveredRecord record;
        std::vector<Place> places; // the first line it holds in each of its inputs
    };

    bool firstEverywhere(std::uint64_t number) const;
    bool settled(std::uint64_t number) const;
    void release(std::uint64_t number, RecoveredRecord& out);

    std::map<std::uint64_t, Waiting> m_waiting; // by the number of each record taken
    // Of each input, its waiting records by the first line they hold there, then their numbers.
    std::map<std::uint32_t, std::set<std::pair<std::uint64_t, std::uint64_t>>> m_byInput;
    std::uint64_t m_taken = 0;
    Place m_last; // the first copy of the record taken last: every later copy comes after it
};

} // namespace orvik
