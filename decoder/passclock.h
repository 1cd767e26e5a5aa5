// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace orvik {

// Dates the beacons of one log, in the order they come, from the time its first beacon was
// received: the on-board time counts seconds, so each beacon is that time plus the on-board
// seconds since the first. Where the on-board time goes back into a stretch the log has dated,
// or just before it, another station's copies of those beacons follow, and they are dated
// alike. Where it goes back anywhere else (the satellite's computer was reset), a new run of
// beacons begins, dated from the same time again. A beacon whose on-board time is not known
// takes the time of the one before it.
class PassClock {
public:
    // A step back to an on-board time within this many seconds before a stretch already
    // dated is a log that began earlier; a reset starts the count again below it.
    static constexpr double kPassSpan = 3600;

    explicit PassClock(std::int64_t firstMs)
        : m_firstMs(firstMs)
        , m_lastMs(firstMs)
    {}

    // The received time of the next beacon, from its on-board time (NaN when left out).
    std::int64_t date(double obcTime);
    // Times the on-board time went back, other than into a stretch dated before.
    int resets() const { return m_resets; }
    std::int64_t firstMs() const { return m_firstMs; }

private:
    // Beacons in order of on-board time, dated from the received time of the first.
    struct Run {
        double start = 0;
        double last = 0;
    };
    std::optional<std::size_t> stretchHolding(double obcTime) const;

    std::int64_t m_firstMs;
    std::int64_t m_lastMs;
    std::vector<Run> m_runs;
    std::size_t m_run = 0;
    double m_last = 0;
    int m_resets = 0;
};

} // namespace orvik
