// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the grouping of copies (recover.cpp) and the vote (vote.cpp) share; not for callers.
#include "bigalloc.h"
#include "candidates.h"
#include "copyframes.h"
#include "decoder/recover.h"
#include "framekeys.h"
#include "keytable.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace orvik {
namespace recovery {

// A lone copy is weighed against this many lookalikes at most, older and younger each: its
// own beacon's copies may be among them beside its neighbours'.
inline constexpr std::size_t kMostLookalikes = 8;

struct Copy : CopyFrames {
    using CopyFrames::CopyFrames;

    CopySource source;
    std::uint64_t seq = 0; // the order in which copies came
};

// What a group holds beyond its copies: most groups are one clean line and need none of it.
struct GroupMore {
    // The keys of its copies, each kept once, with the number of the group before it that
    // holds the key too: the table names the newest, and neighbouring beacons share many keys.
    std::array<std::uint64_t, kFrameTags.size()> ownKeys{};
    std::array<std::uint64_t, kFrameTags.size()> ownBefore{};
    std::uint8_t ownCount = 0;
    std::vector<std::uint64_t> moreKeys;
    std::vector<std::uint64_t> moreBefore;
    // The first copy of a group this one could not be told apart from, and whether copies
    // there agreed on an on-board time that this group's lone copy does not hold.
    CopySource lookalike;
    std::uint64_t lookalikeGroup = 0; // its number + 1, 0 for none
    // The first few later groups told apart from this one, 0 beyond them: those that found it
    // the most alike of theirs, and any.
    std::array<std::uint64_t, kMostLookalikes> pairedLookalikes{};
    std::array<std::uint64_t, kMostLookalikes> laterLookalikes{};
    // A lone copy outvoted by the copies of a lookalike: the field characters where they differ,
    // which could be its own beacon's or miscopies of the other's.
    bool outvoted = false;
    std::bitset<kFieldChars> disputed;
};

struct Group {
    explicit Group(std::pmr::memory_resource* memory = std::pmr::get_default_resource())
        : copies(memory)
    {}

    std::uint64_t firstCopy = 0; // m_added when the group began
    std::pmr::vector<Copy> copies;
    // A group of one clean line keeps only its text until another copy comes; its keys are
    // those of the text, and no group before it holds them.
    bool clean = false;
    std::array<char, kBeaconLength> cleanText{}; // as it came, letter case and all
    CopySource cleanSource;

    bool empty() const { return copies.empty() && !clean; }
    const GroupMore& more() const { return m_more ? *m_more : kNone; }
    GroupMore& more();

    std::size_t keyCount() const
    {
        return m_more ? m_more->ownCount + m_more->moreKeys.size() : clean ? kFrameTags.size() : 0;
    }
    // A key its copies share is kept once; the keys of a group's first copy are its own.
    void addKey(std::uint64_t key, bool first, std::uint64_t before);
    // The group before this one that holds the key, 0 for none.
    std::uint64_t before(std::uint64_t key) const;
    void setBefore(std::uint64_t key, std::uint64_t group);
    template <class F> void forKeys(F f) const
    {
        if (!m_more) {
            if (clean) {
                std::array<std::uint64_t, kFrameTags.size()> keys;
                cleanKeys(cleanText.data(), keys, std::make_index_sequence<kFrameTags.size()>());
                for (const std::uint64_t key : keys)
                    f(key);
            }
            return;
        }
        for (std::size_t i = 0; i < m_more->ownCount; ++i)
            f(m_more->ownKeys[i]);
        for (const std::uint64_t key : m_more->moreKeys)
            f(key);
    }
    void clearKeys();
    // As new, keeping the memory of its copies for the next group in its place.
    void reuse();

private:
    static const GroupMore kNone;
    std::unique_ptr<GroupMore> m_more;
    std::unique_ptr<GroupMore> m_spare; // that of an earlier group in this place, for the next
};

// The groups kept, oldest first, in a ring whose places are used again: a group per line
// would otherwise cost an allocation. Growing moves the groups, so no reference to one is
// held across emplace_back().
class GroupRing {
public:
    // The copies of its groups are held in `memory`.
    explicit GroupRing(std::pmr::memory_resource* memory)
        : m_memory(memory)
    {}

    std::size_t size() const { return m_count; }
    Group& operator[](std::size_t at) { return m_slots[(m_first + at) & (m_slots.size() - 1)]; }
    const Group& operator[](std::size_t at) const { return m_slots[(m_first + at) & (m_slots.size() - 1)]; }
    Group& front() { return (*this)[0]; }
    Group& emplace_back()
    {
        if (m_count == m_slots.size())
            grow();
        Group& group = (*this)[m_count++];
        group.reuse();
        return group;
    }
    void pop_front()
    {
        m_first = (m_first + 1) & (m_slots.size() - 1);
        --m_count;
    }

private:
    void grow()
    {
        std::vector<Group, BigAllocator<Group>> slots;
        const std::size_t size = std::max<std::size_t>(64, 2 * m_slots.size());
        slots.reserve(size);
        while (slots.size() < size)
            slots.emplace_back(m_memory);
        for (std::size_t i = 0; i < m_count; ++i)
            slots[i] = std::move((*this)[i]);
        m_slots = std::move(slots);
        m_first = 0;
    }

    std::pmr::memory_resource* m_memory;
    std::vector<Group, BigAllocator<Group>> m_slots; // a power of two of them
    std::size_t m_first = 0;
    std::size_t m_count = 0;
};

// The on-board time its copies hold, from the first that holds one whole, and how many hold it.
std::optional<std::uint32_t> groupTime(const Group& group, int* holding = nullptr);

// A miscopied time differs in a digit or two, such as two swapped ones.
inline constexpr int kMostMiscopied = 2;
// A copy of a beacon differs from what the beacon's other copies hold most in a few miscopies.
inline constexpr int kMostDiffering = 3;

// The digits in which two on-board times differ.
inline int timeDigitsApart(std::uint32_t a, std::uint32_t b)
{
    int changed = 0;
    for (int i = 0; i < kLayout[0].fieldLength; ++i)
        changed += (a >> (4 * i) & 15) != (b >> (4 * i) & 15);
    return changed;
}

// An on-board time as its field writes it, lower-case hex digits, in characters of CharT.
template <class CharT> std::array<CharT, 8> timeText(std::uint32_t time)
{
    const int digits = kLayout[0].fieldLength;
    std::array<CharT, 8> text{};
    for (int i = 0; i < digits; ++i)
        text[std::size_t(i)] = CharT("0123456789abcdef"[time >> (4 * (digits - 1 - i)) & 15]);
    return text;
}

// A beacon line as it stands whose every field character is a hex digit: the strict reading's.
bool readClean(const Copy& copy);
// Whether the copy's on-board time and the group's differ in more digits than a miscopy: of
// a group that holds none whole, in the digits each of its copies holds where they stand.
bool farInTime(const Copy& copy, const Group& group);

// Keeps the oldest groups of those it is given, oldest first, 0 beyond them.
inline void keepOldest(std::array<std::uint64_t, kMostLookalikes>& kept, std::uint64_t g)
{
    for (std::uint64_t& slot : kept) {
        if (slot == g)
            return;
        if (slot == 0 || g < slot)
            std::swap(slot, g);
        if (g == 0)
            return;
    }
}

} // namespace recovery

} // namespace orvik
