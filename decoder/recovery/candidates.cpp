// SPDX-License-Identifier: GPL-3.0-or-later
#include "candidates.h"

#include "copyframes.h"
#include "placechars.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace orvik {

namespace {

// A candidate this much shorter than a beacon line was cut short.
constexpr std::size_t kShortest = std::size_t(kBeaconLength - kMostShift);
// What a decoder writes between two beacons, such as " bt " or " = ", is no longer.
constexpr std::size_t kBetweenBeacons = 6;
// Text of a candidate past this is no part of its beacon.
constexpr std::size_t kLongest = 2 * std::size_t(kBeaconLength);

// The source of a candidate that takes columns [from, to) of its line, `size` units long.
CopySource stretch(CopySource source, std::size_t from, std::size_t to, std::size_t size)
{
    source.from = std::uint32_t(from);
    source.to = to >= size ? 0 : std::uint32_t(to);
    return source;
}

int wholeTagAt(std::u16string_view t, std::size_t at)
{
    if (at + kTagLength > t.size() || t[at] != u'o' || t[at + 1] != u'r' || t[at + 2] != u'v')
        return -1;
    const int f = int(t[at + 3]) - int(u'1');
    return f >= 0 && f < kFrames ? f : -1;
}

// Every whole frame tag of a line, in order: one pass finds them all.
void tagsIn(std::u16string_view t, std::vector<Tag>& tags)
{
    tags.clear();
    for (std::size_t at = 0; at + kTagLength <= t.size(); ++at) {
        if (t[at] == u'o') {
            const int f = wholeTagAt(t, at);
            if (f >= 0)
                tags.push_back({at, f});
        }
    }
}

// Whether frame f's whole tag stands `offset` characters after `at`, give or take `slack`.
bool tagNear(const std::vector<Tag>& tags, std::size_t at, int offset, int slack, int f)
{
    return std::any_of(tags.begin(), tags.end(), [&](const Tag& tag) {
        return tag.frame == f && std::abs(long(tag.at) - (long(at) + offset)) <= slack;
    });
}

// The length of an "orv1" heard at `at` with one character changed, lost or gained, that is
// no other frame's tag; 0 when none stands there.
int damagedFirstTag(std::u16string_view t, std::size_t at)
{
    static constexpr std::u16string_view kTag = u"orv1";
    if (wholeTagAt(t, at) >= 0)
        return 0;
    if (at + 4 <= t.size()) {
        int differ = 0;
        for (std::size_t i = 0; i < 4; ++i)
            differ += t[at + i] != kTag[i];
        if (differ == 1)
            return 4;
    }
    static constexpr std::array<std::u16string_view, 4> kLost{u"rv1", u"ov1", u"or1", u"orv"};
    for (const std::u16string_view lost : kLost) {
        if (t.substr(at, 3) == lost)
            return 3;
    }
    // One character gained: the tag with one taken out of what stands there.
    const std::u16string_view five = t.substr(at, 5);
    for (std::size_t skip = 1; five.size() == 5 && skip < 4; ++skip) {
        if (five.substr(0, skip) == kTag.substr(0, skip) && five.substr(skip + 1) == kTag.substr(skip))
            return 5;
    }
    return 0;
}

// Where beacons start in the line: each whole "orv1" that is no text inside the tail of the
// beacon before it, and each damaged one that an "orv2" after it confirms.
// `held` is the length of a candidate of the line before that this line may go on: a tag that
// would start a beacon inside its length is text of its tail, unless an "orv2" confirms it.
void startsIn(std::u16string_view t, const std::vector<Tag>& tags, std::size_t held,
              std::vector<std::size_t>& starts)
{
    starts.clear();
    const std::size_t firstFree = held == 0 ? 0 : kShortest - std::min(held, kShortest);
    const int toSecond = kFrameTags[1].pos - kFrameTags[0].pos;
    for (const Tag& tag : tags) {
        if (tag.frame == 0 && ((starts.empty() ? tag.at >= firstFree : tag.at >= starts.back() + kShortest) ||
                               tagNear(tags, tag.at, toSecond, kMostShift, 1)))
            starts.push_back(tag.at);
    }
    const auto near = [&](long at) {
        return std::any_of(starts.begin(), starts.end(),
                           [&](std::size_t s) { return std::abs(long(s) - at) <= 2 * kMostShift; });
    };
    const std::size_t whole = starts.size();
    for (const Tag& tag : tags) {
        const long expected = long(tag.at) - toSecond;
        for (long d = -1; tag.frame == 1 && d <= 1 && !near(expected); ++d) {
            const long at = expected + d;
            // A tag one character short or long puts the next one that much nearer or further.
            if (at >= 0 && damagedFirstTag(t, std::size_t(at)) == kTagLength - d) {
                starts.push_back(std::size_t(at));
                break;
            }
        }
    }
    if (starts.size() > whole)
        std::sort(starts.begin(), starts.end());
    // A beacon whose "orv1" was lost altogether starts where its "orv2" says, past the one before.
    const std::size_t found = starts.size();
    for (const Tag& tag : tags) {
        const long expected = long(tag.at) - toSecond;
        if (tag.frame != 1 || expected < 0 || near(expected))
            continue;
        const auto before =
            std::upper_bound(starts.begin(), starts.begin() + std::ptrdiff_t(found), std::size_t(expected));
        if (before == starts.begin() ? std::size_t(expected) >= firstFree
                                     : std::size_t(expected) >= *(before - 1) + kShortest)
            starts.push_back(std::size_t(expected));
    }
    if (starts.size() > found)
        std::sort(starts.begin(), starts.end());
}

// The highest frame of the tags from `from` to `to`, -1 for none.
int lastTag(const std::vector<Tag>& tags, std::size_t from, std::size_t to)
{
    int last = -1;
    for (const Tag& tag : tags) {
        if (tag.at >= from && tag.at + kTagLength <= to)
            last = std::max(last, tag.frame);
    }
    return last;
}

int tagCount(const std::vector<Tag>& tags, std::size_t to)
{
    std::array<bool, kFrameTags.size()> seen{};
    for (const Tag& tag : tags) {
        if (tag.at + kTagLength <= to)
            seen[std::size_t(tag.frame)] = true;
    }
    return int(std::count(seen.begin(), seen.end(), true));
}

// What cutting a text into frames tells a join.
struct FramesRead {
    // The frames before the last read where they stand: the last frame's length tells nothing
    // of a join, as what follows the beacon may be anything.
    int exact = 0;
    // The highest frame whose tag the text holds, whole or heard with a character wrong where the
    // frames before it say; -1 for none.
    int last = -1;
};

FramesRead readFrames(std::u16string_view text)
{
    CopyFrames copy;
    copy.text = text;
    cutFrames(copy);
    FramesRead read;
    read.exact = int(std::count(copy.reading.begin(), copy.reading.end() - 1, Reading::Exact));
    for (int f = kFrames; f-- > 0 && read.last < 0;) {
        if (copy.begin[std::size_t(f)] >= 0)
            read.last = f;
    }
    return read;
}

} // namespace

bool CandidateCutter::continues(std::u16string_view more, const std::vector<Tag>& tags, CopySource source,
                                bool beforeStart) const
{
    if (!m_holding || more.empty() || source.input != m_held.source.input ||
        source.line != m_held.source.last() + 1)
        return false;
    const std::size_t held = m_held.text.size();
    more = more.substr(0, kLongest - std::min(kLongest, held));
    // A later frame's tag, whole in the next line or across the line end, about where the
    // beacon puts it: one far past that begins a line of another beacon.
    const auto nearItsPlace = [&](const Tag& tag) {
        const long expected = kFrameTags[std::size_t(tag.frame)].pos - 1;
        return tag.frame > m_heldLast && tag.at + kTagLength <= more.size() &&
               std::abs(long(held + tag.at) - expected) <= long(kBetweenBeacons + kMostShift);
    };
    if (std::any_of(tags.begin(), tags.end(), nearItsPlace))
        return true;
    std::u16string seam = m_held.text.substr(held - std::min(held, std::size_t(kTagLength - 1)));
    seam.append(more.substr(0, kTagLength - 1));
    for (std::size_t at = 0; at + kTagLength <= seam.size(); ++at) {
        if (wholeTagAt(seam, at) > m_heldLast)
            return true;
    }
    // Or one heard with a character wrong where the frames before it say.
    std::u16string both = m_held.text;
    both.append(more);
    if (readFrames(both).last > m_heldLast)
        return true;
    // Or the rest of the last frame's tail to a beacon's length; where the next beacon starts on
    // the line, with what a decoder writes between the two. A line of tail alone, too short for
    // that, may be a part of three: the next line may hold the rest.
    const std::size_t joined = held + more.size();
    const std::size_t longest = kBeaconLength + kMostShift + (beforeStart ? kBetweenBeacons : 0);
    return m_heldLast == kFrames - 1 && held < std::size_t(kBeaconLength) &&
           (joined >= kShortest || !beforeStart) && joined <= longest;
}

// A decoder that wraps at a blank takes the blank for the line end; one that wraps at its
// width takes nothing: the join that reads more frames where they stand is the one made.
void CandidateCutter::join(std::u16string_view more, CopySource source, std::size_t lineSize)
{
    more = more.substr(0, kLongest - std::min(kLongest, m_held.text.size()));
    std::u16string direct = m_held.text + std::u16string(more);
    std::u16string blank = m_held.text + u' ' + std::u16string(more);
    const FramesRead directRead = readFrames(direct);
    const FramesRead blankRead = readFrames(blank);
    if (directRead.exact == blankRead.exact) {
        const auto seam = std::int16_t(m_held.text.size());
        m_held.seams.beforeLast = m_held.seams.last;
        m_held.seams.last = seam;
        m_held.seams.count = std::uint8_t(std::min(m_held.seams.count + 1, 255));
    }
    const bool withBlank = blankRead.exact > directRead.exact;
    m_held.text = withBlank ? std::move(blank) : std::move(direct);
    // A wrapped line's end may hold what the decoder wrote after the beacon.
    m_held.seams.openEnd = true;
    m_held.source.lastLine = source.line;
    m_held.source.to = stretch(source, 0, more.size(), lineSize).to;
    std::vector<Tag> tags;
    tagsIn(m_held.text, tags);
    m_heldLast = std::max(lastTag(tags, 0, m_held.text.size()), (withBlank ? blankRead : directRead).last);
}

bool CandidateCutter::feed(std::u16string_view line, CopySource source, std::vector<Candidate>& out)
{
    tagsIn(line, m_tags);
    // A held candidate that lacks only the rest of its tail may find it at this line's start.
    const bool mayGoOn = m_holding && m_heldLast == kFrames - 1 && source.input == m_held.source.input &&
                         source.line == m_held.source.last() + 1;
    startsIn(line, m_tags, mayGoOn ? m_held.text.size() : 0, m_starts);
    const std::vector<Tag>& tags = m_tags;
    const std::vector<std::size_t>& starts = m_starts;
    const std::size_t headEnd = starts.empty() ? line.size() : starts.front();
    const std::u16string_view head = line.substr(0, headEnd);
    bool part = false;
    if (continues(head, tags, source, !starts.empty())) {
        join(head, source, line.size());
        part = true;
    } else if (tagCount(tags, headEnd) >= 2) {
        finish(out);
        Candidate c{std::u16string(head.substr(0, kLongest)),
                    stretch(source, 0, std::min(headEnd, kLongest), line.size()),
                    {}};
        // A line of frames whose start was heard damaged may go on in the next, as any other.
        if (starts.empty() && c.text.size() < std::size_t(kBeaconLength))
            hold(std::move(c), lastTag(tags, 0, headEnd));
        else
            out.push_back(std::move(c));
        part = true;
    }
    if (m_holding && (!starts.empty() || m_held.text.size() >= std::size_t(kBeaconLength) || !part))
        finish(out);
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t to =
            std::min(i + 1 < starts.size() ? starts[i + 1] : line.size(), starts[i] + kLongest);
        Candidate c{std::u16string(line.substr(starts[i], to - starts[i])),
                    stretch(source, starts.size() == 1 && !part ? 0 : starts[i], to, line.size()),
                    {}};
        // A line's last candidate may go on in the next line, even to the last characters of its tail.
        if (i + 1 == starts.size() && c.text.size() < std::size_t(kBeaconLength)) {
            hold(std::move(c), lastTag(tags, starts[i], to));
        } else {
            out.push_back(std::move(c));
        }
        part = true;
    }
    return part;
}

void CandidateCutter::hold(Candidate c, int lastWholeTag)
{
    m_held = std::move(c);
    m_heldLast = std::max(lastWholeTag, readFrames(m_held.text).last);
    m_holding = true;
}

void CandidateCutter::finish(std::vector<Candidate>& out)
{
    if (!m_holding)
        return;
    out.push_back(std::move(m_held));
    m_held = {};
    m_holding = false;
}

} // namespace orvik
