// SPDX-License-Identifier: GPL-3.0-or-later
// Copies laid out as CW decoders write them: a running text, not one beacon a line.
#include "corpus.h"

#include <algorithm>
#include <string_view>

namespace orvik::bench {

namespace {

constexpr std::size_t kColumns = 80;
constexpr std::size_t kShortestPiece = 10;

// What a decoder prints between two beacons it heard.
constexpr std::array<std::string_view, 8> kJoiners{" ", " ", "  ", " = ", " / ", " bt ", " de ", " k "};

// A copy's place in the running text of a pass.
struct Placed {
    std::uint32_t beacon = 0;
    std::size_t at = 0;
    std::size_t length = 0;
};

// A line: the running text's characters [begin, end).
struct Cut {
    std::size_t begin = 0;
    std::size_t end = 0;
    Break after = Break::End;
};

struct Running {
    std::string text;
    std::vector<Placed> placed;
};

Running join(std::span<const Heard> copies, Random& random, bool withJoiners)
{
    Running r;
    for (const Heard& h : copies) {
        if (withJoiners && !r.text.empty())
            r.text += kJoiners[random.below(kJoiners.size())];
        r.placed.push_back({h.beacon, r.text.size(), h.text.size()});
        r.text += h.text;
    }
    return r;
}

void emit(Corpus& corpus, const Running& r, std::span<const Cut> cuts)
{
    std::vector<Span> onLine;
    auto next = r.placed.begin();
    for (const Cut& cut : cuts) {
        onLine.clear();
        while (next != r.placed.end() && next->at + next->length <= cut.begin)
            ++next;
        for (auto p = next; p != r.placed.end() && p->at < cut.end; ++p) {
            const std::size_t from = std::max(p->at, cut.begin);
            const std::size_t to = std::min(p->at + p->length, cut.end);
            if (from < to)
                onLine.push_back({p->beacon, std::uint32_t(from - cut.begin), std::uint32_t(to - from),
                                  std::uint32_t(from - p->at)});
        }
        corpus.addLine(r.text.substr(cut.begin, cut.end - cut.begin), cut.after, onLine);
    }
}

// Two to four copies a line, the text between two lines' copies left out.
std::vector<Cut> runningLines(const Running& r, Random& random)
{
    std::vector<Cut> cuts;
    for (std::size_t i = 0; i < r.placed.size();) {
        const std::size_t n = std::min(r.placed.size() - i, 2 + random.below(3));
        const Placed& last = r.placed[i + n - 1];
        cuts.push_back({r.placed[i].at, last.at + last.length, Break::End});
        i += n;
    }
    return cuts;
}

// Lines of 80 columns; a word wrap breaks at the last blank that fits and drops it, and cuts
// hard where a line has no blank.
std::vector<Cut> wrapped(const Running& r, bool atBlank)
{
    std::vector<Cut> cuts;
    std::size_t begin = 0;
    while (r.text.size() - begin > kColumns) {
        std::size_t blank = std::string_view::npos;
        if (atBlank) {
            const std::size_t b = r.text.rfind(' ', begin + kColumns);
            if (b != std::string::npos && b > begin)
                blank = b;
        }
        if (blank == std::string_view::npos) {
            cuts.push_back({begin, begin + kColumns, Break::Joined});
            begin += kColumns;
        } else {
            cuts.push_back({begin, blank, Break::JoinedBlank});
            begin = blank + 1;
        }
    }
    cuts.push_back({begin, r.text.size(), Break::End});
    return cuts;
}

// Each copy over two or three lines, cut anywhere.
std::vector<Cut> splitCopies(const Running& r, Random& random)
{
    std::vector<Cut> cuts;
    for (const Placed& p : r.placed) {
        std::size_t begin = p.at;
        const std::size_t end = p.at + p.length;
        for (std::size_t pieces = 2 + random.below(2); pieces > 1; --pieces) {
            const std::size_t room = end - begin;
            if (room < pieces * kShortestPiece)
                break;
            const std::size_t cut = begin + kShortestPiece + random.below(room - pieces * kShortestPiece + 1);
            cuts.push_back({begin, cut, Break::Joined});
            begin = cut;
        }
        cuts.push_back({begin, end, Break::End});
    }
    return cuts;
}

} // namespace

void addStream(Corpus& corpus, std::span<const Heard> copies, Random& random)
{
    const std::size_t kind = random.below(4);
    const Running r = join(copies, random, kind != 3);
    switch (kind) {
    case 0: emit(corpus, r, runningLines(r, random)); break;
    case 1: emit(corpus, r, wrapped(r, false)); break;
    case 2: emit(corpus, r, wrapped(r, true)); break;
    default: emit(corpus, r, splitCopies(r, random)); break;
    }
}

} // namespace orvik::bench
