// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the grouping of copies (recover.cpp) and the vote (vote.cpp) share; not for callers.
#include "candidates.h"
#include "copyframes.h"
#include "keytable.h"
#include "recover.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace orvik {
namespace recovery {

struct Copy : CopyFrames {
    CopySource source;
    std::uint64_t seq = 0; // the order in which copies came
};

struct Group {
    std::uint64_t firstCopy = 0; // m_added when the group began
    std::vector<Copy> copies;
    // The keys of its copies: those of one copy are kept in place, so that a line alone asks
    // for no memory. With each, the number of the group before it that holds the key too: the
    // table names the newest, and neighbouring beacons share many keys.
    std::array<std::uint64_t, kFrameTags.size()> ownKeys{};
    std::array<std::uint64_t, kFrameTags.size()> ownBefore{};
    std::uint8_t ownCount = 0;
    std::vector<std::uint64_t> moreKeys;
    std::vector<std::uint64_t> moreBefore;
    // A group of one clean line keeps only its text, folded, until another copy comes.
    bool clean = false;
    std::array<char, kBeaconLength> cleanText; // as it came, letter case and all
    CopySource cleanSource;
    // The first copy of a group this one could not be told apart from, and whether copies
    // there agreed on an on-board time that this group's lone copy does not hold.
    CopySource lookalike;
    std::uint64_t lookalikeGroup = 0;   // its number + 1, 0 for none
    std::uint64_t youngerLookalike = 0; // the first later group told apart from this one
    // A lone copy outvoted by the copies of a lookalike: the field characters where they differ,
    // which could be its own beacon's or miscopies of the other's.
    bool outvoted = false;
    std::array<bool, kFieldChars> disputed{};

    bool empty() const { return copies.empty() && !clean; }
    std::size_t keyCount() const { return ownCount + moreKeys.size(); }
    // A key its copies share is kept once; the keys of a group's first copy are its own.
    void addKey(std::uint64_t key, bool first, std::uint64_t before)
    {
        if (!first &&
            (std::find(ownKeys.begin(), ownKeys.begin() + ownCount, key) != ownKeys.begin() + ownCount ||
             std::find(moreKeys.begin(), moreKeys.end(), key) != moreKeys.end()))
            return;
        if (ownCount < ownKeys.size()) {
            ownBefore[ownCount] = before;
            ownKeys[ownCount++] = key;
        } else {
            moreKeys.push_back(key);
            moreBefore.push_back(before);
        }
    }
    // The group before this one that holds the key, 0 for none.
    std::uint64_t before(std::uint64_t key) const
    {
        for (std::size_t i = 0; i < ownCount; ++i) {
            if (ownKeys[i] == key)
                return ownBefore[i];
        }
        const auto at = std::find(moreKeys.begin(), moreKeys.end(), key);
        return at == moreKeys.end() ? 0 : moreBefore[std::size_t(at - moreKeys.begin())];
    }
    void setBefore(std::uint64_t key, std::uint64_t group)
    {
        for (std::size_t i = 0; i < ownCount; ++i) {
            if (ownKeys[i] == key)
                ownBefore[i] = group;
        }
        const auto at = std::find(moreKeys.begin(), moreKeys.end(), key);
        if (at != moreKeys.end())
            moreBefore[std::size_t(at - moreKeys.begin())] = group;
    }
    template <class F> void forKeys(F f) const
    {
        for (std::size_t i = 0; i < ownCount; ++i)
            f(ownKeys[i]);
        for (const std::uint64_t key : moreKeys)
            f(key);
    }
    void clearKeys()
    {
        ownCount = 0;
        moreKeys.clear();
        moreBefore.clear();
    }
};

// The on-board time its copies hold, from the first that holds one whole, and how many hold it.
std::optional<std::uint32_t> groupTime(const Group& group, int* holding = nullptr);

} // namespace recovery

// A line taken but not yet placed, so that the key slots it will read are fetched meanwhile.
struct Recoverer::Pending {
    bool clean = false;
    std::array<char, kBeaconLength> cleanText; // as it came
    CopySource source;
    Copy copy; // a line that is not clean, cut into its frames
    std::array<std::uint64_t, kFrameTags.size()> keys{};
};

struct Recoverer::State {
    // The closed groups, whose window passed, waiting to be taken, then the open ones; oldest first.
    std::deque<Group> groups;
    std::size_t closed = 0;
    recovery::KeyTable keys;
    // The table is rebuilt before its 32-bit group numbers could be taken for those of old groups.
    std::uint64_t rebuiltAt = 0;
    CandidateCutter cutter;
    std::vector<Candidate> cut;
    std::array<Pending, kAhead> pending;
    std::size_t pendingFirst = 0;
    std::size_t pendingCount = 0;

    std::size_t openCount() const { return groups.size() - closed; }
    Group& open(std::size_t at) { return groups[closed + at]; }
    // Where the open group a key was put for stands among the open ones; openCount() for none.
    std::size_t openAt(std::uint32_t stored, std::uint64_t firstOpen) const
    {
        const std::uint32_t at = stored - std::uint32_t(firstOpen + 1);
        return stored != 0 && at < openCount() ? at : openCount();
    }
};

} // namespace orvik
