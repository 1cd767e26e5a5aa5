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

void KeyTable::refill(const std::vector<Entry>& entries, std::size_t keys)
{
    reset(keys);
    // Each put misses the cache: the slots of those to come are fetched meanwhile.
    constexpr std::size_t kAhead = 16;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + kAhead < entries.size())
            prefetch(entries[i + kAhead].key);
        put(entries[i].key, entries[i].group);
    }
}

} // namespace recovery
} // namespace orvik
