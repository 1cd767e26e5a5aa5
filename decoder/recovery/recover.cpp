// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/recover.h"

#include "candidates.h"
#include "decoder/beacon.h"
#include "engine.h"
#include "framekeys.h"
#include "keytable.h"
#include "vote.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <utility>

namespace orvik {

using namespace copytext;
using recovery::cleanKeys;
using recovery::frameKey;

namespace {

// Groups that share a key with a copy, newest first, that are weighed as its beacon's.
constexpr int kMostSharing = 8;
// And from each, the groups told apart from it in turn: a beacon's copies may have been split
// among a few lookalikes.
constexpr int kLookalikeSteps = 4;

void foldClean(const std::array<char, kBeaconLength>& line, std::pmr::u16string& text)
{
    text.resize(line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        text[i] = fold(char16_t(static_cast<unsigned char>(line[i])));
}

} // namespace

bool recovery::Engine::add(std::u16string_view line, CopySource source)
{
    // A line of the beacon's length in ASCII takes the way of bytes, where a clean one is
    // kept as its text.
    if (line.size() == kBeaconLength &&
        std::all_of(line.begin(), line.end(), [](char16_t c) { return c < 0x80; })) {
        std::array<char, kBeaconLength> bytes;
        std::transform(line.begin(), line.end(), bytes.begin(), [](char16_t c) { return char(c); });
        return addText(std::string_view(bytes.data(), bytes.size()), source);
    }
    return addText(line, source);
}

bool recovery::Engine::add(std::string_view asciiLine, CopySource source)
{
    return addText(asciiLine, source);
}

template <class CharT> bool recovery::Engine::addText(std::basic_string_view<CharT> line, CopySource source)
{
    State& st = m_state;
    if constexpr (std::is_same_v<CharT, char>) {
        // Most lines are clean copies of a beacon not seen yet: such a line is kept as its text.
        if (isCleanLine(line)) {
            st.cutter.finish(st.cut);
            enqueueCut();
            if (st.pendingCount == kAhead)
                placeOldest();
            Pending& p = st.pending[(st.pendingFirst + st.pendingCount) % kAhead];
            p.source = source;
            p.clean = true;
            std::copy(line.begin(), line.end(), p.cleanText.begin());
            cleanKeys(line.data(), p.keys, std::make_index_sequence<kFrameTags.size()>());
            for (const std::uint64_t key : p.keys)
                st.keys.prefetch(key);
            ++st.pendingCount;
            return true;
        }
    }
    std::u16string text(line.size(), u'\0');
    for (std::size_t i = 0; i < line.size(); ++i)
        text[i] = fold(char16_t(static_cast<std::make_unsigned_t<CharT>>(line[i])));
    if (isBeaconLine(std::u16string_view(text))) {
        st.cutter.finish(st.cut);
        enqueueCut();
        return enqueue(text, source, Cut::AsItStands);
    }
    const bool part = st.cutter.feed(text, source, st.cut);
    enqueueCut();
    return part;
}

void recovery::Engine::enqueueCut()
{
    State& st = m_state;
    for (const Candidate& c : st.cut)
        enqueue(c.text, c.source, Cut::Searched, &c.seams);
    st.cut.clear();
}

// A candidate is cut into its frames, and a key is made for the fields of each frame held
// whole: a copy damaged in a few frames is still found by the others.
bool recovery::Engine::enqueue(std::u16string_view text, CopySource source, Cut cut, const Seams* seams)
{
    State& st = m_state;
    if (st.pendingCount == kAhead)
        placeOldest();
    Pending& p = st.pending[(st.pendingFirst + st.pendingCount) % kAhead];
    p.source = source;
    p.clean = false;
    p.copy.text.assign(text);
    p.copy.strict = cut == Cut::AsItStands;
    p.copy.seams = seams ? *seams : Seams{};
    if (cutFrames(p.copy) < 2)
        return false;
    for (int f = 0; f < kFrames; ++f)
        p.keys[std::size_t(f)] =
            p.copy.whole(f) ? frameKey(f, p.copy.fields(f), kLayout[std::size_t(f)].fieldLength) : 0;
    for (const std::uint64_t key : p.keys)
        st.keys.prefetch(key);
    ++st.pendingCount;
    return true;
}

// Groups whose window has passed are closed before a line is placed, so that no copy joins
// them however seldom records are taken.
void recovery::Engine::closeReady()
{
    State& st = m_state;
    while (st.openCount() > 0) {
        const Group& oldest = st.open(0);
        // Groups merged into an earlier one are left empty: they close at once.
        if (!oldest.empty() && m_added - oldest.firstCopy <= m_window)
            break;
        ++st.closed;
        ++m_firstOpen;
    }
}

void recovery::Engine::placeOldest()
{
    Pending& p = m_state.pending[m_state.pendingFirst];
    m_state.pendingFirst = (m_state.pendingFirst + 1) % kAhead;
    --m_state.pendingCount;
    closeReady();
    if (p.clean && !addClean(p)) {
        // A clean line that meets a copy of its beacon is compared and voted like any other.
        foldClean(p.cleanText, p.copy.text);
        p.copy.strict = true;
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
bool recovery::Engine::addClean(const Pending& p)
{
    for (const std::uint64_t key : p.keys) {
        const std::size_t at = m_state.openAt(m_state.keys.find(key), m_firstOpen);
        if (at < m_state.openCount() && !m_state.open(at).empty())
            return false;
    }
    Group& group = m_state.groups.emplace_back();
    group.firstCopy = m_added;
    group.clean = true;
    group.cleanText = p.cleanText;
    group.cleanSource = p.source;
    // No open group holds any of its keys, so the group's own text tells them.
    const std::uint64_t number = m_firstOpen + m_state.openCount();
    makeRoom(number);
    for (const std::uint64_t key : p.keys)
        m_state.keys.put(key, number);
    return true;
}

// The clean line of a group as a copy like any other, for comparing and voting.
void recovery::Engine::expand(Group& group)
{
    if (!group.clean)
        return;
    group.more(); // the keys of its text, before it holds more
    Copy copy(m_state.memory.resource());
    copy.source = group.cleanSource;
    copy.seq = group.firstCopy;
    foldClean(group.cleanText, copy.text);
    copy.strict = true;
    cutFrames(copy);
    group.copies.push_back(std::move(copy));
    group.clean = false;
}

// The open groups a copy's keys lead to, weighed: those it joins, and the oldest it could not
// be told apart from. A key names the newest group that holds it; each group names the one
// before it, and the one it was told apart from.
void recovery::Engine::weigh(const Copy& copy, const std::array<std::uint64_t, kFrameTags.size()>& keys,
                             Weighed& out)
{
    std::array<std::uint64_t, 4 * kMostSharing * kFrameTags.size()> asked{};
    std::size_t askedCount = 0;
    const auto ask = [&](std::uint64_t g) {
        for (int step = 0;
             step < kLookalikeSteps && g > m_firstOpen && g <= m_firstOpen + m_state.openCount(); ++step) {
            const auto end = asked.begin() + std::ptrdiff_t(askedCount);
            if (std::find(asked.begin(), end, g) != end || askedCount == asked.size())
                return;
            asked[askedCount++] = g;
            Group& candidate = m_state.open(std::size_t(g - 1 - m_firstOpen));
            expand(candidate);
            if (candidate.copies.empty())
                return;
            int unlike = 0;
            const Verdict verdict = judge(candidate, copy, &unlike);
            if (verdict == Verdict::Join && out.count < out.joins.size()) {
                out.joins[out.count++] = g;
            } else if (verdict == Verdict::Lookalike) {
                recovery::keepOldest(out.lookalikes, g);
                if (out.closest == 0 || unlike < out.closestUnlike) {
                    out.closest = g;
                    out.closestUnlike = unlike;
                }
            }
            g = std::as_const(candidate).more().lookalikeGroup;
        }
    };
    for (const std::uint64_t key : keys) {
        std::uint64_t g = key == 0 ? 0 : newestWith(key);
        for (int step = 0; step < kMostSharing && g > m_firstOpen; ++step) {
            ask(g);
            g = m_state.open(std::size_t(g - 1 - m_firstOpen)).before(key);
        }
    }
    out.asked = askedCount;
}

using recovery::groupTime;

void recovery::Engine::place(Copy copy, const std::array<std::uint64_t, kFrameTags.size()>& keys)
{
    // Every open group that the copy joins: a copy that bridges two groups makes them one,
    // unless they hold different on-board times or were told apart before, when it could be a
    // copy of either.
    Weighed weighed;
    weigh(copy, keys, weighed);
    auto& fitting = weighed.joins;
    std::size_t& count = weighed.count;
    auto& lookalikes = weighed.lookalikes;
    for (std::size_t i = 1; i < count; ++i) {
        for (std::size_t j = i; j > 0 && fitting[j - 1] > fitting[j]; --j)
            std::swap(fitting[j - 1], fitting[j]);
    }
    std::optional<std::uint32_t> time;
    bool twoBeacons = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Group& g = m_state.open(std::size_t(fitting[i] - 1 - m_firstOpen));
        const std::optional<std::uint32_t> t = groupTime(g);
        twoBeacons = twoBeacons || (t && time && t != time);
        time = time ? time : t;
        for (std::size_t j = 0; j < i && !twoBeacons; ++j)
            twoBeacons = toldApart(fitting[j], fitting[i]);
    }
    if (twoBeacons) {
        for (std::size_t i = 0; i < count; ++i)
            recovery::keepOldest(lookalikes, fitting[i]);
        count = 0;
    }
    // Kept among them, though younger than all: the list is full.
    if (std::find(lookalikes.begin(), lookalikes.end(), weighed.closest) == lookalikes.end())
        lookalikes.back() = weighed.closest;
    std::uint64_t chosen = count > 0 ? fitting[0] : 0;
    if (chosen == 0) {
        Group& group = m_state.groups.emplace_back();
        group.firstCopy = m_added;
        // Room for a second copy, not more: most groups of a season's log stay one copy or two,
        // and the groups kept hold the window's memory.
        group.copies.reserve(2);
        chosen = m_firstOpen + m_state.openCount();
    }
    Group& group = m_state.open(std::size_t(chosen - 1 - m_firstOpen));
    for (std::size_t i = 1; i < count; ++i) {
        Group& later = m_state.open(std::size_t(fitting[i] - 1 - m_firstOpen));
        for (Copy& c : later.copies)
            group.copies.push_back(std::move(c));
        later.forKeys([&](std::uint64_t key) {
            group.addKey(key, false, later.before(key));
            m_state.keys.put(key, chosen);
        });
        later.copies.clear();
        later.clearKeys();
    }
    copy.seq = m_added;
    group.copies.push_back(std::move(copy));
    tellApart(group, chosen, weighed);
    if (count > 1) {
        std::sort(group.copies.begin(), group.copies.end(),
                  [](const Copy& x, const Copy& y) { return x.seq < y.seq; });
    }
    addKeys(group, chosen, keys);
}

// The table is rebuilt from the open groups when it fills, so that keys of closed groups go.
void recovery::Engine::makeRoom(std::uint64_t number)
{
    State& st = m_state;
    if (!st.keys.full() && number - st.rebuiltAt <= (std::uint64_t(1) << 31))
        return;
    std::size_t open = 0;
    for (std::size_t i = 0; i < st.openCount(); ++i)
        open += st.open(i).keyCount();
    st.keys.reset(open + kFrameTags.size());
    // Each put misses the cache: the slots of the groups to come are fetched meanwhile.
    constexpr std::size_t kAheadGroups = 4;
    for (std::size_t i = 0; i < st.openCount(); ++i) {
        if (i + kAheadGroups < st.openCount())
            st.open(i + kAheadGroups).forKeys([&](std::uint64_t key) { st.keys.prefetch(key); });
        Group& g = st.open(i);
        g.forKeys([&](std::uint64_t key) {
            g.setBefore(key, newestWith(key));
            st.keys.put(key, m_firstOpen + i + 1);
        });
    }
    st.rebuiltAt = number;
}

void recovery::Engine::addKeys(Group& group, std::uint64_t number,
                               const std::array<std::uint64_t, kFrameTags.size()>& keys)
{
    makeRoom(number);
    const bool first = group.keyCount() == 0;
    for (const std::uint64_t key : keys) {
        if (key == 0)
            continue;
        const std::uint64_t newest = newestWith(key);
        group.addKey(key, first, newest == number ? group.before(key) : newest);
        m_state.keys.put(key, number);
    }
}

// The number of the newest open group that holds the key, 0 for none.
std::uint64_t recovery::Engine::newestWith(std::uint64_t key) const
{
    const std::size_t at = m_state.openAt(m_state.keys.find(key), m_firstOpen);
    return at < m_state.openCount() ? m_firstOpen + at + 1 : 0;
}

bool recovery::Engine::take(RecoveredRecord& out, Recoverer::Ready ready, Recoverer::Values values)
{
    State& st = m_state;
    const bool all = ready == Recoverer::Ready::All;
    if (all) {
        st.cutter.finish(st.cut);
        enqueueCut();
    }
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
    weighLookalikes(st.groups.front());
    recovery::vote(st.groups.front(), out, values == Recoverer::Values::Numbers);
    st.groups.pop_front();
    --st.closed;
    return true;
}

std::optional<CopySource> recovery::Engine::firstHeld() const
{
    // Groups begin in the order of their copies, and the lines not yet placed come after them.
    const State& st = m_state;
    for (std::size_t i = 0; i < st.groups.size(); ++i) {
        const Group& group = st.groups[i];
        if (!group.empty())
            return group.clean ? group.cleanSource : group.copies.front().source;
    }
    if (st.pendingCount > 0)
        return st.pending[st.pendingFirst].source;
    if (const Candidate* held = st.cutter.held())
        return held->source;
    return std::nullopt;
}

} // namespace orvik
