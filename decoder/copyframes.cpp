// SPDX-License-Identifier: GPL-3.0-or-later
#include "copyframes.h"

#include "beacon.h"
#include "recover.h"

#include <bit>
#include <cstring>
#include <vector>

namespace orvik {

using namespace copytext;

namespace {

constexpr std::uint64_t kLanes = 0x0001000100010001u;

// The top bit of each of the four characters packed in `word` that is `c`, and no other bit.
constexpr std::uint64_t lanesAre(std::uint64_t word, char16_t c)
{
    constexpr std::uint64_t kLow = kLanes * 0x7fff;
    const std::uint64_t x = word ^ (kLanes * c);
    return ~(((x & kLow) + kLow) | x | kLow);
}

// Takes the first of the characters that lanesAre() marked: its place in their group.
int takeFirstLane(std::uint64_t& marks)
{
    if constexpr (std::endian::native == std::endian::little) {
        const int bit = std::countr_zero(marks);
        marks &= marks - 1;
        return bit / 16;
    } else {
        const int bit = 63 - std::countl_zero(marks);
        marks &= ~(std::uint64_t(1) << bit);
        return 3 - bit / 16;
    }
}

std::uint64_t fourAt(const char16_t* p)
{
    static_assert(sizeof(char16_t) == 2);
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Whether any of the `n` characters from `p` is a blank, four at a time.
bool holdsBlank(const char16_t* p, int n)
{
    bool blank = false;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const std::uint64_t word = fourAt(p + i);
        blank |= (lanesAre(word, u' ') | lanesAre(word, u'\t')) != 0;
    }
    for (; i < n; ++i)
        blank |= isBlank(p[i]);
    return blank;
}

// A frame of the right length whose blanks stand elsewhere lost a character and gained
// another: its fields are shifted.
bool separatorsInPlace(std::u16string_view text, int body, const FrameLayout& l)
{
    const char16_t* const frame = text.data() + body - kTagLength;
    for (int p = kTagLength; p < l.fieldBegin; ++p) {
        if (!isBlank(frame[p]))
            return false;
    }
    return !holdsBlank(frame + l.fieldBegin, l.fieldLength) &&
           (!l.placeable || l.fieldBegin + l.fieldLength == l.length || isBlank(frame[l.length - 1]));
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

// Every tag is "orv" and its frame's number, so the character after "orv" tells the frame.
static_assert([] {
    for (std::size_t f = 0; f < kFrameTags.size(); ++f) {
        const std::u16string_view tag = kFrameTags[f].tag;
        if (tag.size() != kTagLength || tag.substr(0, 3) != u"orv" || tag[3] != u'1' + f)
            return false;
    }
    return true;
}());

// What a clean line may hold at each position; the tags are looked at by isBeaconLine.
enum CharClass : std::uint8_t { kAnyChar = 1, kHexChar = 2, kBlankChar = 4, kNoTagStart = 8 };

constexpr std::array<std::uint8_t, kBeaconLength> kCleanNeeds = [] {
    std::array<std::uint8_t, kBeaconLength> needs{};
    needs.fill(kAnyChar);
    for (int f = 0; f < kFrames; ++f) {
        const FrameLayout& l = kLayout[std::size_t(f)];
        for (int p = kTagLength; p < l.length; ++p) {
            const bool field = p >= l.fieldBegin && p < l.fieldBegin + l.fieldLength;
            const bool after = p >= l.fieldBegin + l.fieldLength;
            needs[std::size_t(l.pos - 1 + p)] = field                     ? kHexChar
                                                : (after && !l.placeable) ? kNoTagStart
                                                                          : kBlankChar;
        }
    }
    return needs;
}();

// What each of a clean line's bytes must be, eight bytes to a word, the high bit of a byte set
// where the need applies.
struct CleanMasks {
    std::array<std::uint64_t, kBeaconLength / 8> hex{};
    std::array<std::uint64_t, kBeaconLength / 8> blank{};
    std::array<std::uint64_t, kBeaconLength / 8> noTagStart{};
};

constexpr CleanMasks kCleanMasks = [] {
    static_assert(kBeaconLength % 8 == 0);
    CleanMasks m;
    for (std::size_t p = 0; p < kCleanNeeds.size(); ++p) {
        const std::uint64_t bit = std::uint64_t(0x80) << (8 * (p % 8));
        if (kCleanNeeds[p] == kHexChar)
            m.hex[p / 8] |= bit;
        else if (kCleanNeeds[p] == kBlankChar)
            m.blank[p / 8] |= bit;
        else if (kCleanNeeds[p] == kNoTagStart)
            m.noTagStart[p / 8] |= bit;
    }
    return m;
}();

constexpr std::uint64_t kBytes = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = 0x8080808080808080u;

// The high bit of each byte of `word` (high bits clear) that is `c`.
constexpr std::uint64_t bytesAre(std::uint64_t word, unsigned char c)
{
    const std::uint64_t x = word ^ (kBytes * c);
    return ~(((x & ~kHighBits) + ~kHighBits) | x) & kHighBits;
}

// The high bit of each byte of `word` (high bits clear) from `lo` to `hi`.
constexpr std::uint64_t bytesIn(std::uint64_t word, unsigned char lo, unsigned char hi)
{
    return (word + kBytes * (0x80 - lo)) & ~(word + kBytes * (0x7F - hi)) & kHighBits;
}

} // namespace

int cutFrames(CopyFrames& copy)
{
    const std::u16string& t = copy.text;
    if (t.size() > Recoverer::kLongestCopy)
        return 0;
    // Every frame tag, by where it stands; a tag seen twice leaves its frame unplaced.
    std::array<int, kFrameTags.size()> seen{};
    // Kept in order, so that a frame ends where the next start stands.
    std::array<std::int16_t, Recoverer::kLongestCopy / 3 + kFrameTags.size()> starts;
    int found = 0;
    copy.begin.fill(-1);
    copy.tagLength.fill(kTagLength);
    const std::size_t lastStart = t.size() >= kTagLength ? t.size() - kTagLength + 1 : 0;
    // Four characters at a time: a tag starts with an "o", and most groups of four hold none.
    for (std::size_t group = 0; group < lastStart; group += 4) {
        for (std::uint64_t os = lanesAre(fourAt(t.data() + group), u'o'); os != 0;) {
            const std::size_t i = group + std::size_t(takeFirstLane(os));
            if (i >= lastStart || t[i + 1] != u'r' || t[i + 2] != u'v')
                continue;
            const auto f = std::size_t(t[i + 3] - u'1');
            if (f >= kFrameTags.size())
                continue;
            if (seen[f]++ == 0)
                copy.begin[f] = std::int16_t(i);
            starts[std::size_t(found++)] = std::int16_t(i);
        }
    }
    // A tag heard with one character lost, gained or changed is looked for where the frame
    // before it or after it says it should stand.
    const bool allSeen = std::find(seen.begin(), seen.end(), 0) == seen.end();
    for (int pass = 0; pass < 2 && !allSeen; ++pass) {
        for (int k = 0; k < kFrames; ++k) {
            const int f = pass == 0 ? k : kFrames - 1 - k;
            const auto fs = std::size_t(f);
            if (seen[fs] != 0)
                continue;
            int expected = -1;
            if (pass == 0 && f == 0)
                expected = 0;
            else if (pass == 0 && copy.begin[fs - 1] >= 0)
                expected = copy.begin[fs - 1] + kLayout[fs - 1].length;
            else if (pass == 1 && f + 1 < kFrames && copy.begin[fs + 1] >= 0)
                expected = copy.begin[fs + 1] - kLayout[fs].length;
            if (expected < 0)
                continue;
            for (const int shift : {0, -1, 1, -2, 2, -3, 3}) {
                const int at = expected + shift;
                const int length = at < 0 ? 0 : damagedTagAt(t, std::size_t(at), kFrameTags[fs].tag);
                if (length == 0 || std::any_of(starts.begin(), starts.begin() + found,
                                               [&](int s) { return s + kTagLength > at && s < at + length; }))
                    continue;
                seen[fs] = 1;
                copy.begin[fs] = std::int16_t(at);
                copy.tagLength[fs] = std::int8_t(length);
                auto* const place = std::upper_bound(starts.begin(), starts.begin() + found, at);
                std::copy_backward(place, starts.begin() + found, starts.begin() + found + 1);
                *place = std::int16_t(at);
                ++found;
                break;
            }
        }
    }
    int distinct = 0;
    for (int f = 0; f < kFrames; ++f) {
        const auto fs = std::size_t(f);
        if (seen[fs] == 0) {
            copy.reading[fs] = Reading::Missing;
            continue;
        }
        ++distinct;
        const int b = copy.begin[fs];
        const auto* const next = std::upper_bound(starts.begin(), starts.begin() + found, b);
        const int e = next == starts.begin() + found ? int(t.size()) : *next;
        copy.end[fs] = std::int16_t(e);
        const FrameLayout& l = kLayout[fs];
        const int body = b + copy.tagLength[fs];
        if (seen[fs] > 1 || body > e) {
            copy.reading[fs] = Reading::Damaged;
        } else if (e - body == l.length - kTagLength && separatorsInPlace(t, body, l)) {
            copy.reading[fs] = Reading::Exact;
            copy.fieldAt[fs] = std::int16_t(body + l.fieldBegin - kTagLength);
        } else {
            copy.reading[fs] = Reading::Damaged;
            if (!l.placeable)
                continue;
            // Blanks lost or gained around the fields: a run of exactly the fields' hex
            // digits between blanks is in its place.
            int at = body;
            while (at < e && isBlank(t[std::size_t(at)]))
                ++at;
            if (e - at < l.fieldLength)
                continue;
            const auto fields = std::u16string_view(t).substr(std::size_t(at), std::size_t(e - at));
            bool hex = true;
            for (int i = 0; i < l.fieldLength; ++i)
                hex &= isHex(fields[std::size_t(i)]);
            if (hex && std::all_of(fields.begin() + l.fieldLength, fields.end(), isBlank)) {
                copy.reading[fs] = Reading::Placed;
                copy.fieldAt[fs] = std::int16_t(at);
            }
        }
    }
    return distinct;
}

bool isCleanLine(std::string_view line)
{
    if (!isBeaconLine(line))
        return false;
    std::uint64_t wrong = 0;
    for (std::size_t w = 0; w < kCleanMasks.hex.size(); ++w) {
        std::uint64_t word;
        std::memcpy(&word, line.data() + 8 * w, sizeof word);
        const std::uint64_t ascii = ~word & kHighBits;
        const std::uint64_t low = word & ~kHighBits;
        const std::uint64_t folded = low | (kBytes * 0x20);
        const std::uint64_t hex = (bytesIn(low, '0', '9') | bytesIn(folded, 'a', 'f')) & ascii;
        const std::uint64_t blank = (bytesAre(low, ' ') | bytesAre(low, '\t')) & ascii;
        const std::uint64_t noTagStart = ~bytesAre(folded, 'o') & ascii;
        wrong |= (kCleanMasks.hex[w] & ~hex) | (kCleanMasks.blank[w] & ~blank) |
                 (kCleanMasks.noTagStart[w] & ~noTagStart);
    }
    return wrong == 0;
}

} // namespace orvik
