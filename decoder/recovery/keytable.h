// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "bigalloc.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvik {
namespace recovery {

// Open addressing, key -> group number; a key of a group that closed is simply not found
// again, and the table is rebuilt from the open groups when it fills. A slot holds 32 bits of
// the key and of the group number, so that more of the table stays in the cache: a key taken
// for another is only a candidate, which fits() still judges. The other tables (dedupe's seen
// lines, the archive's row keys) keep whole keys that never expire; this one holds 32 bits and
// is rebuilt, as its keys expire with their groups, so it is a table of its own.
class KeyTable {
public:
    // The low 32 bits of the group number + 1 the key was put for, 0 when not found.
    std::uint32_t find(std::uint64_t key) const
    {
        if (m_slots.empty())
            return 0;
        const std::uint32_t tag = tagOf(key);
        for (std::size_t i = home(key);; i = (i + 1) & m_mask) {
            if (m_slots[i].tag == tag)
                return m_slots[i].group;
            if (m_slots[i].tag == 0)
                return 0;
        }
    }

    void prefetch(std::uint64_t key) const
    {
#if defined(__GNUC__)
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[home(key)]);
#else
        (void)key;
#endif
    }

    void put(std::uint64_t key, std::uint64_t group)
    {
        const std::uint32_t tag = tagOf(key);
        for (std::size_t i = home(key);; i = (i + 1) & m_mask) {
            if (m_slots[i].tag == tag || m_slots[i].tag == 0) {
                m_used += m_slots[i].tag == 0;
                m_slots[i] = {tag, std::uint32_t(group)};
                return;
            }
        }
    }

    bool full() const { return m_used * 2 >= m_slots.size(); }

    // Empties the table, with room for `keys` keys.
    void reset(std::size_t keys);

private:
    struct Slot {
        std::uint32_t tag = 0; // the key's high bits, never 0
        std::uint32_t group = 0;
    };
    static std::uint32_t tagOf(std::uint64_t key) { return std::uint32_t(key >> 32) | 1u; }
    // The low bit of a key is always set; the place comes from the bits above it.
    std::size_t home(std::uint64_t key) const { return std::size_t(key >> 1) & m_mask; }

    std::vector<Slot, BigAllocator<Slot>> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_used = 0;
};

} // namespace recovery
} // namespace orvik
