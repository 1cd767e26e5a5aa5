// SPDX-License-Identifier: GPL-3.0-or-later
#include "copyframes.h"

#include "decoder/beacon.h"
#include "decoder/words.h"
#include "placechars.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace orvik {

using namespace copytext;

namespace {

// How far a tag may stand from where the frames before it say, after characters lost or gained.
constexpr int kTagSlack = 6;
// The tags found of a copy longer than this are those of its beacon's length and a little more.
constexpr std::size_t kSearched = std::size_t(kBeaconLength) + 2 * kMostShift;

// Every tag is "orv" and its frame's number, so the character after "orv" tells the frame.
static_assert([] {
    for (std::size_t f = 0; f < kFrameTags.size(); ++f) {
        const std::u16string_view tag = kFrameTags[f].tag;
        if (tag.size() != kTagLength || tag.substr(0, 3) != u"orv" || tag[3] != u'1' + f)
            return false;
    }
    return true;
}());

// The frame whose tag stands whole at `at`, or -1.
int tagAt(std::u16string_view t, std::size_t at)
{
    if (at + kTagLength > t.size() || t[at] != u'o' || t[at + 1] != u'r' || t[at + 2] != u'v')
        return -1;
    const int f = int(t[at + 3]) - int(u'1');
    return f >= 0 && f < kFrames ? f : -1;
}

// Whether `shorter` is `longer` with one character taken out.
bool lostOne(std::u16string_view longer, std::u16string_view shorter)
{
    std::size_t same = 0;
    while (same < shorter.size() && shorter[same] == longer[same])
        ++same;
    return longer.substr(same + 1) == shorter.substr(same);
}

// The length of the tag heard at `at` with one character lost, gained or changed; 0 when
// none stands there.
int damagedTagAt(std::u16string_view text, std::size_t at, std::u16string_view tag)
{
    if (at + tag.size() <= text.size()) {
        int differ = 0;
        for (std::size_t i = 0; i < tag.size(); ++i)
            differ += text[at + i] != tag[i];
        if (differ <= 1)
            return int(tag.size());
    }
    if (at + tag.size() - 1 <= text.size() && lostOne(tag, text.substr(at, tag.size() - 1)))
        return int(tag.size() - 1);
    if (at + tag.size() + 1 <= text.size() && lostOne(text.substr(at, tag.size() + 1), tag))
        return int(tag.size() + 1);
    return 0;
}

// Whole tags where the frames before them say they stand; a frame whose tag stands twice
// there is left unfound, and marked in `twice`.
void findWholeTags(CopyFrames& copy, std::array<bool, kFrameTags.size()>& twice)
{
    const std::u16string_view t = std::u16string_view(copy.text).substr(0, kSearched);
    int base = -1; // where the line's first character lies, as the tags found so far say
    for (std::size_t at = 0; at + kTagLength <= t.size(); ++at) {
        const int f = tagAt(t, at);
        if (f < 0)
            continue;
        const auto fs = std::size_t(f);
        const int expected = (base < 0 ? int(at) - (kFrameTags[fs].pos - 1) : base) + kFrameTags[fs].pos - 1;
        const bool inOrder =
            std::all_of(copy.begin.begin() + f, copy.begin.end(), [](int b) { return b < 0; });
        if (std::abs(int(at) - expected) > kTagSlack || !inOrder) {
            twice[fs] = twice[fs] || (copy.begin[fs] >= 0 && std::abs(int(at) - expected) <= kTagSlack);
            continue;
        }
        if (copy.begin[fs] >= 0) {
            twice[fs] = true;
            continue;
        }
        copy.begin[fs] = std::int16_t(at);
        if (base < 0)
            base = int(at) - (kFrameTags[fs].pos - 1);
    }
    for (std::size_t f = 0; f < twice.size(); ++f) {
        if (twice[f])
            copy.begin[f] = -1;
    }
}

bool overlapsTag(const CopyFrames& copy, int at, int length)
{
    for (std::size_t f = 0; f < copy.begin.size(); ++f) {
        const int b = copy.begin[f];
        if (b >= 0 && b + copy.tagLength[f] > at && b < at + length)
            return true;
    }
    return false;
}

// A tag heard with one character lost, gained or changed is looked for where the frame
// before it or after it says it should stand.
void findDamagedTags(CopyFrames& copy, const std::array<bool, kFrameTags.size()>& twice)
{
    const std::u16string_view t = copy.text;
    for (int pass = 0; pass < 2; ++pass) {
        for (int k = 0; k < kFrames; ++k) {
            const int f = pass == 0 ? k : kFrames - 1 - k;
            const auto fs = std::size_t(f);
            if (copy.begin[fs] >= 0 || twice[fs])
                continue;
            int expected = -1;
            if (pass == 0 && f == 0)
                expected = 0;
            else if (pass == 0 && copy.begin[fs - 1] >= 0)
                expected = copy.begin[fs - 1] + kLayout[fs - 1].length;
            else if (pass == 1 && f + 1 < kFrames && copy.begin[fs + 1] >= 0)
                expected = copy.begin[fs + 1] - kLayout[fs].length;
            for (int shift = 0; expected >= 0 && shift <= 2 * kMostShift; ++shift) {
                const int at = expected + (shift % 2 == 0 ? shift / 2 : -(shift + 1) / 2);
                const int length = at < 0 ? 0 : damagedTagAt(t, std::size_t(at), kFrameTags[fs].tag);
                if (length == 0 || overlapsTag(copy, at, length))
                    continue;
                copy.begin[fs] = std::int16_t(at);
                copy.tagLength[fs] = std::int8_t(length);
                break;
            }
        }
    }
}

// Blanks and marks that stand between beacons are no part of the last frame's tail.
bool isGap(char16_t c) { return !isHex(c) && !(c >= u'g' && c <= u'z'); }

// The separator places of frame f's body: before its fields, and after them where only a
// separator follows.
template <class F> void forSeparators(std::u16string_view body, const FrameLayout& l, F f)
{
    const std::size_t from = std::size_t(l.fieldBegin - kTagLength);
    f(body[from - 1]);
    if (l.placeable)
        f(body[from + std::size_t(l.fieldLength)]);
}

// What a copy's frames of their length hold at their separator places, frame after frame.
struct SeparatorsSeen {
    std::array<char16_t, 2 * kFrameTags.size()> chars{};
    std::size_t count = 0;
    std::size_t beforeLast = 0; // of them, those of the frames before the last

    std::span<const char16_t> all() const { return {chars.data(), count}; }
    std::span<const char16_t> ofFramesBeforeLast() const { return {chars.data(), beforeLast}; }
};

SeparatorsSeen separatorsSeen(const CopyFrames& copy, const std::array<int, kFrameTags.size()>& ends)
{
    SeparatorsSeen seen;
    for (int f = 0; f < kFrames; ++f) {
        const auto fs = std::size_t(f);
        const FrameLayout& l = kLayout[fs];
        const int body = copy.begin[fs] + copy.tagLength[fs];
        if (f == kFrames - 1)
            seen.beforeLast = seen.count;
        if (copy.begin[fs] < 0 || ends[fs] - body != l.length - kTagLength)
            continue;
        forSeparators(std::u16string_view(copy.text).substr(std::size_t(body)), l,
                      [&](char16_t c) { seen.chars[seen.count++] = c; });
    }
    return seen;
}

// Which characters a copy's separator may be.
enum class Separators { NoHexDigit, Any };

// The character a copy writes between its fields, where the places seen agree on one; 0 where
// they do not.
char16_t lineSeparator(std::span<const char16_t> seen, Separators which)
{
    for (const char16_t c : seen) {
        const auto same = std::size_t(std::count(seen.begin(), seen.end(), c));
        if ((which == Separators::Any || !isHex(c)) && same >= 3 && 3 * same >= 2 * seen.size())
            return c;
    }
    return 0;
}

// A frame of its length lost a character and gained another where a separator stands among
// its fields: a blank, the frame's own separator, or the one the rest of the line writes, which
// then stands at none of its separator places. A separator that is a hex digit tells nothing.
bool separatorsMoved(std::u16string_view body, const FrameLayout& l, char16_t lineSep)
{
    bool ownMissing = false;
    std::array<char16_t, 2> own{};
    std::size_t owned = 0;
    forSeparators(body, l, [&](char16_t c) {
        own[owned++] = c;
        ownMissing = ownMissing || (lineSep != 0 && c != lineSep);
    });
    const std::size_t from = std::size_t(l.fieldBegin - kTagLength);
    for (std::size_t i = from; i < from + std::size_t(l.fieldLength); ++i) {
        const char16_t c = body[i];
        if (isHex(c))
            continue;
        const bool own_ = std::find(own.begin(), own.begin() + std::ptrdiff_t(owned), c) !=
                          own.begin() + std::ptrdiff_t(owned);
        if (isBlank(c) || (lineSep != 0 && c == lineSep) || own_)
            return true;
    }
    return ownMissing;
}

// Whether the fields of the last frame stand between a separator and a tail character that are
// no hex digits. A hex digit that the copy writes between its other fields bounds them too:
// were it a field character, the separator lost would have left the same digit there.
bool fieldsBounded(std::u16string_view body, const FrameLayout& l, char16_t written)
{
    const auto from = std::size_t(l.fieldBegin - kTagLength);
    const std::size_t to = from + std::size_t(l.fieldLength);
    const char16_t before = body.size() > to ? body[from - 1] : 0;
    return body.size() > to && (!isHex(before) || before == written) && !isHex(body[to]) &&
           std::all_of(body.begin() + std::ptrdiff_t(from), body.begin() + std::ptrdiff_t(to), isHex);
}

void readFrame(CopyFrames& copy, int f, int end, char16_t lineSep, char16_t written)
{
    const auto fs = std::size_t(f);
    const FrameLayout& l = kLayout[fs];
    const int body = copy.begin[fs] + copy.tagLength[fs];
    const bool last = f == kFrames - 1;
    if (last) {
        while (end - body > l.length - kTagLength && isGap(copy.text[std::size_t(end - 1)]))
            --end;
    }
    copy.end[fs] = std::int16_t(std::max(end, body));
    const std::u16string_view b = copy.body(f);
    // Blanks at the end of the last frame are doubled, dropped or the text's between beacons as
    // easily as heard: a frame that lost a character and ends in one more would look whole, unless
    // what stands beside its fields shows where they end.
    // Nor is a length firm where a wrap may have taken a blank among the fields: a character
    // gained elsewhere in the tail would make it up.
    const bool firmEnd = !last || ((b.empty() || !isGap(b.back()) || fieldsBounded(b, l, written)) &&
                                   seamsInLastFields(copy) == 0);
    const bool ofLength = int(b.size()) == l.length - kTagLength && !separatorsMoved(b, l, lineSep);
    if (ofLength && firmEnd) {
        copy.reading[fs] = Reading::Exact;
        std::copy_n(b.data() + (l.fieldBegin - kTagLength), l.fieldLength, copy.fields(f));
        return;
    }
    // Only the time is placed at once, which the grouping asks for; the other frames when a vote
    // needs them.
    copy.reading[fs] = f == 0 && placeAlone(copy, f, copy.fields(f)) ? Reading::Placed : Reading::Damaged;
}

void readStrict(CopyFrames& copy)
{
    for (int f = 0; f < kFrames; ++f) {
        const auto fs = std::size_t(f);
        const FrameLayout& l = kLayout[fs];
        copy.begin[fs] = std::int16_t(l.pos - 1);
        copy.tagLength[fs] = kTagLength;
        copy.end[fs] = std::int16_t(l.pos - 1 + l.length);
        copy.reading[fs] = Reading::Exact;
        std::copy_n(copy.text.data() + (l.pos - 1 + l.fieldBegin), l.fieldLength, copy.fields(f));
    }
}

} // namespace

bool placeAlone(const CopyFrames& copy, int f, char16_t* fields)
{
    const FrameLayout& l = kLayout[std::size_t(f)];
    const int length = l.length - kTagLength;
    const std::u16string_view body = copy.body(f);
    // The tail takes any characters, so where the text may go on past the beacon, a decoder's
    // next words would pass for characters gained there.
    if (int(body.size()) == length || copy.begin[std::size_t(f)] < 0 ||
        (f == kFrames - 1 && copy.seams.openEnd))
        return false;
    std::array<Want, kMostPlaced> pattern;
    for (int p = 0; p < length; ++p) {
        const bool field = p >= l.fieldBegin - kTagLength && p < l.fieldBegin - kTagLength + l.fieldLength;
        pattern[std::size_t(p)] = Want{field ? Want::HexDigit : Want::Any, 0};
    }
    const auto from = std::size_t(l.fieldBegin - kTagLength);
    placeChars(std::span<const Want>(pattern.data(), std::size_t(length)), body, from,
               from + std::size_t(l.fieldLength), fields);
    return std::any_of(fields, fields + l.fieldLength, [](char16_t c) { return c != 0; });
}

void placeAgainst(const CopyFrames& copy, const CopyFrames& ref, int f, char16_t* fields)
{
    const FrameLayout& l = kLayout[std::size_t(f)];
    const std::u16string_view frame = ref.body(f);
    std::array<Want, kMostPlaced> pattern;
    if (frame.size() > pattern.size() || copy.begin[std::size_t(f)] < 0)
        return;
    for (std::size_t i = 0; i < frame.size(); ++i)
        pattern[i] = Want{Want::Exactly, frame[i]};
    std::array<char16_t, kMostPlaced> placed{};
    const auto from = std::size_t(l.fieldBegin - kTagLength);
    // A frame of the right length whose separators moved lost one character and gained another.
    const int changes = copy.body(f).size() == frame.size() ? 2 : 1;
    if (!placeChars(std::span<const Want>(pattern.data(), frame.size()), copy.body(f), from,
                    from + std::size_t(l.fieldLength), placed.data(), changes) &&
        (f != kFrames - 1 || !placeInPlace(copy, ref, placed.data(), 1)))
        return;
    for (int i = 0; i < l.fieldLength; ++i) {
        const char16_t alone = fields[i];
        const char16_t aligned = placed[std::size_t(i)];
        fields[i] = alone == 0 ? aligned : (aligned == 0 || aligned == alone ? alone : char16_t(0));
    }
}

namespace {

std::optional<std::uint32_t> readTime(const CopyFrames& copy)
{
    const FrameLayout& l = kLayout[0];
    std::uint32_t t = 0;
    for (int i = 0; i < l.fieldLength; ++i) {
        const char16_t c = copy.held[std::size_t(l.heldAt + i)];
        if (!isHex(c))
            return std::nullopt;
        t = t * 16 + std::uint32_t(hexValue(c));
    }
    return t;
}

} // namespace

int cutFrames(CopyFrames& copy)
{
    copy.held.fill(0);
    copy.separator = 0;
    copy.begin.fill(-1);
    copy.end.fill(-1);
    copy.tagLength.fill(kTagLength);
    copy.reading.fill(Reading::Missing);
    if (copy.strict) {
        readStrict(copy);
        copy.heldTime = readTime(copy);
        return kFrames;
    }
    std::array<bool, kFrameTags.size()> twice{};
    findWholeTags(copy, twice);
    findDamagedTags(copy, twice);
    std::array<int, kFrameTags.size()> ends{};
    for (int f = 0; f < kFrames; ++f) {
        ends[std::size_t(f)] = int(copy.text.size());
        for (int g = f + 1; g < kFrames; ++g) {
            if (copy.begin[std::size_t(g)] >= 0) {
                ends[std::size_t(f)] = copy.begin[std::size_t(g)];
                break;
            }
        }
    }
    const SeparatorsSeen seen = separatorsSeen(copy, ends);
    const char16_t lineSep = lineSeparator(seen.all(), Separators::NoHexDigit);
    copy.separator = lineSep;
    const char16_t written = lineSeparator(seen.ofFramesBeforeLast(), Separators::Any);
    int found = 0;
    for (int f = 0; f < kFrames; ++f) {
        const auto fs = std::size_t(f);
        if (copy.begin[fs] < 0) {
            copy.reading[fs] = twice[fs] ? Reading::Damaged : Reading::Missing;
            found += twice[fs];
            continue;
        }
        ++found;
        readFrame(copy, f, ends[fs], lineSep, written);
    }
    copy.heldTime = readTime(copy);
    return found;
}

// Eight characters at a time.
bool isCleanLine(std::string_view line)
{
    if (!isBeaconLine(line))
        return false;
    std::uint64_t notHex = 0;
    for (std::size_t w = 0; w < kFieldWords.size(); ++w)
        notHex |= ~words::hexDigits(words::load(line.data() + 8 * w)) & kFieldWords[w] & words::kHigh;
    return notHex == 0;
}

} // namespace orvik
