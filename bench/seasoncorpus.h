// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Seasons of beacons a fixed period apart, in passes, copied by one to three stations whose
// logs are merged: neighbouring beacons look alike, as the telemetry changes slowly.

#include "corpus.h"

namespace orvik::bench {

// How the stations' logs are put together: one after another, or pass by pass.
enum class Merge : std::uint8_t { Concatenate, Interleave };

struct SeasonOptions {
    int period = 64;            // seconds between beacons
    std::size_t beacons = 8000; // sent, about
    double rate = 0.02;         // of characters at fault in a copy
    int stations = 1;
    Merge merge = Merge::Interleave;
    bool varied = false; // separators and tail drawn, or blanks and a tail of "0"
    std::uint64_t seed = 1;
};

// One satellite sends one format: a varied season's separators and tail are drawn once from
// the seed, each character from the mix of filler(); else they are those of blankFormat('0').
LineFormat seasonFormat(std::uint64_t seed, bool varied);

// Passes of 6 to 15 minutes, a few a day with hours between them. Every station misses some
// beacons, more of them low over the horizon, and copies the rest with its own errors.
Corpus makeSeason(const SeasonOptions& options);

} // namespace orvik::bench
