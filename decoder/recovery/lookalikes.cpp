// SPDX-License-Identifier: GPL-3.0-or-later
// Copies told apart but not joined: where a lone copy could be a copy of another group's
// beacon, what it holds otherwise is in doubt.
#include "decoder/recover.h"
#include "recoverinternal.h"

#include <algorithm>

namespace orvik {

using namespace copytext;
using recovery::GroupMore;
using recovery::groupTime;

// The groups a copy was told apart from, noted in the group it went to: a new group names the
// oldest, and each pair is weighed again when the older is voted. A lone copy is weighed now
// against the group it is most alike, and against every one whose copies outvote it.
void Recoverer::tellApart(Group& group, std::uint64_t number, const Weighed& weighed)
{
    const bool lone = group.copies.size() == 1;
    for (const std::uint64_t g : weighed.lookalikes) {
        if (g == 0)
            break;
        if (g == number)
            continue;
        Group& other = m_state->open(std::size_t(g - 1 - m_firstOpen));
        if (lone && std::as_const(group).more().lookalikeGroup == 0) {
            group.more().lookalike = other.copies.front().source;
            group.more().lookalikeGroup = g;
        }
        GroupMore& older = (g < number ? other : group).more();
        recovery::keepOldest(g == weighed.closest ? older.pairedLookalikes : older.laterLookalikes,
                             std::max(g, number));
        if (lone && (g == weighed.closest || other.copies.size() > 1))
            markOutvoted(group, other);
    }
}

// A lone copy that could be a copy of a lookalike's beacon or its neighbour: where the two
// differ, it could hold its own beacon's characters or miscopies of the other's, so those are
// in doubt. Copies of its own that agree would settle it; a lone copy has none.
void Recoverer::markOutvoted(Group& lone, const Group& other)
{
    if (lone.copies.size() != 1 || other.copies.empty())
        return;
    GroupMore& more = lone.more();
    more.outvoted = true;
    if (more.lookalike.line == 0)
        more.lookalike = other.copies.front().source;
    // Were it a copy of the other's beacon, a character no copy there holds alike would be one
    // vote alone.
    // That holds too for what the vote will place alone in a frame that lost or gained some.
    const Copy& copy = lone.copies.front();
    std::array<char16_t, kFieldChars> mine = copy.held;
    for (int f = 0; f < kFrames; ++f) {
        if (copy.reading[std::size_t(f)] == Reading::Damaged)
            placeAlone(copy, f, mine.data() + kLayout[std::size_t(f)].heldAt);
    }
    // Copies that hold one time and yet differ beyond miscopies put that time in doubt.
    const std::optional<std::uint32_t> time = copy.time();
    const bool timeInDoubt = time && time == groupTime(other);
    for (std::size_t p = 0; p < mine.size(); ++p) {
        if (timeInDoubt && p < std::size_t(kLayout[0].fieldLength)) {
            more.disputed[p] = true;
            continue;
        }
        const bool confirmed = std::any_of(other.copies.begin(), other.copies.end(),
                                           [&](const Copy& a) { return a.held[p] == mine[p]; });
        more.disputed[p] = more.disputed[p] || (mine[p] != 0 && !confirmed);
    }
}

// Before a group is voted, it is weighed again against the later groups told apart from it,
// as copies may have come to either since: those that found it the most alike of theirs, and
// any other whose copies outvote it or that its copies outvote.
void Recoverer::weighLookalikes(Group& group)
{
    const State& st = *m_state;
    const std::uint64_t front = m_firstOpen - st.closed + 1; // the number of the oldest group kept
    const auto kept = [&](std::uint64_t g) -> Group* {
        if (g < front || g - front >= st.groups.size())
            return nullptr;
        Group& later = m_state->groups[std::size_t(g - front)];
        return later.copies.empty() ? nullptr : &later;
    };
    const GroupMore& more = std::as_const(group).more();
    for (const std::uint64_t g : more.pairedLookalikes) {
        if (Group* later = kept(g)) {
            markOutvoted(group, *later);
            markOutvoted(*later, group);
        }
    }
    for (const std::uint64_t g : more.laterLookalikes) {
        Group* later = kept(g);
        if (later == nullptr)
            continue;
        if (later->copies.size() > 1)
            markOutvoted(group, *later);
        if (group.copies.size() > 1)
            markOutvoted(*later, group);
    }
}

} // namespace orvik
