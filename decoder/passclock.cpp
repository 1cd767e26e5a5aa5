// SPDX-License-Identifier: GPL-3.0-or-later
#include "passclock.h"

#include <cmath>

namespace orvik {

std::optional<std::size_t> PassClock::stretchHolding(double obcTime) const
{
    // A reset starts the count again from nought, so a time under a pass is a run of its own.
    if (obcTime < kPassSpan)
        return std::nullopt;
    for (std::size_t r = 0; r < m_runs.size(); ++r) {
        if (obcTime >= m_runs[r].start - kPassSpan && obcTime <= m_runs[r].last)
            return r;
    }
    return std::nullopt;
}

std::int64_t PassClock::date(double obcTime)
{
    if (std::isnan(obcTime))
        return m_lastMs;
    if (m_runs.empty()) {
        m_runs.push_back({obcTime, obcTime});
        m_run = 0;
    } else if (obcTime < m_last) {
        if (const std::optional<std::size_t> r = stretchHolding(obcTime)) {
            m_run = *r;
        } else {
            ++m_resets;
            m_runs.push_back({obcTime, obcTime});
            m_run = m_runs.size() - 1;
        }
    }
    Run& run = m_runs[m_run];
    run.last = std::max(run.last, obcTime);
    m_last = obcTime;
    m_lastMs = m_firstMs + std::int64_t(std::llround((obcTime - run.start) * 1000.0));
    return m_lastMs;
}

} // namespace orvik
