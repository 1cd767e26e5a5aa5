// SPDX-License-Identifier: GPL-3.0-or-later
#include "recover.h"

#include "beacon.h"
#include "candidates.h"
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
// Groups that share a key with a copy, newest first, that are weighed as its beacon's.
constexpr int kMostSharing = 8;
// Copies of one beacon agree on most field characters besides the on-board time: this many
// at least, and this many agreeing for each one that differs.
constexpr int kLeastAgreeing = 6;
constexpr int kLeastAgreeingUntimed = 12;
constexpr int kAgreeingPerDiffering = 4;
// Telemetry does not stand still for hours: a copy whose on-board time is this far from its
// group's, while every other field character agrees, had its time miscopied. Nearer, it may
// be the neighbouring beacon.
constexpr std::int64_t kNeighbourSpan = 3 * 3600;
constexpr int kMiscopyEvidence = 24;
// A miscopied time differs in a character or two, such as two swapped ones; a copy that may be
// a miscopy of another beacon's differs from it in as few other characters.
constexpr int kMostMiscopied = 2;
// The last digits of the on-board time, which tell neighbouring beacons of a few hours apart.
constexpr int kLowTimeDigits = 3;

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
    CandidateCutter cutter;
    std::vector<Candidate> cut;
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
    State& st = *m_state;
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
        return enqueue(std::move(text), source, true);
    }
    const bool part = st.cutter.feed(text, source, st.cut);
    enqueueCut();
    return part;
}

void Recoverer::enqueueCut()
{
    State& st = *m_state;
    for (Candidate& c : st.cut)
        enqueue(std::move(c.text), c.source, false);
    st.cut.clear();
}

// A candidate is cut into its frames, and a key is made for the fields of each frame held
// whole: a copy damaged in a few frames is still found by the others.
bool Recoverer::enqueue(std::u16string&& text, CopySource source, bool strict)
{
    State& st = *m_state;
    if (st.pendingCount == kAhead)
        placeOldest();
    Pending& p = st.pending[(st.pendingFirst + st.pendingCount) % kAhead];
    p.source = source;
    p.clean = false;
    p.copy.text = std::move(text);
    p.copy.strict = strict;
    if (cutFrames(p.copy) < 2)
        return false;
    for (int f = 0; f < kFrames; ++f)
        p.keys[std::size_t(f)] = p.copy.whole(f) ? frameKey(f, p.copy.fields(f), kLayout[std::size_t(f)].fieldLength) : 0;
    for (const std::uint64_t key : p.keys)
        st.keys.prefetch(key);
    ++st.pendingCount;
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
    copy.strict = true;
    cutFrames(copy);
    group.copies.push_back(std::move(copy));
    group.clean = false;
}

namespace {

// The on-board time its copies hold, from the first that holds one whole.
std::optional<std::uint32_t> groupTime(const recovery::Group& group, int* holding = nullptr)
{
    std::optional<std::uint32_t> time;
    int count = 0;
    for (const recovery::Copy& c : group.copies) {
        const std::optional<std::uint32_t> t = c.time();
        if (t && !time)
            time = t;
        count += t && t == time;
    }
    if (holding)
        *holding = count;
    return time;
}

} // namespace

void Recoverer::place(Copy copy, const std::array<std::uint64_t, kFrameTags.size()>& keys)
{
    // Every open group that the copy joins: a copy that bridges two groups makes them one,
    // unless they hold different on-board times, when it could be a copy of either.
    std::array<std::uint64_t, kFrameTags.size()> fitting{};
    std::size_t count = 0;
    std::uint64_t lookalike = 0;
    // A key names the last group that holds it; the groups told apart from that one hold it too.
    std::array<std::uint64_t, 4 * kMostSharing * kFrameTags.size()> asked{};
    std::size_t askedCount = 0;
    const auto ask = [&](std::uint64_t g) {
        for (int step = 0; step < 4 && g > m_firstOpen && g <= m_firstOpen + m_state->openCount(); ++step) {
            if (std::find(asked.begin(), asked.begin() + std::ptrdiff_t(askedCount), g) !=
                asked.begin() + std::ptrdiff_t(askedCount))
                return;
            if (askedCount == asked.size())
                return;
            asked[askedCount++] = g;
            Group& candidate = m_state->open(std::size_t(g - 1 - m_firstOpen));
            expand(candidate);
            if (candidate.copies.empty())
                return;
            const Verdict verdict = judge(candidate, copy);
            if (verdict == Verdict::Join && count < fitting.size())
                fitting[count++] = g;
            else if (verdict == Verdict::Lookalike && (lookalike == 0 || g < lookalike))
                lookalike = g;
            g = candidate.lookalikeGroup;
        }
    };
    for (const std::uint64_t key : keys) {
        std::uint64_t g = key == 0 ? 0 : newestWith(key);
        for (int step = 0; step < kMostSharing && g > m_firstOpen; ++step) {
            ask(g);
            const Group& holder = m_state->open(std::size_t(g - 1 - m_firstOpen));
            g = holder.before(key);
        }
    }
    for (std::size_t i = 1; i < count; ++i) {
        for (std::size_t j = i; j > 0 && fitting[j - 1] > fitting[j]; --j)
            std::swap(fitting[j - 1], fitting[j]);
    }
    std::optional<std::uint32_t> time;
    for (std::size_t i = 0; i < count; ++i) {
        const std::optional<std::uint32_t> t = groupTime(m_state->open(std::size_t(fitting[i] - 1 - m_firstOpen)));
        if (t && time && t != time) {
            lookalike = fitting[0];
            count = 0;
        }
        time = time ? time : t;
    }
    std::uint64_t chosen = count > 0 ? fitting[0] : 0;
    if (chosen == 0) {
        Group& group = m_state->groups.emplace_back();
        group.firstCopy = m_added;
        // Copies of a beacon mostly come a few at a time: one allocation rather than three.
        group.copies.reserve(4);
        chosen = m_firstOpen + m_state->openCount();
        if (lookalike != 0) {
            Group& older = m_state->open(std::size_t(lookalike - 1 - m_firstOpen));
            group.lookalike = older.copies.front().source;
            group.lookalikeGroup = lookalike;
            if (older.youngerLookalike == 0)
                older.youngerLookalike = chosen;
        }
    }
    Group& group = m_state->open(std::size_t(chosen - 1 - m_firstOpen));
    for (std::size_t i = 1; i < count; ++i) {
        Group& later = m_state->open(std::size_t(fitting[i] - 1 - m_firstOpen));
        for (Copy& c : later.copies)
            group.copies.push_back(std::move(c));
        later.forKeys([&](std::uint64_t key) {
            group.addKey(key, false, later.before(key));
            m_state->keys.put(key, chosen);
        });
        later.copies.clear();
        later.clearKeys();
    }
    copy.seq = m_added;
    group.copies.push_back(std::move(copy));
    if (group.lookalikeGroup != 0 && group.copies.size() == 1 && group.lookalikeGroup > m_firstOpen)
        markOutvoted(group, m_state->open(std::size_t(group.lookalikeGroup - 1 - m_firstOpen)));
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
    State& st = *m_state;
    if (st.keys.full() || number - st.rebuiltAt > (std::uint64_t(1) << 31)) {
        std::size_t open = 0;
        for (std::size_t i = 0; i < st.openCount(); ++i)
            open += st.open(i).keyCount();
        st.keys.reset(open + keys.size());
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
    const bool first = group.keyCount() == 0;
    for (const std::uint64_t key : keys) {
        if (key == 0)
            continue;
        const std::uint64_t newest = newestWith(key);
        group.addKey(key, first, newest == number ? group.before(key) : newest);
        st.keys.put(key, number);
    }
}

// The number of the newest open group that holds the key, 0 for none.
std::uint64_t Recoverer::newestWith(std::uint64_t key) const
{
    const std::size_t at = m_state->openAt(m_state->keys.find(key), m_firstOpen);
    return at < m_state->openCount() ? m_firstOpen + at + 1 : 0;
}

// Copies of one beacon are told by the whole line. The on-board time is one field among six:
// copies that hold the same time must agree on the rest too, and copies whose times differ
// are two beacons, unless every other character agrees and the times lie too far apart for
// telemetry to stand still. Where the rest agrees and the times are near, the copy could be
// a copy of the group's beacon or its neighbour: it is told apart, but not joined.
Recoverer::Verdict Recoverer::judge(const Group& group, const Copy& copy) const
{
    if (group.copies.size() >= kMostCopies)
        return Verdict::Apart;
    const std::optional<std::uint32_t> mine = copy.time();
    int agree = 0;
    int differ = 0;
    int framesAgree = 0;
    int framesDiffer = 0;
    bool sameTime = false;
    bool timeConflict = false;
    bool lowDigitsAgree = false;
    std::optional<std::uint32_t> theirs;
    for (const Copy& other : group.copies) {
        const std::optional<std::uint32_t> t = other.time();
        sameTime = sameTime || (mine && t == mine);
        theirs = theirs ? theirs : t;
        // A time in doubt is placed against one read where it stands, where that leaves none.
        std::array<char16_t, 8> time{};
        std::copy_n(copy.fields(0), kLayout[0].fieldLength, time.begin());
        if (!mine && copy.reading[0] != Reading::Exact && other.reading[0] == Reading::Exact)
            placeAgainst(copy, other, 0, time.data());
        bool low = true;
        for (int i = 0; i < kLayout[0].fieldLength; ++i) {
            const char16_t a = time[std::size_t(i)];
            const char16_t b = other.held[std::size_t(i)];
            timeConflict = timeConflict || (isHex(a) && isHex(b) && a != b);
            low = low && (i < kLayout[0].fieldLength - kLowTimeDigits || (isHex(a) && a == b));
        }
        lowDigitsAgree = lowDigitsAgree || low;
        for (int f = 1; f < kFrames; ++f) {
            int frameAgree = 0;
            int frameDiffer = 0;
            for (int i = 0; i < kLayout[std::size_t(f)].fieldLength; ++i) {
                const char16_t a = copy.fields(f)[i];
                const char16_t b = other.fields(f)[i];
                if (a != 0 && b != 0)
                    (a == b ? frameAgree : frameDiffer) += 1;
            }
            agree += frameAgree;
            differ += frameDiffer;
            // A frame that lost a character and gained another reads shifted: it differs much.
            if (frameAgree + frameDiffer > 0)
                (frameDiffer * kAgreeingPerDiffering <= frameAgree ? framesAgree : framesDiffer) += 1;
        }
    }
    const bool mostlyAgree = differ * kAgreeingPerDiffering <= agree;
    if (sameTime)
        return agree >= kLeastAgreeing && framesAgree >= framesDiffer ? Verdict::Join : Verdict::Apart;
    if (mine && theirs) {
        const std::int64_t apart = std::abs(std::int64_t(*mine) - std::int64_t(*theirs));
        int changed = 0;
        for (int i = 0; i < kLayout[0].fieldLength; ++i)
            changed += (*mine >> (4 * i) & 15) != (*theirs >> (4 * i) & 15);
        if (differ == 0 && agree >= kMiscopyEvidence && apart > kNeighbourSpan && changed <= kMostMiscopied)
            return Verdict::Join;
        // Times or other characters further apart make other beacons, not miscopies.
        return changed <= kMostMiscopied && differ <= kMostMiscopied && agree >= kLeastAgreeing ? Verdict::Lookalike
                                                                                                 : Verdict::Apart;
    }
    if (agree < kLeastAgreeingUntimed || !mostlyAgree)
        return Verdict::Apart;
    if (timeConflict)
        return Verdict::Lookalike;
    // Neighbouring beacons differ in the last digits of their time: a copy whose time is in
    // doubt joins only where it holds those, and they agree.
    return lowDigitsAgree ? Verdict::Join : Verdict::Lookalike;
}

// A lone copy that could be a copy of a lookalike's beacon or its neighbour: where the two
// differ, it could hold its own beacon's characters or miscopies of the other's, so those are
// in doubt. Copies of its own that agree would settle it; a lone copy has none.
void Recoverer::markOutvoted(Group& lone, const Group& other)
{
    if (lone.copies.size() != 1 || other.copies.empty())
        return;
    lone.outvoted = true;
    if (lone.lookalike.line == 0)
        lone.lookalike = other.copies.front().source;
    // Were it a copy of the other's beacon, a character no copy there holds alike would be one
    // vote alone.
    const Copy& copy = lone.copies.front();
    for (std::size_t p = 0; p < copy.held.size(); ++p) {
        const bool confirmed = std::any_of(other.copies.begin(), other.copies.end(),
                                           [&](const Copy& a) { return a.held[p] == copy.held[p]; });
        lone.disputed[p] = lone.disputed[p] || (copy.held[p] != 0 && !confirmed);
    }
}

// Before a group is voted, it and its later lookalike are weighed against each other.
void Recoverer::weighLookalikes(Group& group)
{
    const State& st = *m_state;
    const std::uint64_t front = m_firstOpen - st.closed + 1; // the number of the oldest group kept
    const std::uint64_t g = group.youngerLookalike;
    if (g < front || g - front >= st.groups.size())
        return;
    Group& younger = m_state->groups[std::size_t(g - front)];
    if (younger.copies.empty())
        return;
    markOutvoted(group, younger);
    markOutvoted(younger, group);
}

bool Recoverer::take(RecoveredRecord& out, bool all, bool values)
{
    State& st = *m_state;
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
