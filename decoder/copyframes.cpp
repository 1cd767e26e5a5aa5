// SPDX-License-Identifier: GPL-3.0-or-later
#include "copyframes.h"

#include "beacon.h"
#include "recover.h"

#include <vector>

namespace orvik {

using namespace copytext;

namespace {

// The two ways of walking back an edit-distance table: taking the diagonal first, or a gap
// first. A character votes only where both put it in the same place.
enum class Prefer { Diagonal, Gap };

// Ref position -> copy position on one cheapest alignment, -1 where the copy holds none.
void walkBack(const std::vector<int>& d, std::u16string_view ref, std::u16string_view copy, Prefer prefer,
              std::vector<int>& at)
{
    const std::size_t w = copy.size() + 1;
    at.assign(ref.size(), -1);
    std::size_t i = ref.size();
    std::size_t j = copy.size();
    while (i > 0 || j > 0) {
        const int here = d[i * w + j];
        const bool diag = i > 0 && j > 0 && here == d[(i - 1) * w + (j - 1)] + (ref[i - 1] != copy[j - 1]);
        const bool up = i > 0 && here == d[(i - 1) * w + j] + 1;
        const bool left = j > 0 && here == d[i * w + (j - 1)] + 1;
        if (diag && (prefer == Prefer::Diagonal || (!up && !left))) {
            at[--i] = int(--j);
        } else if (up) {
            --i;
        } else if (left) {
            --j;
        } else {
            at[--i] = int(--j); // only the diagonal is left
        }
    }
}

// A frame of the right length whose blanks stand elsewhere lost a character and gained
// another: its fields are shifted.
bool separatorsInPlace(std::u16string_view text, int body, const FrameLayout& l)
{
    const int begin = body - kTagLength;
    for (int p = kTagLength; p < l.fieldBegin + l.fieldLength; ++p) {
        if (isBlank(text[std::size_t(begin + p)]) != (p < l.fieldBegin))
            return false;
    }
    return !l.placeable || l.fieldBegin + l.fieldLength == l.length ||
           isBlank(text[std::size_t(begin + l.length - 1)]);
}

// The length of the tag heard at `at` with one character lost, gained or changed; 0 when
// none stands there.
int damagedTagAt(std::u16string_view text, std::size_t at, std::u16string_view tag)
{
    const auto without = [](std::u16string_view s, std::size_t i, std::u16string_view other) {
        return s.substr(0, i) == other.substr(0, i) && s.substr(i + 1) == other.substr(i);
    };
    if (at + tag.size() <= text.size()) {
        const std::u16string_view four = text.substr(at, tag.size());
        int differ = 0;
        for (std::size_t i = 0; i < tag.size(); ++i)
            differ += four[i] != tag[i];
        if (differ <= 1)
            return int(tag.size());
    }
    if (at + tag.size() - 1 <= text.size()) {
        const std::u16string_view three = text.substr(at, tag.size() - 1);
        for (std::size_t i = 0; i < tag.size(); ++i) {
            if (without(tag, i, three))
                return int(tag.size() - 1);
        }
    }
    if (at + tag.size() + 1 <= text.size()) {
        const std::u16string_view five = text.substr(at, tag.size() + 1);
        for (std::size_t i = 0; i <= tag.size(); ++i) {
            if (without(five, i, tag))
                return int(tag.size() + 1);
        }
    }
    return 0;
}

// What a clean line may hold at each position, and what each byte is; the tags are looked at
// by isBeaconLine.
enum CharClass : std::uint8_t { kAnyChar = 1, kHexChar = 2, kBlankChar = 4, kNoTagStart = 8 };

constexpr std::array<std::uint8_t, 256> kCharClass = [] {
    std::array<std::uint8_t, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        const auto u = char16_t(c);
        classes[std::size_t(c)] =
            std::uint8_t(kAnyChar | (isHex(fold(u)) ? kHexChar : 0) | (isBlank(u) ? kBlankChar : 0) |
                         (c != 'o' && c != 'O' && c < 0x80 ? kNoTagStart : 0));
    }
    return classes;
}();

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

} // namespace

// Gives the characters of a damaged frame a place in a frame of the right length, where the
// cheapest alignment leaves no doubt; both are taken after their tags. Writes them at the
// field positions of `readings`.
void alignFrame(std::u16string_view ref, std::u16string_view copy, const FrameLayout& layout,
                char16_t* readings)
{
    thread_local std::vector<int> d;
    thread_local std::vector<int> first;
    thread_local std::vector<int> second;
    // Only cells near the diagonal are worked out: a path that strays further costs more than
    // any alignment taken.
    const std::size_t w = copy.size() + 1;
    const std::size_t band = std::size_t(std::abs(int(ref.size()) - int(copy.size()))) + 2;
    constexpr int kFar = 1 << 20;
    // Cells beyond the band's edges are never read, so only the band and its rims are set.
    d.resize((ref.size() + 1) * w);
    for (std::size_t i = 0; i <= ref.size(); ++i) {
        const std::size_t from = i > band + 1 ? i - band - 1 : 0;
        std::fill(d.begin() + std::ptrdiff_t(i * w + from),
                  d.begin() + std::ptrdiff_t(i * w + std::min(w - 1, i + band + 1) + 1), kFar);
    }
    for (std::size_t j = 0; j < w && j <= band; ++j)
        d[j] = int(j);
    for (std::size_t i = 1; i <= ref.size(); ++i) {
        if (i <= band)
            d[i * w] = int(i);
        const std::size_t last = std::min(w - 1, i + band);
        for (std::size_t j = i > band ? i - band : 1; j <= last; ++j) {
            d[i * w + j] = std::min({d[(i - 1) * w + (j - 1)] + (ref[i - 1] != copy[j - 1]),
                                     d[(i - 1) * w + j] + 1, d[i * w + (j - 1)] + 1});
        }
    }
    // One character heard wrong besides those lost or gained: more, and the copy may be
    // shifted against the reference rather than damaged.
    const int shift = std::abs(int(ref.size()) - int(copy.size()));
    if (d.back() > shift + 1)
        return;
    walkBack(d, ref, copy, Prefer::Diagonal, first);
    walkBack(d, ref, copy, Prefer::Gap, second);
    for (int i = 0; i < layout.fieldLength; ++i) {
        const auto r = std::size_t(layout.fieldBegin - kTagLength + i);
        // A character doubled or lost in a run of one letter puts that letter here on either
        // walk, or on one walk while the other leaves the place to a neighbour of the run.
        const int a = first[r];
        const int b = second[r];
        if (a >= 0 && b >= 0 && copy[std::size_t(a)] == copy[std::size_t(b)])
            readings[i] = copy[std::size_t(a)];
        else if ((a >= 0) != (b >= 0) && copy[std::size_t(std::max(a, b))] == ref[r])
            readings[i] = ref[r];
    }
}

int cutFrames(CopyFrames& copy)
{
    const std::u16string& t = copy.text;
    if (t.size() > Recoverer::kLongestCopy)
        return 0;
    // Every frame tag, by where it stands; a tag seen twice leaves its frame unplaced.
    std::array<int, kFrameTags.size()> seen{};
    std::array<std::int16_t, Recoverer::kLongestCopy / 3 + kFrameTags.size()> starts{};
    int found = 0;
    copy.begin.fill(-1);
    copy.tagLength.fill(kTagLength);
    for (std::size_t i = 0; i + kTagLength <= t.size(); ++i) {
        if (t[i] != u'o' || t[i + 1] != u'r' || t[i + 2] != u'v')
            continue;
        for (int f = 0; f < kFrames; ++f) {
            if (t[i + 3] != kFrameTags[std::size_t(f)].tag[3])
                continue;
            if (seen[std::size_t(f)]++ == 0)
                copy.begin[std::size_t(f)] = std::int16_t(i);
            starts[std::size_t(found++)] = std::int16_t(i);
        }
    }
    // A tag heard with one character lost, gained or changed is looked for where the frame
    // before it or after it says it should stand.
    for (int pass = 0; pass < 2; ++pass) {
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
                const bool free = std::none_of(starts.begin(), starts.begin() + found,
                                               [&](int s) { return s + kTagLength > at && s < at + length; });
                if (length > 0 && free) {
                    seen[fs] = 1;
                    copy.begin[fs] = std::int16_t(at);
                    copy.tagLength[fs] = std::int8_t(length);
                    starts[std::size_t(found++)] = std::int16_t(at);
                    break;
                }
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
        int e = int(t.size());
        for (int s = 0; s < found; ++s) {
            if (starts[std::size_t(s)] > b)
                e = std::min(e, int(starts[std::size_t(s)]));
        }
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
            int p = body;
            while (p < e && isBlank(t[std::size_t(p)]))
                ++p;
            const int at = p;
            while (p < e && isHex(t[std::size_t(p)]))
                ++p;
            const int run = p - at;
            while (p < e && isBlank(t[std::size_t(p)]))
                ++p;
            if (run == l.fieldLength && p == e) {
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
    bool clean = true;
    for (std::size_t p = 0; p < kCleanNeeds.size(); ++p)
        clean &= (kCharClass[static_cast<unsigned char>(line[p])] & kCleanNeeds[p]) != 0;
    return clean;
}

} // namespace orvik
