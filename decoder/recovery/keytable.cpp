// SPDX-License-Identifier: GPL-3.0-or-later
#include "keytable.h"

#include <algorithm>
#include <bit>

namespace orvik {
namespace recovery {

void KeyTable::reset(std::size_t keys)
{
    // Never smaller than before: memory once taken is filled again rather than asked anew.
    m_slots.assign(std::max({std::size_t(1024), std::bit_ceil(keys * 4), m_slots.size()}), Slot{});
    m_mask = m_slots.size() - 1;
    m_used = 0;
}

} // namespace recovery
} // namespace orvik
