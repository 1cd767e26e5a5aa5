// SPDX-License-Identifier: GPL-3.0-or-later
// Telling copies of one beacon from copies of its neighbours.
#include "recover.h"
#include "recoverinternal.h"

#include <algorithm>
#include <cstdlib>

namespace orvik {

using namespace copytext;
using recovery::GroupMore;

namespace {

// More copies than this of one beacon start a record of their own.
constexpr std::size_t kMostCopies = 64;
// Copies of one beacon agree on most field characters besides the on-board time: this many
// at least, and this many agreeing for each one that differs.
constexpr int kLeastAgreeing = 6;
constexpr int kLeastAgreeingUntimed = 12;
constexpr int kAgreeingPerDiffering = 4;
// Telemetry does not stand still for hours: a copy whose on-board time is this far from its
// group's, while every other field character is held and agrees, had its time miscopied.
// Nearer, it may be the neighbouring beacon.
constexpr std::int64_t kNeighbourSpan = 3 * 3600;
constexpr int kMiscopyEvidence = kFieldChars - kLayout[0].fieldLength;
// A miscopied time differs in a character or two, such as two swapped ones; a copy that may be
// a miscopy of another beacon's differs from it in as few other characters.
constexpr int kMostMiscopied = 2;
// The last digits of the on-board time: they tell apart beacons up to an hour apart.
constexpr int kLowTimeDigits = 3;

} // namespace

namespace recovery {

// The on-board time its copies hold, from the first that holds one whole.
std::optional<std::uint32_t> groupTime(const Group& group, int* holding)
{
    std::optional<std::uint32_t> time;
    int count = 0;
    for (const Copy& c : group.copies) {
        const std::optional<std::uint32_t> t = c.time();
        if (t && !time)
            time = t;
        count += t && t == time;
    }
    if (holding)
        *holding = count;
    return time;
}

} // namespace recovery

using recovery::groupTime;

// Copies of one beacon are told by the whole line. The on-board time is one field among six:
// copies that hold the same time must agree on the rest too, and copies whose times differ
// are two beacons, unless every other character agrees and the times lie too far apart for
// telemetry to stand still. Where the rest agrees and the times are near, the copy could be
// a copy of the group's beacon or its neighbour: it is told apart, but not joined.
Recoverer::Verdict Recoverer::judge(const Group& group, const Copy& copy) const
{
    if (group.copies.size() >= kMostCopies)
        return Verdict::Apart;
    const std::optional<std::uint32_t> mine = copy.time();
    int agree = 0;
    int differ = 0;
    int framesAgree = 0;
    int framesDiffer = 0;
    bool sameTime = false;
    bool timeConflict = false;
    bool lowDigitsAgree = false;
    std::optional<std::uint32_t> theirs;
    for (const Copy& other : group.copies) {
        const std::optional<std::uint32_t> t = other.time();
        sameTime = sameTime || (mine && t == mine);
        theirs = theirs ? theirs : t;
        // A time in doubt is placed against one read where it stands, where that leaves none.
        std::array<char16_t, 8> time{};
        std::copy_n(copy.fields(0), kLayout[0].fieldLength, time.begin());
        if (!mine && copy.reading[0] != Reading::Exact && other.reading[0] == Reading::Exact)
            placeAgainst(copy, other, 0, time.data());
        bool low = true;
        for (int i = 0; i < kLayout[0].fieldLength; ++i) {
            const char16_t a = time[std::size_t(i)];
            const char16_t b = other.held[std::size_t(i)];
            timeConflict = timeConflict || (isHex(a) && isHex(b) && a != b);
            low = low && (i < kLayout[0].fieldLength - kLowTimeDigits || (isHex(a) && a == b));
        }
        lowDigitsAgree = lowDigitsAgree || low;
        for (int f = 1; f < kFrames; ++f) {
            int frameAgree = 0;
            int frameDiffer = 0;
            for (int i = 0; i < kLayout[std::size_t(f)].fieldLength; ++i) {
                const char16_t a = copy.fields(f)[i];
                const char16_t b = other.fields(f)[i];
                if (a != 0 && b != 0)
                    (a == b ? frameAgree : frameDiffer) += 1;
            }
            agree += frameAgree;
            differ += frameDiffer;
            // A frame that lost a character and gained another reads shifted: it differs much.
            const bool frameAgrees = frameDiffer * kAgreeingPerDiffering <= frameAgree;
            if (frameAgree + frameDiffer > 0)
                (frameAgrees ? framesAgree : framesDiffer) += 1;
        }
    }
    const bool mostlyAgree = differ * kAgreeingPerDiffering <= agree;
    if (sameTime)
        return agree >= kLeastAgreeing && framesAgree >= framesDiffer ? Verdict::Join : Verdict::Apart;
    if (mine && theirs) {
        const std::int64_t apart = std::abs(std::int64_t(*mine) - std::int64_t(*theirs));
        int changed = 0;
        for (int i = 0; i < kLayout[0].fieldLength; ++i)
            changed += (*mine >> (4 * i) & 15) != (*theirs >> (4 * i) & 15);
        if (differ == 0 && agree >= kMiscopyEvidence && apart > kNeighbourSpan && changed <= kMostMiscopied)
            return Verdict::Join;
        // Times or other characters further apart make other beacons, not miscopies.
        return changed <= kMostMiscopied && differ <= kMostMiscopied && agree >= kLeastAgreeing
                   ? Verdict::Lookalike
                   : Verdict::Apart;
    }
    if (agree < kLeastAgreeingUntimed || !mostlyAgree)
        return Verdict::Apart;
    if (timeConflict)
        return Verdict::Lookalike;
    // Neighbouring beacons differ in the last digits of their time: a copy whose time is in
    // doubt joins only where it holds those, and they agree.
    return lowDigitsAgree ? Verdict::Join : Verdict::Lookalike;
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
    const Copy& copy = lone.copies.front();
    for (std::size_t p = 0; p < copy.held.size(); ++p) {
        const bool confirmed = std::any_of(other.copies.begin(), other.copies.end(),
                                           [&](const Copy& a) { return a.held[p] == copy.held[p]; });
        more.disputed[p] = more.disputed[p] || (copy.held[p] != 0 && !confirmed);
    }
}

// Before a group is voted, it and its later lookalike are weighed against each other.
void Recoverer::weighLookalikes(Group& group)
{
    const State& st = *m_state;
    const std::uint64_t front = m_firstOpen - st.closed + 1; // the number of the oldest group kept
    const std::uint64_t g = std::as_const(group).more().youngerLookalike;
    if (g < front || g - front >= st.groups.size())
        return;
    Group& younger = m_state->groups[std::size_t(g - front)];
    if (younger.copies.empty())
        return;
    markOutvoted(group, younger);
    markOutvoted(younger, group);
}

} // namespace orvik
