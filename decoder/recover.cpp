// SPDX-License-Identifier: GPL-3.0-or-later
#include "recover.h"

#include "keytable.h"
#include "recoverinternal.h"
#include "vote.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <type_traits>
#include <utility>

namespace orvik {

using namespace copytext;

namespace {

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

// A key is made of the fields' bytes with the letter bit set, eight at a time: for the hex
// digits of a clean line that is folding them, and a copy's folded text gives the same key.
// Any other character only makes a candidate, which fits() judges.
constexpr std::uint64_t kLetterBits = 0x2020202020202020u;

std::uint64_t wordKey(std::uint64_t h, std::uint64_t word)
{
    h = (h ^ word) * 0x9fb21c651e98df25u;
    return h ^ h >> 29;
}

inline std::uint64_t frameKey(int f, const char* field, int length)
{
    std::uint64_t h = std::uint64_t(f + 1) * 0x9e3779b97f4a7c15u;
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, field + i, 8);
        h = wordKey(h, word | kLetterBits);
    }
    if (i < length) {
        std::uint64_t word = 0;
        for (int k = 0; i + k < length; ++k)
            word |= std::uint64_t(static_cast<unsigned char>(field[i + k]) | 0x20u) << (8 * k);
        h = wordKey(h, word);
    }
    return mix(h);
}

// The keys of a clean line's frames, each of a length the compiler knows.
template <std::size_t... F>
void cleanKeys(const char* line, std::array<std::uint64_t, kFrameTags.size()>& keys,
               std::index_sequence<F...>)
{
    ((keys[F] = frameKey(int(F), line + kLayout[F].pos - 1 + kLayout[F].fieldBegin, kLayout[F].fieldLength)),
     ...);
}

void foldClean(const std::array<char, kBeaconLength>& line, std::u16string& text)
{
    text.resize(line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        text[i] = fold(char16_t(static_cast<unsigned char>(line[i])));
}

std::uint64_t frameKey(int f, const char16_t* field, int length)
{
    std::array<char, kBeaconLength> bytes;
    for (int i = 0; i < length; ++i)
        bytes[std::size_t(i)] = char(field[i]);
    return frameKey(f, bytes.data(), length);
}

} // namespace

// A line taken but not yet placed, so that the key slots it will read are fetched meanwhile.
struct Recoverer::Pending {
    bool clean = false;
    std::array<char, kBeaconLength> cleanText; // as it came
    CopySource source;
    Copy copy; // a line that is not clean, cut into its frames
    std::array<std::uint64_t, kFrameTags.size()> keys{};
};

struct Recoverer::State {
    // The closed groups, whose window passed, waiting to be taken, then the open ones; oldest first.
    std::deque<Group> groups;
    std::size_t closed = 0;
    recovery::KeyTable keys;
    // The table is rebuilt before its 32-bit group numbers could be taken for those of old groups.
    std::uint64_t rebuiltAt = 0;
    std::array<Pending, kAhead> pending;
    std::size_t pendingFirst = 0;
    std::size_t pendingCount = 0;

    std::size_t openCount() const { return groups.size() - closed; }
    Group& open(std::size_t at) { return groups[closed + at]; }
    // Where the open group a key was put for stands among the open ones; openCount() for none.
    std::size_t openAt(std::uint32_t stored, std::uint64_t firstOpen) const
    {
        const std::uint32_t at = stored - std::uint32_t(firstOpen + 1);
        return stored != 0 && at < openCount() ? at : openCount();
    }
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

    if (m_state->pendingCount == kAhead)
        placeOldest();
    Pending& p = m_state->pending[(m_state->pendingFirst + m_state->pendingCount) % kAhead];
    p.source = source;
    p.clean = false;
    if constexpr (std::is_same_v<CharT, char>) {
        // Most lines are clean copies of a beacon not seen yet: such a line is kept as its text.
        if (line.size() == std::size_t(kBeaconLength) && isCleanLine(line)) {
            p.clean = true;
            std::copy(line.begin(), line.end(), p.cleanText.begin());
            cleanKeys(line.data(), p.keys, std::make_index_sequence<kFrameTags.size()>());
        }
    }
    if (!p.clean) {
        Copy& copy = p.copy;
        copy.text.resize(line.size());
        for (std::size_t i = 0; i < line.size(); ++i)
            copy.text[i] = fold(char16_t(static_cast<std::make_unsigned_t<CharT>>(line[i])));
        if (cutFrames(copy) < 2)
            return false;
        // A key for the fields of each frame that reads: a copy damaged in a few frames is still
        // found by the others.
        for (int f = 0; f < kFrames; ++f) {
            p.keys[std::size_t(f)] =
                copy.readable(f) ? frameKey(f, copy.fields(f).data(), kLayout[std::size_t(f)].fieldLength)
                                 : 0;
        }
    }
    for (const std::uint64_t key : p.keys)
        m_state->keys.prefetch(key);
    ++m_state->pendingCount;
    return true;
}

// Groups whose window has passed are closed before a line is placed, so that no copy joins
// them however seldom records are taken.
void Recoverer::closeReady()
{
    State& st = *m_state;
    while (st.openCount() > 0) {
        const Group& oldest = st.open(0);
        // Groups merged into an earlier one are left empty: they close at once.
        if (!oldest.empty() && m_added - oldest.firstCopy <= m_window)
            break;
        ++st.closed;
        ++m_firstOpen;
    }
}

void Recoverer::placeOldest()
{
    Pending& p = m_state->pending[m_state->pendingFirst];
    m_state->pendingFirst = (m_state->pendingFirst + 1) % kAhead;
    --m_state->pendingCount;
    closeReady();
    if (p.clean && !addClean(p)) {
        // A clean line that meets a copy of its beacon is compared and voted like any other.
        foldClean(p.cleanText, p.copy.text);
        cutFrames(p.copy);
        p.clean = false;
    }
    if (!p.clean) {
        p.copy.source = p.source;
        place(std::move(p.copy), p.keys);
    }
    ++m_added;
}

// A clean line that no open group shares a key with begins a group of its own text alone.
bool Recoverer::addClean(const Pending& p)
{
    for (const std::uint64_t key : p.keys) {
        const std::size_t at = m_state->openAt(m_state->keys.find(key), m_firstOpen);
        if (at < m_state->openCount() && !m_state->open(at).empty())
            return false;
    }
    Group& group = m_state->groups.emplace_back();
    group.firstCopy = m_added;
    group.clean = true;
    group.cleanText = p.cleanText;
    group.cleanSource = p.source;
    addKeys(group, m_firstOpen + m_state->openCount(), p.keys);
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
    foldClean(group.cleanText, copy.text);
    cutFrames(copy);
    group.copies.push_back(std::move(copy));
    group.clean = false;
}

void Recoverer::place(Copy copy, const std::array<std::uint64_t, kFrameTags.size()>& keys)
{
    // Every open group that the copy fits: a copy that bridges two groups makes them one.
    std::array<std::uint64_t, kFrameTags.size()> fitting{};
    std::size_t count = 0;
    for (const std::uint64_t key : keys) {
        const std::size_t at =
            key == 0 ? m_state->openCount() : m_state->openAt(m_state->keys.find(key), m_firstOpen);
        const std::uint64_t g = m_firstOpen + at + 1;
        if (at == m_state->openCount() || std::find(fitting.begin(), fitting.end(), g) != fitting.end())
            continue;
        Group& candidate = m_state->open(at);
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
        chosen = m_firstOpen + m_state->openCount();
    }
    Group& group = m_state->open(std::size_t(chosen - 1 - m_firstOpen));
    for (std::size_t i = 1; i < count; ++i) {
        Group& later = m_state->open(std::size_t(fitting[i] - 1 - m_firstOpen));
        for (Copy& c : later.copies)
            group.copies.push_back(std::move(c));
        later.forKeys([&](std::uint64_t key) {
            group.addKey(key, false);
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
        State& st = *m_state;
        std::size_t open = 0;
        for (std::size_t i = 0; i < st.openCount(); ++i)
            open += st.open(i).keyCount();
        st.keys.reset(open + keys.size());
        // Each put misses the cache: the slots of the groups to come are fetched meanwhile.
        constexpr std::size_t kAheadGroups = 4;
        for (std::size_t i = 0; i < st.openCount(); ++i) {
            if (i + kAheadGroups < st.openCount())
                st.open(i + kAheadGroups).forKeys([&](std::uint64_t key) { st.keys.prefetch(key); });
            st.open(i).forKeys([&](std::uint64_t key) { st.keys.put(key, m_firstOpen + i + 1); });
        }
        st.rebuiltAt = number;
    }
    const bool first = group.keyCount() == 0;
    for (const std::uint64_t key : keys) {
        if (key == 0)
            continue;
        group.addKey(key, first);
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
    State& st = *m_state;
    while (all && st.pendingCount > 0)
        placeOldest();
    closeReady();
    for (;;) {
        while (st.closed > 0 && st.groups.front().empty()) {
            st.groups.pop_front();
            --st.closed;
        }
        if (st.closed > 0 || !all || st.openCount() == 0)
            break;
        ++st.closed;
        ++m_firstOpen;
    }
    if (st.closed == 0)
        return false;
    recovery::vote(st.groups.front(), out, values);
    st.groups.pop_front();
    --st.closed;
    return true;
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
