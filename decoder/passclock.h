// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace orvik {

// Dates the beacons of one log, in the order they come, from the time its first beacon was
// received: the on-board time counts seconds, so each beacon is that time plus the on-board
// seconds since the first. Where the on-board time goes back (the satellite's computer was
// reset), a new run of beacons begins, dated from the same time again. A beacon whose
// on-board time is not known takes the time of the one before it.
class PassClock {
public:
    explicit PassClock(std::int64_t firstMs)
        : m_firstMs(firstMs)
        , m_lastMs(firstMs)
    {}

    // The received time of the next beacon, from its on-board time (NaN when left out).
    std::int64_t date(double obcTime);
    // Times the on-board time went back.
    int resets() const { return m_resets; }
    std::int64_t firstMs() const { return m_firstMs; }

private:
    std::int64_t m_firstMs;
    std::int64_t m_lastMs;
    std::optional<double> m_runStart;
    double m_last = 0;
    int m_resets = 0;
};

} // namespace orvik
