// SPDX-License-Identifier: GPL-3.0-or-later
#include "passclock.h"

#include <cmath>

namespace orvik {

std::int64_t PassClock::date(double obcTime)
{
    if (std::isnan(obcTime))
        return m_lastMs;
    if (!m_runStart || obcTime < m_last) {
        m_resets += m_runStart.has_value();
        m_runStart = obcTime;
    }
    m_last = obcTime;
    m_lastMs = m_firstMs + std::int64_t(std::llround((obcTime - *m_runStart) * 1000.0));
    return m_lastMs;
}

} // namespace orvik
