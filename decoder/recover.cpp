// SPDX-License-Identifier: GPL-3.0-or-later
#include "recover.h"

#include "copyframes.h"

#include <algorithm>
#include <bit>
#include <deque>
#include <limits>

namespace orvik {

using namespace copytext;

namespace {

// A copy whose frame is longer or shorter than this is not aligned to the others.
constexpr int kMostShift = 3;
// More copies than this of one beacon start a record of their own.
constexpr std::size_t kMostCopies = 64;

constexpr std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdu;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53u;
    h ^= h >> 33;
    return h | 1; // never 0, which marks a free slot
}

// The reason told for a field: what went wrong with its frame before what went wrong with a
// character.
int rank(LeftOut reason) { return reason == LeftOut::No ? 0 : 5 - int(reason); }

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

struct Recoverer::Copy : CopyFrames {
    std::int32_t time = -1; // the on-board time, when its field reads as hex digits
    CopySource source;
    std::uint64_t seq = 0; // the order in which copies came
};

struct Recoverer::Group {
    std::uint64_t firstCopy = 0; // m_added when the group began
    std::vector<Copy> copies;
    // The keys of its copies: those of one copy are kept in place, so that a line alone asks
    // for no memory.
    std::array<std::uint64_t, kFrameTags.size()> ownKeys{};
    std::uint8_t ownCount = 0;
    std::vector<std::uint64_t> moreKeys;
    // A group of one clean line keeps only its text, folded, until another copy comes.
    bool clean = false;
    std::array<char, kBeaconLength> cleanText;
    CopySource cleanSource;

    bool empty() const { return copies.empty() && !clean; }
    std::size_t keyCount() const { return ownCount + moreKeys.size(); }
    void addKey(std::uint64_t key)
    {
        if (ownCount < ownKeys.size())
            ownKeys[ownCount++] = key;
        else
            moreKeys.push_back(key);
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
    }
};

// Open addressing, key -> group number; a key of a group that closed is simply not found
// again, and the table is rebuilt from the open groups when it fills. A slot holds 32 bits of
// the key and of the group number, so that more of the table stays in the cache: a key taken
// for another is only a candidate, which fits() still judges.
class Recoverer::KeyTable {
public:
    // The low 32 bits of the group number + 1 the key was put for, 0 when not found.
    std::uint32_t find(std::uint64_t key) const
    {
        if (m_slots.empty())
            return 0;
        const std::uint32_t tag = tagOf(key);
        for (std::size_t i = home(key);; i = (i + 1) & m_mask) {
            if (m_slots[i].tag == tag)
                return m_slots[i].group;
            if (m_slots[i].tag == 0)
                return 0;
        }
    }

    void prefetch(std::uint64_t key) const
    {
#if defined(__GNUC__)
        if (!m_slots.empty())
            __builtin_prefetch(&m_slots[home(key)]);
#else
        (void)key;
#endif
    }

    void put(std::uint64_t key, std::uint64_t group)
    {
        const std::uint32_t tag = tagOf(key);
        for (std::size_t i = home(key);; i = (i + 1) & m_mask) {
            if (m_slots[i].tag == tag || m_slots[i].tag == 0) {
                m_used += m_slots[i].tag == 0;
                m_slots[i] = {tag, std::uint32_t(group)};
                return;
            }
        }
    }

    bool full() const { return m_used * 2 >= m_slots.size(); }

    void reset(std::size_t keys)
    {
        // Never smaller than before: memory once taken is filled again rather than asked anew.
        m_slots.assign(std::max({std::size_t(1024), std::bit_ceil(keys * 4), m_slots.size()}), Slot{});
        m_mask = m_slots.size() - 1;
        m_used = 0;
    }

private:
    struct Slot {
        std::uint32_t tag = 0; // the key's high bits, never 0
        std::uint32_t group = 0;
    };
    static std::uint32_t tagOf(std::uint64_t key) { return std::uint32_t(key >> 32) | 1u; }
    // The low bit of a key is always set; the place comes from the bits above it.
    std::size_t home(std::uint64_t key) const { return std::size_t(key >> 1) & m_mask; }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_used = 0;
};

struct Recoverer::State {
    std::deque<Group> groups;
    KeyTable keys;
    // The table is rebuilt before its 32-bit group numbers could be taken for those of old groups.
    std::uint64_t rebuiltAt = 0;

    // Where the open group a key was put for stands in `groups`; groups.size() for none.
    std::size_t openAt(std::uint32_t stored, std::uint64_t firstOpen) const
    {
        const std::uint32_t at = stored - std::uint32_t(firstOpen + 1);
        return stored != 0 && at < groups.size() ? at : groups.size();
    }
};

Recoverer::Recoverer(std::size_t window)
    : m_window(window)
    , m_state(std::make_unique<State>())
{}

Recoverer::~Recoverer() = default;

bool Recoverer::add(std::u16string_view line, CopySource source) { return addText(line, source); }

bool Recoverer::add(std::string_view asciiLine, CopySource source) { return addText(asciiLine, source); }

namespace {

// The on-board time when its field reads as hex digits, else -1.
std::int32_t readTime(const CopyFrames& copy)
{
    if (!copy.readable(0))
        return -1;
    std::int32_t time = 0;
    for (const char16_t c : copy.fields(0)) {
        if (!isHex(c))
            return -1;
        time = time * 16 + hexValue(c);
    }
    return time;
}

template <class CharT> std::uint64_t frameKey(int f, const CharT* field, int length)
{
    std::uint64_t h = std::uint64_t(f + 1);
    for (int i = 0; i < length; ++i)
        h = (h << 5 | h >> 59) ^ fold(char16_t(static_cast<std::make_unsigned_t<CharT>>(field[i])));
    return mix(h);
}

} // namespace

// Most lines are clean copies of a beacon not seen yet: such a line is kept as its text alone.
bool Recoverer::addClean(std::string_view line, CopySource source)
{
    if (line.size() != std::size_t(kBeaconLength) || !isCleanLine(line))
        return false;
    std::array<std::uint64_t, kFrameTags.size()> keys{};
    for (int f = 0; f < kFrames; ++f) {
        const FrameLayout& l = kLayout[std::size_t(f)];
        keys[std::size_t(f)] = frameKey(f, line.data() + l.pos - 1 + l.fieldBegin, l.fieldLength);
        m_state->keys.prefetch(keys[std::size_t(f)]);
    }
    for (const std::uint64_t key : keys) {
        const std::size_t at = m_state->openAt(m_state->keys.find(key), m_firstOpen);
        if (at < m_state->groups.size() && !m_state->groups[at].empty())
            return false;
    }
    Group& group = m_state->groups.emplace_back();
    group.firstCopy = m_added;
    group.clean = true;
    for (std::size_t i = 0; i < line.size(); ++i)
        group.cleanText[i] = char(fold(char16_t(static_cast<unsigned char>(line[i]))));
    group.cleanSource = source;
    addKeys(group, m_firstOpen + m_state->groups.size(), keys);
    return true;
}

// The clean line of a group as a copy like any other, for comparing and voting.
void Recoverer::expand(Group& group) const
{
    if (!group.clean)
        return;
    Copy copy;
    copy.source = group.cleanSource;
    copy.seq = group.firstCopy;
    copy.text.assign(group.cleanText.begin(), group.cleanText.end());
    cutFrames(copy);
    copy.time = readTime(copy);
    group.copies.push_back(std::move(copy));
    group.clean = false;
}

template <class CharT> bool Recoverer::addText(std::basic_string_view<CharT> line, CopySource source)
{
    // Blanks after the last character cannot shift a field.
    while (!line.empty() && isBlank(char16_t(line.back())))
        line.remove_suffix(1);
    if (line.size() > kLongestCopy || line.size() < std::size_t(2 * kTagLength))
        return false;

    if constexpr (std::is_same_v<CharT, char>) {
        if (addClean(line, source)) {
            ++m_added;
            return true;
        }
    }
    Copy copy;
    copy.source = source;
    copy.text.resize(line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        copy.text[i] = fold(char16_t(static_cast<std::make_unsigned_t<CharT>>(line[i])));

    if (cutFrames(copy) < 2)
        return false;
    copy.time = readTime(copy);
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
        if (copy.readable(f))
            keys[std::size_t(f)] = frameKey(f, copy.fields(f).data(), kLayout[std::size_t(f)].fieldLength);
    }

    for (const std::uint64_t key : keys)
        m_state->keys.prefetch(key);
    // Every open group that the copy fits: a copy that bridges two groups makes them one.
    std::array<std::uint64_t, kFrameTags.size()> fitting{};
    std::size_t count = 0;
    for (const std::uint64_t key : keys) {
        const std::size_t at =
            key == 0 ? m_state->groups.size() : m_state->openAt(m_state->keys.find(key), m_firstOpen);
        const std::uint64_t g = m_firstOpen + at + 1;
        if (at == m_state->groups.size() || std::find(fitting.begin(), fitting.end(), g) != fitting.end())
            continue;
        Group& candidate = m_state->groups[at];
        expand(candidate);
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
        // Copies of a beacon mostly come a few at a time: one allocation rather than three.
        m_state->groups.back().copies.reserve(4);
        chosen = m_firstOpen + m_state->groups.size();
    }
    Group& group = m_state->groups[std::size_t(chosen - 1 - m_firstOpen)];
    for (std::size_t i = 1; i < count; ++i) {
        Group& later = m_state->groups[std::size_t(fitting[i] - 1 - m_firstOpen)];
        for (Copy& c : later.copies)
            group.copies.push_back(std::move(c));
        later.forKeys([&](std::uint64_t key) {
            group.addKey(key);
            m_state->keys.put(key, chosen);
        });
        later.copies.clear();
        later.clearKeys();
    }
    copy.seq = m_added;
    group.copies.push_back(std::move(copy));
    if (count > 1) {
        std::sort(group.copies.begin(), group.copies.end(),
                  [](const Copy& x, const Copy& y) { return x.seq < y.seq; });
    }
    addKeys(group, chosen, keys);
}

// The table is rebuilt from the open groups when it fills, so that keys of closed groups go.
void Recoverer::addKeys(Group& group, std::uint64_t number,
                        const std::array<std::uint64_t, kFrameTags.size()>& keys)
{
    if (m_state->keys.full() || number - m_state->rebuiltAt > (std::uint64_t(1) << 31)) {
        std::size_t open = 0;
        for (const Group& g : m_state->groups)
            open += g.keyCount();
        m_state->keys.reset(open + keys.size());
        for (std::size_t i = 0; i < m_state->groups.size(); ++i)
            m_state->groups[i].forKeys(
                [&](std::uint64_t key) { m_state->keys.put(key, m_firstOpen + i + 1); });
        m_state->rebuiltAt = number;
    }
    for (const std::uint64_t key : keys) {
        if (key == 0)
            continue;
        group.addKey(key);
        m_state->keys.put(key, number);
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

bool Recoverer::take(RecoveredRecord& out, bool all, bool values)
{
    // Groups merged into an earlier one are left empty.
    while (!m_state->groups.empty() && m_state->groups.front().empty()) {
        m_state->groups.pop_front();
        ++m_firstOpen;
    }
    if (m_state->groups.empty())
        return false;
    Group& head = m_state->groups.front();
    if (!all && m_added - head.firstCopy <= m_window)
        return false;
    merge(head, out, values);
    m_state->groups.pop_front();
    ++m_firstOpen;
    return true;
}

void Recoverer::merge(Group& group, RecoveredRecord& out, bool values) const
{
    const bool clean = group.clean;
    const std::size_t n = clean ? 1 : group.copies.size();
    out.values.fill(std::numeric_limits<double>::quiet_NaN());
    out.leftOut.fill(LeftOut::No);
    out.copies.clear();
    out.changes.clear();
    for (const Copy& c : group.copies)
        out.copies.push_back(c.source);
    if (clean)
        out.copies.push_back(group.cleanSource);
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
    for (int f = 0; clean && f < kFrames; ++f) {
        const FrameLayout& l = kLayout[std::size_t(f)];
        const auto at = std::size_t(l.pos - 1 + l.fieldBegin);
        std::copy_n(group.cleanText.begin() + std::ptrdiff_t(at), l.fieldLength,
                    out.line.begin() + std::ptrdiff_t(at));
    }
    // A copy alone is read as it stands, with nothing to vote.
    for (int f = 0; !clean && n == 1 && f < kFrames; ++f) {
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
            const std::u16string_view mine = c.fields(f);
            for (const Copy& o : group.copies) {
                if (&o == &c || !o.readable(f))
                    continue;
                const std::u16string_view theirs = o.fields(f);
                for (std::size_t i = 0; i < width; ++i)
                    agrees += mine[i] == theirs[i];
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
    // A clean line leaves nothing out.
    for (int c = 0; !clean && c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        LeftOut worst = LeftOut::No;
        for (int p = ch.pos; p < ch.pos + ch.len; ++p) {
            if (rank(atPosition[std::size_t(p)]) > rank(worst))
                worst = atPosition[std::size_t(p)];
        }
        out.leftOut[std::size_t(c)] = worst;
    }
    if (!values && out.leftOutMask() == 0)
        return;
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        if (!out.written(c))
            continue;
        // Every character written is a hex digit: the field reads as HexToDec reads it.
        std::int32_t field = 0;
        for (int i = 0; i < ch.len; ++i)
            field = field * 16 + hexValue(char16_t(out.line[std::size_t(ch.pos - 1 + i)]));
        out.values[std::size_t(c)] = channelValue(ch, field);
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
