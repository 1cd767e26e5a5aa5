// SPDX-License-Identifier: GPL-3.0-or-later
// Telling copies of one beacon from copies of its neighbours.
#include "decoder/recover.h"
#include "engine.h"

#include <algorithm>
#include <cstdlib>

namespace orvik {

using namespace copytext;

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
// The last digits of the on-board time: they tell apart beacons up to an hour apart.
constexpr int kLowTimeDigits = 3;
// A frame that lost one character and gained another is two edits from its beacon's.
constexpr int kShiftEdits = 2;

// The fewest characters to change, drop or add to make one field text the other.
int editDistance(const char16_t* a, const char16_t* b, int length)
{
    std::array<int, kBeaconLength + 1> row{};
    for (int j = 0; j <= length; ++j)
        row[std::size_t(j)] = j;
    for (int i = 1; i <= length; ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= length; ++j) {
            const int up = row[std::size_t(j)];
            row[std::size_t(j)] =
                std::min({up + 1, row[std::size_t(j - 1)] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[std::size_t(length)];
}

// At each field character, the one the group's copies hold most, 0 where none holds one or
// two are held equally often.
std::array<char16_t, kFieldChars> commonChars(const recovery::Group& group)
{
    std::array<char16_t, kFieldChars> common{};
    if (group.copies.size() == 1)
        return group.copies.front().held;
    for (std::size_t p = 0; p < common.size(); ++p) {
        int best = 0;
        for (std::size_t k = 0; k < group.copies.size(); ++k) {
            const char16_t c = group.copies[k].held[p];
            if (c == 0 || c == common[p])
                continue;
            int count = 0;
            for (const recovery::Copy& other : group.copies)
                count += other.held[p] == c;
            if (count > best) {
                best = count;
                common[p] = c;
            } else if (count == best) {
                common[p] = 0; // a tie: until a later character wins outright
            }
        }
    }
    return common;
}

// The most characters that agree with the other text moved by one place, either way: with
// those that agree in place, they are nearly all of a frame that was shifted.
int shiftedAgree(const char16_t* a, const char16_t* b, int length)
{
    int left = 0;
    int right = 0;
    for (int i = 0; i + 1 < length; ++i) {
        left += a[i] == b[i + 1];
        right += a[i + 1] == b[i];
    }
    return std::max(left, right);
}

// Whether a time field that gained characters reads, with them taken out elsewhere, a time
// with the high digits of `time` and other low digits: a neighbour's, whose copy it could be.
bool readsNeighbour(std::u16string_view body, int gained, const char16_t* time)
{
    if (gained > 0) {
        std::u16string shorter;
        for (std::size_t at = 0; at < body.size(); ++at) {
            shorter.assign(body.substr(0, at)).append(body.substr(at + 1));
            if (readsNeighbour(shorter, gained - 1, time))
                return true;
        }
        return false;
    }
    const FrameLayout& l = kLayout[0];
    const std::u16string_view field =
        body.substr(std::size_t(l.fieldBegin - kTagLength), std::size_t(l.fieldLength));
    const int high = l.fieldLength - kLowTimeDigits;
    return std::all_of(field.begin(), field.end(), isHex) &&
           std::equal(field.begin(), field.begin() + high, time) &&
           !std::equal(field.begin() + high, field.end(), time + high);
}

// Whether time digit i tells no other beacon: a high digit always, a low one held alike by
// both. Beacons lie further apart than the last digit spans: in times read where they stand
// (`exact`), one of them may have it miscopied.
bool lowDigitAgrees(int i, char16_t a, char16_t b, bool exact)
{
    const int length = kLayout[0].fieldLength;
    return i < length - kLowTimeDigits || (isHex(a) && a == b) ||
           (i == length - 1 && isHex(a) != isHex(b) && exact);
}

// Whether a time read where it stands is `time` shifted by a character lost and another gained
// within the field: every digit after the loss moves, so it is far from its own beacon's.
bool readsShifted(const char16_t* read, std::uint32_t time)
{
    return editDistance(read, recovery::timeText<char16_t>(time).data(), kLayout[0].fieldLength) <=
           kShiftEdits;
}

struct FieldsWeighed {
    int agree = 0;
    int differ = 0;
    int framesAgree = 0;
    int framesDiffer = 0;
};

// The characters of frames 2 to 6 a copy holds alike and otherwise than `common` holds them,
// and the frames that mostly agree and that do not.
FieldsWeighed weighFields(const recovery::Copy& copy, const std::array<char16_t, kFieldChars>& common)
{
    FieldsWeighed w;
    for (int f = 1; f < kFrames; ++f) {
        const FrameLayout& l = kLayout[std::size_t(f)];
        const char16_t* const theirs = common.data() + l.heldAt;
        int frameAgree = 0;
        int frameDiffer = 0;
        for (int i = 0; i < l.fieldLength; ++i) {
            const char16_t a = copy.fields(f)[i];
            if (a != 0 && theirs[i] != 0)
                (a == theirs[i] ? frameAgree : frameDiffer) += 1;
        }
        // A frame that lost a character and gained another reads shifted: counted by the
        // characters an alignment changes, it differs in those two.
        if (frameDiffer >= kShiftEdits && frameAgree + frameDiffer == l.fieldLength &&
            frameAgree + shiftedAgree(copy.fields(f), theirs, l.fieldLength) >= l.fieldLength - kShiftEdits) {
            const int edits = editDistance(copy.fields(f), theirs, l.fieldLength);
            if (edits < frameDiffer) {
                frameAgree = l.fieldLength - edits;
                frameDiffer = edits;
            }
        }
        w.agree += frameAgree;
        w.differ += frameDiffer;
        // Differing much, it is another beacon's.
        const bool frameAgrees = frameDiffer * kAgreeingPerDiffering <= frameAgree;
        if (frameAgree + frameDiffer > 0)
            (frameAgrees ? w.framesAgree : w.framesDiffer) += 1;
    }
    return w;
}

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

bool readClean(const Copy& copy)
{
    return copy.strict && std::all_of(copy.held.begin(), copy.held.end(), isHex);
}

bool farInTime(const Copy& copy, const Group& group)
{
    const std::optional<std::uint32_t> mine = copy.time();
    const std::optional<std::uint32_t> theirs = groupTime(group);
    if (mine && theirs)
        return timeDigitsApart(*mine, *theirs) > kMostMiscopied;
    // Of a time damaged, the digits held where they stand.
    const auto digitsApart = [&](const Copy& other) {
        int apart = 0;
        for (int i = 0; i < kLayout[0].fieldLength; ++i) {
            const char16_t a = copy.held[std::size_t(kLayout[0].heldAt + i)];
            const char16_t b = other.held[std::size_t(kLayout[0].heldAt + i)];
            apart += isHex(a) && isHex(b) && a != b;
        }
        return apart;
    };
    return mine && !group.copies.empty() &&
           std::all_of(group.copies.begin(), group.copies.end(),
                       [&](const Copy& other) { return digitsApart(other) > kMostMiscopied; });
}

} // namespace recovery

using recovery::groupTime;

// Where the copy's time or the group's is in doubt: whether a time digit held by both differs,
// and whether the copy agrees with a copy of the group in the last digits, which tell
// neighbours apart. A time in doubt is placed against one read where it stands.
recovery::Engine::TimeInDoubt recovery::Engine::weighTimeInDoubt(const Group& group, const Copy& copy)
{
    TimeInDoubt out;
    const std::optional<std::uint32_t> mine = copy.time();
    for (const Copy& other : group.copies) {
        const std::optional<std::uint32_t> t = other.time();
        std::array<char16_t, 8> time{};
        std::copy_n(copy.fields(0), kLayout[0].fieldLength, time.begin());
        std::array<char16_t, 8> otherTime{};
        std::copy_n(other.fields(0), kLayout[0].fieldLength, otherTime.begin());
        const CopyFrames* placed = nullptr; // the copy whose time was placed against the other's
        if (!mine && copy.reading[0] != Reading::Exact && other.reading[0] == Reading::Exact) {
            placeAgainst(copy, other, 0, time.data());
            placed = &copy;
        } else if (!t && other.reading[0] != Reading::Exact && copy.reading[0] == Reading::Exact) {
            placeAgainst(other, copy, 0, otherTime.data());
            placed = &other;
        }
        bool low = true;
        for (int i = 0; i < kLayout[0].fieldLength; ++i) {
            const char16_t a = time[std::size_t(i)];
            const char16_t b = otherTime[std::size_t(i)];
            out.conflict = out.conflict || (isHex(a) && isHex(b) && a != b);
            low = low &&
                  lowDigitAgrees(i, a, b,
                                 copy.reading[0] == Reading::Exact && other.reading[0] == Reading::Exact);
        }
        if (low && placed) {
            const int gained = int(placed->body(0).size()) - (kLayout[0].length - kTagLength);
            const CopyFrames& whole = placed == &copy ? other : copy;
            low = gained <= 0 || !readsNeighbour(placed->body(0), gained, whole.fields(0));
        }
        out.lowDigitsAgree = out.lowDigitsAgree || low;
    }
    return out;
}

// Copies of one beacon are told by the whole line. The on-board time is one field among six:
// copies that hold the same time must agree on the rest too, and copies whose times differ
// are two beacons, unless every other character agrees and the times lie too far apart for
// telemetry to stand still. Where the rest agrees and the times are near, the copy could be
// a copy of the group's beacon or its neighbour: it is told apart, but not joined.
recovery::Engine::Verdict recovery::Engine::judge(const Group& group, const Copy& copy, int* unlike) const
{
    if (group.copies.size() >= kMostCopies)
        return Verdict::Apart;
    const std::optional<std::uint32_t> mine = copy.time();
    bool sameTime = false;
    std::optional<std::uint32_t> theirs;
    for (const Copy& other : group.copies) {
        const std::optional<std::uint32_t> t = other.time();
        sameTime = sameTime || (mine && t == mine);
        theirs = theirs ? theirs : t;
    }
    const int changed = mine && theirs ? recovery::timeDigitsApart(*mine, *theirs) : 0;
    // Times further apart make other beacons, not miscopies; but a time placed in a frame that
    // lost or gained characters may be shifted in any digit, and a damaged copy alike in the
    // rest to another beacon's copies may have heard its time shifted: it is told apart. A line
    // the strict reading gives whole is another beacon, and so is a line the strict reading
    // takes whose time is not that time moved by a place.
    const bool placedTime = copy.reading[0] != Reading::Exact;
    const bool farTime = !sameTime && mine && theirs && changed > kMostMiscopied && !placedTime;
    if (farTime && (recovery::readClean(copy) || (copy.strict && !readsShifted(copy.fields(0), *theirs))))
        return Verdict::Apart;
    // The other fields are weighed against what the group's copies hold most: a group of many
    // copies, each with a miscopy of its own, still holds its beacon's characters.
    const FieldsWeighed w = weighFields(copy, commonChars(group));
    const int agree = w.agree;
    const int differ = w.differ;
    if (unlike)
        *unlike = differ * (kFieldChars + 1) - agree;
    const bool mostlyAgree = differ * kAgreeingPerDiffering <= agree;
    // Differing in no more characters than miscopies explain.
    const bool nearlyAlike = differ <= kMostDiffering && agree >= kLeastAgreeing;
    // A damaged copy one more, too unlike to join, could yet be a copy of that beacon heard
    // with more miscopies than most: told apart, what the two disagree on stays in doubt.
    const bool alikeInDoubt = nearlyAlike || (!recovery::readClean(copy) && differ == kMostDiffering + 1 &&
                                              agree >= kLeastAgreeing);
    if (farTime)
        return alikeInDoubt ? Verdict::Lookalike : Verdict::Apart;
    // Copies of one time that differ more put that time in doubt: one could be a neighbour's
    // copy whose time was heard as this one's.
    if (sameTime) {
        // Nothing else held otherwise, such as a copy whose other frames are all damaged, puts
        // nothing in doubt.
        if ((nearlyAlike && w.framesAgree >= w.framesDiffer) || differ == 0)
            return Verdict::Join;
        return mostlyAgree ? Verdict::Lookalike : Verdict::Apart;
    }
    if (mine && theirs) {
        const std::int64_t apart = std::abs(std::int64_t(*mine) - std::int64_t(*theirs));
        if (differ == 0 && agree >= kMiscopyEvidence && apart > kNeighbourSpan && changed <= kMostMiscopied)
            return Verdict::Join;
        return alikeInDoubt ? Verdict::Lookalike : Verdict::Apart;
    }
    if (agree < kLeastAgreeingUntimed || !mostlyAgree)
        return Verdict::Apart;
    const TimeInDoubt doubt = weighTimeInDoubt(group, copy);
    if (doubt.conflict)
        return Verdict::Lookalike;
    // Neighbouring beacons differ in the last digits of their time: a copy whose time is in
    // doubt joins only where it holds those, and they agree.
    return doubt.lowDigitsAgree && nearlyAlike ? Verdict::Join : Verdict::Lookalike;
}

} // namespace orvik
