// SPDX-License-Identifier: GPL-3.0-or-later
#include "recover.h"

#include "keytable.h"
#include "recoverinternal.h"
#include "vote.h"

#include <algorithm>
#include <array>
#include <deque>
#include <type_traits>

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

} // namespace

struct Recoverer::State {
    std::deque<Group> groups;
    recovery::KeyTable keys;
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
    recovery::vote(head, out, values);
    m_state->groups.pop_front();
    ++m_firstOpen;
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
