// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recoverinternal.h"

namespace orvik::recovery {

// What Recoverer does, behind it: lines are cut into copies and frames, a few lines ahead so
// that the key slots they will read are fetched meanwhile; each copy is weighed against the
// groups that share a frame's key, joins one or begins its own, and is told apart from its
// lookalikes; a group whose window has passed is voted into a record.
class Engine {
public:
    explicit Engine(std::size_t window)
        : m_window(window)
    {}

    bool add(std::u16string_view line, CopySource source);
    bool add(std::string_view asciiLine, CopySource source);
    bool take(RecoveredRecord& out, Recoverer::Ready ready, Recoverer::Values values);
    std::optional<CopySource> firstHeld() const;

private:
    // Lines are placed this many behind the one taken, while their key slots are fetched.
    static constexpr std::size_t kAhead = 8;

    // A line taken but not yet placed, so that the key slots it will read are fetched meanwhile.
    struct Pending {
        explicit Pending(std::pmr::memory_resource* memory)
            : copy(memory)
        {}

        bool clean = false;
        std::array<char, kBeaconLength> cleanText; // as it came
        CopySource source;
        Copy copy; // a line that is not clean, cut into its frames
        std::array<std::uint64_t, kFrameTags.size()> keys{};
    };

    struct State {
        State()
        {
            pending.reserve(kAhead);
            while (pending.size() < kAhead)
                pending.emplace_back(memory.resource());
        }

        BigPool memory; // first made, last gone: the copies below live in it
        // The closed groups, whose window passed, waiting to be taken, then the open ones; oldest first.
        GroupRing groups{memory.resource()};
        std::size_t closed = 0;
        KeyTable keys;
        // The table is rebuilt before its 32-bit group numbers could be taken for those of old groups.
        std::uint64_t rebuiltAt = 0;
        CandidateCutter cutter;
        std::vector<Candidate> cut;
        std::vector<Pending> pending; // kAhead of them, a ring
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

    enum class Verdict { Apart, Join, Lookalike };
    struct Weighed {
        std::array<std::uint64_t, kFrameTags.size()> joins{}; // numbers of the groups it joins
        std::size_t count = 0;
        // The oldest few it could not be told apart from, oldest first, 0 beyond them, and the
        // one of those it is most alike.
        std::array<std::uint64_t, kMostLookalikes> lookalikes{};
        std::uint64_t closest = 0;
        int closestUnlike = 0;
        std::size_t asked = 0; // the groups weighed
    };
    template <class CharT> bool addText(std::basic_string_view<CharT> line, CopySource source);
    // A beacon line as it stands is read strictly, every frame where it lies; a candidate cut
    // from a line is searched for its frames.
    enum class Cut { AsItStands, Searched };
    bool enqueue(std::u16string_view text, CopySource source, Cut cut, const Seams* seams = nullptr);
    void enqueueCut();
    void placeOldest();
    void closeReady();
    bool addClean(const Pending& line);
    void expand(Group& group);
    void weigh(const Copy& copy, const std::array<std::uint64_t, kFrameTags.size()>& keys, Weighed& out);
    void place(Copy copy, const std::array<std::uint64_t, kFrameTags.size()>& keys);
    bool toldApart(std::uint64_t older, std::uint64_t newer);
    std::uint64_t newestWith(std::uint64_t key) const;
    void makeRoom(std::uint64_t number);
    void addKeys(Group& group, std::uint64_t number,
                 const std::array<std::uint64_t, kFrameTags.size()>& keys);
    struct TimeInDoubt {
        bool conflict = false;
        bool lowDigitsAgree = false;
    };
    static TimeInDoubt weighTimeInDoubt(const Group& group, const Copy& copy);
    // With `unlike`, how unlike the group the copy is: the fewer characters that differ, then the
    // more that agree, the less.
    Verdict judge(const Group& group, const Copy& copy, int* unlike = nullptr) const;
    void tellApart(Group& group, std::uint64_t number, const Weighed& weighed);
    void weighMiscopiedTimes(Group& group, std::uint64_t number);
    static void markOutvoted(Group& lone, const Group& other);
    void weighLookalikes(Group& group);

    std::size_t m_window;
    std::uint64_t m_added = 0;     // copies placed so far
    std::uint64_t m_firstOpen = 0; // number of the oldest group still open
    State m_state;
};

} // namespace orvik::recovery
