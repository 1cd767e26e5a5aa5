// SPDX-License-Identifier: GPL-3.0-or-later
// Copies told apart but not joined: where a lone copy could be a copy of another group's
// beacon, what it holds otherwise is in doubt.
#include "decoder/recover.h"
#include "engine.h"

#include <algorithm>
#include <array>

namespace orvik {

using namespace copytext;
using recovery::GroupMore;
using recovery::groupTime;

// The groups a copy was told apart from, noted in the group it went to: a new group names the
// oldest, and each pair is weighed again when the older is voted. A lone copy is weighed now
// against the group it is most alike, and against every one whose copies outvote it.
void recovery::Engine::tellApart(Group& group, std::uint64_t number, const Weighed& weighed)
{
    const bool lone = group.copies.size() == 1;
    for (const std::uint64_t g : weighed.lookalikes) {
        if (g == 0)
            break;
        if (g == number)
            continue;
        Group& other = m_state.open(std::size_t(g - 1 - m_firstOpen));
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
    // One that shares no frame with any group is seldom a copy of theirs: its time is weighed
    // when it is taken, and by the copies to come.
    if (weighed.asked > 0)
        weighMiscopiedTimes(group, number);
}

// Whether one of two open groups was told apart from the other when it began, or later.
bool recovery::Engine::toldApart(std::uint64_t older, std::uint64_t newer)
{
    const GroupMore& first = std::as_const(m_state.open(std::size_t(older - 1 - m_firstOpen))).more();
    const GroupMore& second = std::as_const(m_state.open(std::size_t(newer - 1 - m_firstOpen))).more();
    const auto names = [](const std::array<std::uint64_t, kMostLookalikes>& kept, std::uint64_t g) {
        return std::find(kept.begin(), kept.end(), g) != kept.end();
    };
    return second.lookalikeGroup == older || first.lookalikeGroup == newer ||
           names(first.pairedLookalikes, newer) || names(first.laterLookalikes, newer);
}

namespace {

// Groups a miscopied time is looked for in, from the newest that holds it.
constexpr int kMostHoldingTime = 2;
// Each digit of a time heard as any of the 15 others, or swapped with the next.
constexpr std::size_t kMiscopiedTimes = std::size_t(kLayout[0].fieldLength) * 16 - 1;

std::uint64_t timeKey(std::uint32_t time)
{
    return recovery::frameKey(0, recovery::timeText<char>(time).data(), kLayout[0].fieldLength);
}

// The keys of the times a listener could have written for this one: a digit heard as another,
// or two neighbouring digits swapped.
std::size_t miscopiedTimeKeys(std::uint32_t time, std::array<std::uint64_t, kMiscopiedTimes>& keys)
{
    const int digits = kLayout[0].fieldLength;
    std::size_t count = 0;
    for (int i = 0; i < digits; ++i) {
        const int shift = 4 * (digits - 1 - i);
        const std::uint32_t digit = time >> shift & 15;
        for (std::uint32_t other = 0; other < 16; ++other) {
            if (other != digit)
                keys[count++] = timeKey((time & ~(15u << shift)) | other << shift);
        }
        const std::uint32_t next = i + 1 < digits ? time >> (shift - 4) & 15 : digit;
        if (next != digit)
            keys[count++] = timeKey((time & ~(255u << (shift - 4))) | next << shift | digit << (shift - 4));
    }
    return count;
}

} // namespace

// A lone copy whose time no lookalike has put in doubt is weighed against the groups that hold
// that time miscopied, however far back or on they lie: its keys find the copies of its beacon
// only through frames that few beacons share, and a station's log may lie between them. Where
// the two could be one beacon, what they disagree on is in doubt.
void recovery::Engine::weighMiscopiedTimes(Group& group, std::uint64_t number)
{
    if (group.copies.size() != 1)
        return;
    const Copy& copy = group.copies.front();
    const std::optional<std::uint32_t> time = copy.time();
    if (!time)
        return;
    const GroupMore& more = std::as_const(group).more();
    for (int i = 0; i < kLayout[0].fieldLength; ++i) {
        if (more.disputed[std::size_t(kLayout[0].heldAt + i)])
            return;
    }
    std::array<std::uint64_t, kMiscopiedTimes> keys{};
    const std::size_t count = miscopiedTimeKeys(*time, keys);
    for (std::size_t k = 0; k < count; ++k)
        m_state.keys.prefetch(keys[k]);
    for (std::size_t k = 0; k < count; ++k) {
        std::uint64_t g = newestWith(keys[k]);
        for (int step = 0; step < kMostHoldingTime && g > m_firstOpen && g != number; ++step) {
            Group& other = m_state.open(std::size_t(g - 1 - m_firstOpen));
            // A group of one clean line is left as it is: beacons a digit apart in time would
            // otherwise each be cut and weighed against the next.
            if (!other.copies.empty() && judge(other, copy) != Verdict::Apart) {
                // Found from a group that begins, the older is weighed again when it is taken;
                // found from one taken, the other is later and is weighed now.
                if (g < number)
                    recovery::keepOldest(other.more().pairedLookalikes, number);
                markOutvoted(group, other);
                markOutvoted(other, group);
            }
            g = other.before(keys[k]);
        }
    }
}

namespace {

// What a copy holds, and what the vote will place alone in a frame that lost or gained some.
std::array<char16_t, kFieldChars> placedAlone(const recovery::Copy& copy)
{
    std::array<char16_t, kFieldChars> out = copy.held;
    for (int f = 0; f < kFrames; ++f) {
        if (copy.reading[std::size_t(f)] == Reading::Damaged)
            placeAlone(copy, f, out.data() + kLayout[std::size_t(f)].heldAt);
    }
    return out;
}

// The field characters after the time that both hold and hold otherwise.
int differing(const std::array<char16_t, kFieldChars>& a, const std::array<char16_t, kFieldChars>& b)
{
    int count = 0;
    for (std::size_t p = std::size_t(kLayout[1].heldAt); p < a.size(); ++p)
        count += isHex(a[p]) && isHex(b[p]) && a[p] != b[p];
    return count;
}

} // namespace

// A lone copy that could be a copy of a lookalike's beacon or its neighbour: where the two
// differ, it could hold its own beacon's characters or miscopies of the other's, so those are
// in doubt. Copies of its own that agree would settle it; a lone copy has none.
void recovery::Engine::markOutvoted(Group& lone, const Group& other)
{
    if (lone.copies.size() != 1 || other.copies.empty())
        return;
    const Copy& copy = lone.copies.front();
    // A line the strict reading gives whole is not a miscopy of a beacon that far in time.
    const bool clean = recovery::readClean(copy);
    if (clean && recovery::farInTime(copy, other))
        return;
    GroupMore& more = lone.more();
    more.outvoted = true;
    if (more.lookalike.line == 0)
        more.lookalike = other.copies.front().source;
    // Were it a copy of the other's beacon, a character no copy there holds alike would be one
    // vote alone.
    const std::array<char16_t, kFieldChars> mine = placedAlone(copy);
    // Nor is such a line a miscopy of another lone copy's beacon unless the two are nearly
    // alike: it is in doubt only where that copy holds otherwise.
    const std::array<char16_t, kFieldChars> theirs =
        other.copies.size() == 1 ? placedAlone(other.copies.front()) : std::array<char16_t, kFieldChars>{};
    const bool unlike = clean && other.copies.size() == 1 && differing(mine, theirs) > kMostDiffering;
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
        const bool contradicted = !unlike || (isHex(theirs[p]) && theirs[p] != mine[p]);
        more.disputed[p] = more.disputed[p] || (mine[p] != 0 && !confirmed && contradicted);
    }
}

// Before a group is voted, it is weighed again against the later groups told apart from it,
// as copies may have come to either since: those that found it the most alike of theirs, and
// any other whose copies outvote it or that its copies outvote.
void recovery::Engine::weighLookalikes(Group& group)
{
    const State& st = m_state;
    const std::uint64_t front = m_firstOpen - st.closed + 1; // the number of the oldest group kept
    const auto kept = [&](std::uint64_t g) -> Group* {
        if (g < front || g - front >= st.groups.size())
            return nullptr;
        Group& later = m_state.groups[std::size_t(g - front)];
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
    weighMiscopiedTimes(group, front);
}

} // namespace orvik
