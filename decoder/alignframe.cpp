// SPDX-License-Identifier: GPL-3.0-or-later
#include "alignframe.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace orvik {

namespace {

// The two ways of walking back an edit-distance table: taking the diagonal first, or a gap
// first. A character votes only where both put it in the same place.
enum class Prefer { Diagonal, Gap };

// The cells of an edit-distance table whose column less their row lies from `lo` to `hi`,
// a row after another, each with a rim cell on either side that no path takes. Cell p's
// diagonal neighbour is p - width, the one above it p - width + 1, the one left of it p - 1.
struct BandTable {
    BandTable(int* cells, std::ptrdiff_t lo, std::ptrdiff_t hi)
        : cells(cells)
        , lo(lo)
        , width(hi - lo + 3)
    {}
    std::ptrdiff_t index(std::size_t i, std::size_t j) const
    {
        return std::ptrdiff_t(i) * (width - 1) + std::ptrdiff_t(j) - lo + 1;
    }

    int* cells;
    std::ptrdiff_t lo;
    std::ptrdiff_t width;
};

// A table too large for the stack, kept for the next one.
int* largeCells(std::size_t count)
{
    thread_local std::vector<int> cells;
    cells.resize(count);
    return cells.data();
}

// Ref position -> copy position on one cheapest alignment, -1 where the copy holds none, for
// the ref positions `from` to `to`, written to at[i - from]. Returns whether the walk met a
// cell where the other way of walking would have gone elsewhere.
bool walkBack(const BandTable& d, std::u16string_view ref, std::u16string_view copy, Prefer prefer,
              std::size_t from, std::size_t to, int* at)
{
    std::size_t i = ref.size();
    std::size_t j = copy.size();
    std::ptrdiff_t p = d.index(i, j);
    const int* const c = d.cells;
    const std::ptrdiff_t w = d.width;
    bool parted = false;
    // The rows before `from` are not asked for, so the walk stops there.
    while (i > from) {
        const int here = c[p];
        const bool diag = j > 0 && here == c[p - w] + (ref[i - 1] != copy[j - 1]);
        const bool up = here == c[p - w + 1] + 1;
        const bool left = j > 0 && here == c[p - 1] + 1;
        parted = parted || (diag && (up || left));
        int taken = -1;
        if (diag && (prefer == Prefer::Diagonal || (!up && !left))) {
            taken = int(--j);
            p -= w;
        } else if (up) {
            p -= w - 1;
        } else if (left) {
            --j;
            --p;
            continue;
        } else {
            taken = int(--j); // only the diagonal is left
            p -= w;
        }
        if (--i < to)
            at[i - from] = taken;
    }
    return parted;
}

} // namespace

void alignFrame(std::u16string_view ref, std::u16string_view copy, const FrameLayout& layout,
                char16_t* readings)
{
    const std::size_t fieldFrom = std::size_t(layout.fieldBegin - kTagLength);
    const std::size_t fieldLength = std::size_t(layout.fieldLength);
    // A reference too short to hold the fields places nothing; a frame's fields fit a beacon line.
    if (ref.size() < fieldFrom + fieldLength || fieldLength > std::size_t(kBeaconLength))
        return;
    // One character heard wrong besides those lost or gained: more, and the copy may be
    // shifted against the reference rather than damaged. A path that leaves the diagonals
    // through the two corners costs more than that, so only the cells between them are worked out.
    const std::ptrdiff_t grown = std::ptrdiff_t(copy.size()) - std::ptrdiff_t(ref.size());
    const int most = int(std::abs(grown)) + 1;
    const std::ptrdiff_t lo = std::min<std::ptrdiff_t>(0, grown);
    const std::ptrdiff_t hi = std::max<std::ptrdiff_t>(0, grown);
    const std::size_t cellCount = (ref.size() + 1) * std::size_t(hi - lo + 3);
    std::array<int, 1024> local;
    BandTable d(cellCount > local.size() ? largeCells(cellCount) : local.data(), lo, hi);
    int* const c = d.cells;
    const std::ptrdiff_t w = d.width;
    constexpr int kFar = 1 << 20;
    // Row 0 and column 0: every character so far lost or gained.
    c[0] = kFar;
    c[w - 1] = kFar;
    for (std::size_t j = 0; j <= std::size_t(hi); ++j)
        c[d.index(0, j)] = int(j);
    for (std::size_t i = 1; i <= ref.size(); ++i) {
        c[std::ptrdiff_t(i) * w] = kFar;
        c[std::ptrdiff_t(i + 1) * w - 1] = kFar;
        std::size_t j = std::size_t(std::max<std::ptrdiff_t>(0, std::ptrdiff_t(i) + lo));
        const std::size_t to = std::min(copy.size(), std::size_t(std::ptrdiff_t(i) + hi));
        std::ptrdiff_t p = d.index(i, j);
        int left = kFar;
        if (j == 0) {
            left = int(i);
            c[p++] = left;
            ++j;
        }
        int least = left;
        for (; j <= to; ++j, ++p) {
            left = std::min({c[p - w] + (ref[i - 1] != copy[j - 1]), c[p - w + 1] + 1, left + 1});
            c[p] = left;
            least = std::min(least, left);
        }
        // No path's cost falls from one row to the next.
        if (least > most)
            return;
    }
    if (c[d.index(ref.size(), copy.size())] > most)
        return;
    std::array<int, kBeaconLength> first;
    std::array<int, kBeaconLength> second;
    // Walks that never part put every character in the same place.
    const bool parted =
        walkBack(d, ref, copy, Prefer::Diagonal, fieldFrom, fieldFrom + fieldLength, first.data());
    if (parted)
        walkBack(d, ref, copy, Prefer::Gap, fieldFrom, fieldFrom + fieldLength, second.data());
    const std::array<int, kBeaconLength>& other = parted ? second : first;
    for (std::size_t i = 0; i < fieldLength; ++i) {
        const std::size_t r = fieldFrom + i;
        // A character doubled or lost in a run of one letter puts that letter here on either
        // walk, or on one walk while the other leaves the place to a neighbour of the run.
        const int a = first[i];
        const int b = other[i];
        if (a >= 0 && b >= 0 && copy[std::size_t(a)] == copy[std::size_t(b)])
            readings[i] = copy[std::size_t(a)];
        else if ((a >= 0) != (b >= 0) && copy[std::size_t(std::max(a, b))] == ref[r])
            readings[i] = ref[r];
    }
}

} // namespace orvik
