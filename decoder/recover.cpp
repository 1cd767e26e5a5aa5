// SPDX-License-Identifier: GPL-3.0-or-later
#include "recover.h"

#include "hexconv.h"

#include <algorithm>
#include <bit>
#include <deque>
#include <limits>

namespace orvik {

namespace {

constexpr int kFrames = int(kFrameTags.size());
constexpr int kTagLength = 4;
// A copy whose frame is longer or shorter than this is not aligned to the others.
constexpr int kMostShift = 3;
// More copies than this of one beacon start a record of their own.
constexpr std::size_t kMostCopies = 64;

// Where a frame and its fields lie, counted from 0 within the frame.
struct FrameLayout {
    int pos;         // the tag in the beacon line, counted from 1
    int length;      // tag to the next tag
    int fieldBegin;  // the first field character
    int fieldLength; // the fields lie side by side
    // Only a separator follows the fields, so characters lost or gained there can be placed.
    bool placeable;
};

constexpr std::array<FrameLayout, kFrameTags.size()> kLayout = [] {
    std::array<FrameLayout, kFrameTags.size()> layout{};
    for (int f = 0; f < kFrames; ++f) {
        FrameLayout& l = layout[std::size_t(f)];
        l.pos = kFrameTags[std::size_t(f)].pos;
        l.length = (f + 1 < kFrames ? kFrameTags[std::size_t(f + 1)].pos : kBeaconLength + 1) - l.pos;
        int first = kBeaconLength;
        int last = 0;
        for (const Channel& ch : kChannels) {
            if (ch.frame == f + 1) {
                first = std::min(first, ch.pos);
                last = std::max(last, ch.pos + ch.len);
            }
        }
        l.fieldBegin = first - l.pos;
        l.fieldLength = last - first;
        l.placeable = l.length - (l.fieldBegin + l.fieldLength) <= 1;
    }
    return layout;
}();

static_assert(std::all_of(kLayout.begin(), kLayout.end(), [](const FrameLayout& l) {
    return l.fieldBegin > kTagLength && l.fieldLength > 0 && l.fieldBegin + l.fieldLength <= l.length;
}));

constexpr char16_t fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

constexpr bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

constexpr bool isHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }

constexpr int hexValue(char16_t c) { return c <= u'9' ? c - u'0' : c - u'a' + 10; }

constexpr std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdu;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53u;
    h ^= h >> 33;
    return h | 1; // never 0, which marks a free slot
}

// How a copy's frame can be read.
enum class Reading : std::uint8_t { Missing, Exact, Placed, Damaged };

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

// Gives the characters of a damaged frame a place in a frame of the right length, where the
// cheapest alignment leaves no doubt; both are taken after their tags. Writes them at the
// field positions of `readings`.
void alignFrame(std::u16string_view ref, std::u16string_view copy, const FrameLayout& layout,
                char16_t* readings)
{
    thread_local std::vector<int> d;
    thread_local std::vector<int> first;
    thread_local std::vector<int> second;
    const std::size_t w = copy.size() + 1;
    d.assign((ref.size() + 1) * w, 0);
    for (std::size_t j = 0; j < w; ++j)
        d[j] = int(j);
    for (std::size_t i = 1; i <= ref.size(); ++i) {
        d[i * w] = int(i);
        for (std::size_t j = 1; j < w; ++j) {
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

// The reason told for a field: what went wrong with its frame before what went wrong with a
// character.
int rank(LeftOut reason) { return reason == LeftOut::No ? 0 : 5 - int(reason); }

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

struct Tally {
    char16_t winner = 0;
    int votes = 0;
    bool tie = false;
};

// The most frequent character of the readings, 0 standing for none.
Tally countVotes(const char16_t* readings, std::size_t count, std::size_t stride)
{
    Tally t;
    for (std::size_t k = 0; k < count; ++k) {
        const char16_t c = readings[k * stride];
        if (c == 0)
            continue;
        int n = 0;
        for (std::size_t m = 0; m < count; ++m)
            n += readings[m * stride] == c;
        if (n > t.votes) {
            t = {c, n, false};
        } else if (n == t.votes && c != t.winner) {
            t.tie = true;
        }
    }
    return t;
}

} // namespace

std::string_view leftOutText(LeftOut reason)
{
    switch (reason) {
    case LeftOut::No: return "written";
    case LeftOut::FrameMissing: return "frame missing";
    case LeftOut::FrameDamaged: return "frame damaged";
    case LeftOut::NoMajority: return "no majority";
    case LeftOut::NotHex: return "not a hex digit";
    }
    return "";
}

std::uint32_t RecoveredRecord::leftOutMask() const
{
    std::uint32_t mask = 0;
    for (int c = 0; c < kChannelCount; ++c)
        mask |= std::uint32_t(leftOut[std::size_t(c)] != LeftOut::No) << c;
    return mask;
}

struct Recoverer::Copy {
    std::u16string text; // folded to lower case, trailing blanks taken off
    std::array<std::int16_t, kFrameTags.size()> begin{};
    std::array<std::int16_t, kFrameTags.size()> end{};
    std::array<std::int16_t, kFrameTags.size()> fieldAt{};
    std::array<std::int8_t, kFrameTags.size()> tagLength{}; // 3 to 5 for a tag heard damaged
    std::array<Reading, kFrameTags.size()> reading{};
    std::int32_t time = -1; // the on-board time, when its field reads as hex digits
    CopySource source;
    std::uint64_t seq = 0; // the order in which copies came

    bool readable(int f) const
    {
        return reading[std::size_t(f)] == Reading::Exact || reading[std::size_t(f)] == Reading::Placed;
    }
    // The frame after its tag.
    std::u16string_view body(int f) const
    {
        const int b = begin[std::size_t(f)] + tagLength[std::size_t(f)];
        return std::u16string_view(text).substr(std::size_t(b),
                                                std::size_t(std::max(0, end[std::size_t(f)] - b)));
    }
    std::u16string_view fields(int f) const
    {
        return std::u16string_view(text).substr(std::size_t(fieldAt[std::size_t(f)]),
                                                std::size_t(kLayout[std::size_t(f)].fieldLength));
    }
};

struct Recoverer::Group {
    std::uint64_t firstCopy = 0; // m_added when the group began
    std::vector<Copy> copies;
    std::vector<std::uint64_t> keys;
};

// Open addressing, key -> group number; a key of a group that closed is simply not found
// again, and the table is rebuilt from the open groups when it fills.
class Recoverer::KeyTable {
public:
    std::uint64_t find(std::uint64_t key) const
    {
        if (m_slots.empty())
            return 0;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = key & mask;; i = (i + 1) & mask) {
            if (m_slots[i].key == key)
                return m_slots[i].group;
            if (m_slots[i].key == 0)
                return 0;
        }
    }

    void prefetch(std::uint64_t key) const
    {
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[key & (m_slots.size() - 1)]);
    }

    void put(std::uint64_t key, std::uint64_t group)
    {
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = key & mask;; i = (i + 1) & mask) {
            if (m_slots[i].key == key || m_slots[i].key == 0) {
                m_used += m_slots[i].key == 0;
                m_slots[i] = {key, group};
                return;
            }
        }
    }

    bool full() const { return m_used * 2 >= m_slots.size(); }

    void reset(std::size_t keys)
    {
        m_slots.assign(std::max<std::size_t>(1024, std::bit_ceil(keys * 4)), Slot{});
        m_used = 0;
    }

private:
    struct Slot {
        std::uint64_t key = 0;
        std::uint64_t group = 0; // group number + 1
    };
    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

struct Recoverer::State {
    std::deque<Group> groups;
    KeyTable keys;
};

Recoverer::Recoverer(std::size_t window)
    : m_window(window)
    , m_state(std::make_unique<State>())
{}

Recoverer::~Recoverer() = default;

bool Recoverer::add(std::u16string_view line, CopySource source) { return addText(line, source); }

bool Recoverer::add(std::string_view asciiLine, CopySource source) { return addText(asciiLine, source); }

template <class CharT> bool Recoverer::addText(std::basic_string_view<CharT> line, CopySource source)
{
    // Blanks after the last character cannot shift a field.
    while (!line.empty() && isBlank(char16_t(line.back())))
        line.remove_suffix(1);
    if (line.size() > kLongestCopy || line.size() < std::size_t(2 * kTagLength))
        return false;

    Copy copy;
    copy.source = source;
    copy.text.resize(line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        copy.text[i] = fold(char16_t(static_cast<std::make_unsigned_t<CharT>>(line[i])));
    const std::u16string& t = copy.text;

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
    if (distinct < 2)
        return false;
    if (copy.readable(0)) {
        std::int32_t time = 0;
        for (const char16_t c : copy.fields(0)) {
            if (!isHex(c)) {
                time = -1;
                break;
            }
            time = time * 16 + hexValue(c);
        }
        copy.time = time;
    }
    place(std::move(copy));
    ++m_added;
    return true;
}

void Recoverer::place(Copy copy)
{
    // A key for the fields of each frame that reads: a copy damaged in a few frames is still
    // found by the others.
    std::array<std::uint64_t, kFrameTags.size()> keys{};
    for (int f = 0; f < kFrames; ++f) {
        if (!copy.readable(f))
            continue;
        std::uint64_t h = std::uint64_t(f + 1);
        for (const char16_t c : copy.fields(f))
            h = (h << 5 | h >> 59) ^ c;
        keys[std::size_t(f)] = mix(h);
    }

    for (const std::uint64_t key : keys)
        m_state->keys.prefetch(key);
    // Every open group that the copy fits: a copy that bridges two groups makes them one.
    std::array<std::uint64_t, kFrameTags.size()> fitting{};
    std::size_t count = 0;
    for (const std::uint64_t key : keys) {
        const std::uint64_t g = key == 0 ? 0 : m_state->keys.find(key);
        if (g == 0 || g - 1 < m_firstOpen || std::find(fitting.begin(), fitting.end(), g) != fitting.end())
            continue;
        const Group& candidate = m_state->groups[std::size_t(g - 1 - m_firstOpen)];
        if (!candidate.copies.empty() && fits(candidate, copy))
            fitting[count++] = g;
    }
    for (std::size_t i = 1; i < count; ++i) {
        for (std::size_t j = i; j > 0 && fitting[j - 1] > fitting[j]; --j)
            std::swap(fitting[j - 1], fitting[j]);
    }
    std::uint64_t chosen = count > 0 ? fitting[0] : 0;
    if (chosen == 0) {
        m_state->groups.emplace_back();
        m_state->groups.back().firstCopy = m_added;
        m_state->groups.back().keys.reserve(keys.size());
        chosen = m_firstOpen + m_state->groups.size();
    }
    Group& group = m_state->groups[std::size_t(chosen - 1 - m_firstOpen)];
    for (std::size_t i = 1; i < count; ++i) {
        Group& later = m_state->groups[std::size_t(fitting[i] - 1 - m_firstOpen)];
        for (Copy& c : later.copies)
            group.copies.push_back(std::move(c));
        for (const std::uint64_t key : later.keys) {
            group.keys.push_back(key);
            m_state->keys.put(key, chosen);
        }
        later.copies.clear();
        later.keys.clear();
    }
    copy.seq = m_added;
    group.copies.push_back(std::move(copy));
    if (count > 1) {
        std::sort(group.copies.begin(), group.copies.end(),
                  [](const Copy& x, const Copy& y) { return x.seq < y.seq; });
    }
    if (m_state->keys.full()) {
        std::size_t open = 0;
        for (const Group& g : m_state->groups)
            open += g.keys.size();
        m_state->keys.reset(open + keys.size());
        for (std::size_t i = 0; i < m_state->groups.size(); ++i) {
            for (const std::uint64_t key : m_state->groups[i].keys)
                m_state->keys.put(key, m_firstOpen + i + 1);
        }
    }
    for (const std::uint64_t key : keys) {
        if (key == 0)
            continue;
        group.keys.push_back(key);
        m_state->keys.put(key, chosen);
    }
}

// Copies of one beacon: their on-board times differ in one character at most, and the frames
// that both read mostly agree. A frame that lost one character and gained another reads as
// shifted, so a few frames that disagree are borne.
bool Recoverer::fits(const Group& group, const Copy& copy) const
{
    if (group.copies.size() >= kMostCopies)
        return false;
    int agree = 0;
    int disagree = 0;
    for (const Copy& other : group.copies) {
        for (int f = 0; f < kFrames; ++f) {
            if (!copy.readable(f) || !other.readable(f))
                continue;
            const std::u16string_view a = copy.fields(f);
            const std::u16string_view b = other.fields(f);
            int differ = 0;
            for (std::size_t i = 0; i < a.size(); ++i)
                differ += a[i] != b[i];
            if (f == 0 && differ > 1)
                return false;
            if (f == 0 && differ == 1)
                continue;
            (differ * 4 <= int(a.size()) ? agree : disagree) += int(a.size());
        }
    }
    return agree >= 6 && disagree <= agree + 12;
}

bool Recoverer::take(RecoveredRecord& out, bool all)
{
    // Groups merged into an earlier one are left empty.
    while (!m_state->groups.empty() && m_state->groups.front().copies.empty()) {
        m_state->groups.pop_front();
        ++m_firstOpen;
    }
    if (m_state->groups.empty())
        return false;
    Group& head = m_state->groups.front();
    if (!all && m_added - head.firstCopy <= m_window)
        return false;
    merge(head, out);
    m_state->groups.pop_front();
    ++m_firstOpen;
    return true;
}

void Recoverer::merge(Group& group, RecoveredRecord& out) const
{
    const std::size_t n = group.copies.size();
    out.values.fill(std::numeric_limits<double>::quiet_NaN());
    out.leftOut.fill(LeftOut::No);
    out.copies.clear();
    out.changes.clear();
    for (const Copy& c : group.copies)
        out.copies.push_back(c.source);
    static const std::string kTemplate = [] {
        std::string line(std::size_t(kBeaconLength), '-');
        for (int f = 0; f < kFrames; ++f) {
            const FrameLayout& l = kLayout[std::size_t(f)];
            for (int i = 0; i < kTagLength; ++i)
                line[std::size_t(l.pos - 1 + i)] = char(kFrameTags[std::size_t(f)].tag[std::size_t(i)]);
            for (int p = kTagLength; p < l.fieldBegin; ++p)
                line[std::size_t(l.pos - 1 + p)] = ' ';
            if (l.placeable)
                line[std::size_t(l.pos - 1 + l.length - 1)] = ' ';
        }
        return line;
    }();
    out.line = kTemplate;

    thread_local std::vector<char16_t> readings;
    thread_local std::u16string refText;
    // Where there are copies to compare, one alone is no majority: its slip would go unseen.
    const int leastVotes = n > 1 ? 2 : 1;
    std::array<LeftOut, kBeaconLength + 1> atPosition{};
    // A copy alone is read as it stands, with nothing to vote.
    for (int f = 0; n == 1 && f < kFrames; ++f) {
        const Copy& c = group.copies.front();
        const FrameLayout& l = kLayout[std::size_t(f)];
        const bool readable = c.readable(f);
        const LeftOut lost =
            c.reading[std::size_t(f)] == Reading::Missing ? LeftOut::FrameMissing : LeftOut::FrameDamaged;
        for (int i = 0; i < l.fieldLength; ++i) {
            const int position = l.pos + l.fieldBegin + i;
            const char16_t ch = readable ? c.fields(f)[std::size_t(i)] : char16_t(0);
            if (!readable)
                atPosition[std::size_t(position)] = lost;
            else if (!isHex(ch))
                atPosition[std::size_t(position)] = LeftOut::NotHex;
            else
                out.line[std::size_t(position - 1)] = char(ch);
        }
    }
    for (int f = 0; n > 1 && f < kFrames; ++f) {
        const auto fs = std::size_t(f);
        const FrameLayout& l = kLayout[fs];
        const auto width = std::size_t(l.fieldLength);
        readings.assign(n * width, 0);
        bool anyTag = false;
        // The reference is the copy that reads the frame and agrees most with the others; one
        // whose blanks were placed stands for the frame as sent.
        const Copy* ref = nullptr;
        int refAgrees = -1;
        for (const Copy& c : group.copies) {
            if (!c.readable(f))
                continue;
            int agrees = 0;
            for (const Copy& o : group.copies) {
                if (&o == &c || !o.readable(f))
                    continue;
                for (std::size_t i = 0; i < width; ++i)
                    agrees += c.fields(f)[i] == o.fields(f)[i];
            }
            if (agrees > refAgrees) {
                ref = &c;
                refAgrees = agrees;
            }
        }
        for (std::size_t k = 0; k < n; ++k) {
            const Copy& c = group.copies[k];
            char16_t* const mine = readings.data() + k * width;
            anyTag = anyTag || c.reading[fs] != Reading::Missing;
            if (c.readable(f)) {
                std::copy_n(c.fields(f).data(), width, mine);
            } else if (c.reading[fs] == Reading::Damaged && ref != nullptr &&
                       std::abs(int(c.body(f).size()) - (l.length - kTagLength)) <= kMostShift) {
                std::u16string_view frame = ref->body(f);
                if (ref->reading[fs] == Reading::Placed) {
                    refText.assign(std::size_t(l.fieldBegin - kTagLength), u' ');
                    refText.append(ref->fields(f));
                    refText.append(std::size_t(l.length - l.fieldBegin - l.fieldLength), u' ');
                    frame = refText;
                }
                alignFrame(frame, c.body(f), l, mine);
            }
        }
        for (std::size_t i = 0; i < width; ++i) {
            const int position = l.pos + l.fieldBegin + int(i);
            const Tally t = countVotes(readings.data() + i, n, width);
            LeftOut& verdict = atPosition[std::size_t(position)];
            if (t.votes == 0)
                verdict = anyTag ? LeftOut::FrameDamaged : LeftOut::FrameMissing;
            else if (t.tie || t.votes < leastVotes)
                verdict = LeftOut::NoMajority;
            else if (!isHex(t.winner))
                verdict = LeftOut::NotHex;
            if (verdict != LeftOut::No)
                continue;
            out.line[std::size_t(position - 1)] = char(t.winner);
            for (std::size_t k = 0; k < n; ++k) {
                const char16_t c = readings[k * width + i];
                if (c != 0 && c != t.winner)
                    out.changes.push_back({k, position, c, t.winner});
            }
        }
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        LeftOut worst = LeftOut::No;
        for (int p = ch.pos; p < ch.pos + ch.len; ++p) {
            if (rank(atPosition[std::size_t(p)]) > rank(worst))
                worst = atPosition[std::size_t(p)];
        }
        out.leftOut[std::size_t(c)] = worst;
        if (worst != LeftOut::No)
            continue;
        std::array<char16_t, 16> field{};
        for (int i = 0; i < ch.len; ++i)
            field[std::size_t(i)] = char16_t(out.line[std::size_t(ch.pos - 1 + i)]);
        out.values[std::size_t(c)] = channelValue(ch, HexToDec({field.data(), std::size_t(ch.len)}));
    }
}

std::vector<RecoveredRecord> recoverLines(std::span<const std::u16string_view> lines)
{
    Recoverer recoverer(lines.size() + 1);
    std::uint64_t number = 0;
    for (const std::u16string_view line : lines)
        recoverer.add(line, {0, ++number});
    std::vector<RecoveredRecord> records;
    RecoveredRecord record;
    while (recoverer.take(record, true))
        records.push_back(record);
    return records;
}

} // namespace orvik
