// SPDX-License-Identifier: GPL-3.0-or-later
#include "placechars.h"

#include "decoder/chars.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace orvik {

namespace {

int cost(const Want& want, char16_t c)
{
    switch (want.kind) {
    case Want::Any: return 0;
    case Want::HexDigit: return isFoldedHexDigit(c) ? 0 : 1;
    case Want::Exactly: return want.c == c ? 0 : 1;
    }
    return 1;
}

// One character lost or gained, and at most one changed: the alignments are the places of the
// one lost or gained, each costing what the characters beside it miss.
bool placeOneShift(std::span<const Want> pattern, std::u16string_view copy, std::size_t from, std::size_t to,
                   char16_t* out, int changes)
{
    const int n = int(pattern.size());
    const int m = int(copy.size());
    const bool lost = m < n;
    const int places = lost ? n : m; // where the character lost or gained may stand
    const int shorter = std::min(n, m);
    std::array<int, kMostPlaced + kMostShift + 2> before{};
    std::array<int, kMostPlaced + kMostShift + 2> after{};
    for (int k = 0; k < shorter; ++k)
        before[std::size_t(k + 1)] =
            before[std::size_t(k)] + cost(pattern[std::size_t(k)], copy[std::size_t(k)]);
    after[std::size_t(shorter)] = 0;
    for (int k = shorter; k-- > 0;) {
        const int c = lost ? cost(pattern[std::size_t(k + 1)], copy[std::size_t(k)])
                           : cost(pattern[std::size_t(k)], copy[std::size_t(k + 1)]);
        after[std::size_t(k)] = after[std::size_t(k + 1)] + c;
    }
    int best = 1 << 20;
    for (int k = 0; k < places; ++k)
        best = std::min(best, 1 + before[std::size_t(std::min(k, shorter))] +
                                  after[std::size_t(std::min(k, shorter))]);
    if (best > 1 + changes)
        return false;
    // The cheapest places of the character lost or gained: a field place is in doubt where one
    // of them is the place itself, or where places on either side of it put different characters.
    std::array<bool, kMostPlaced + kMostShift + 2> cheapest{};
    int first = places;
    int last = -1;
    for (int k = 0; k < places; ++k) {
        const auto at = std::size_t(std::min(k, shorter));
        cheapest[std::size_t(k)] = 1 + before[at] + after[at] == best;
        if (cheapest[std::size_t(k)]) {
            first = std::min(first, k);
            last = k;
        }
    }
    for (std::size_t i = from; i < to; ++i) {
        const int p = int(i);
        const bool afterIt = last > p;                       // the copy's own character stands at p
        const bool beforeIt = lost ? first < p : first <= p; // the one beside it does
        const char16_t own = copy[i];
        const char16_t beside = lost ? (p > 0 ? copy[i - 1] : char16_t(0)) : copy[i + 1];
        if (lost && cheapest[i])
            out[i - from] = 0;
        else if (afterIt && beforeIt)
            out[i - from] = own == beside ? own : char16_t(0);
        else
            out[i - from] = afterIt ? own : beside;
    }
    return true;
}

using Table = std::array<std::array<int, kMostPlaced + kMostShift + 2>, kMostPlaced + 2>;
constexpr int kFar = 1 << 20;

} // namespace

bool placeChars(std::span<const Want> pattern, std::u16string_view copy, std::size_t from, std::size_t to,
                char16_t* out, int changes)
{
    std::fill(out, out + (to - from), char16_t(0));
    const int n = int(pattern.size());
    const int m = int(copy.size());
    if (n > int(kMostPlaced) || int(to) > n || from > to || m + kMostShift < n || m > n + kMostShift)
        return false;
    if (std::abs(n - m) == 1 && changes <= 1)
        return placeOneShift(pattern, copy, from, to, out, changes);
    // A path that costs no more than allowed never strays further than that from the diagonal,
    // so only that band of the tables is worked out; the cells beside it are out of reach.
    const int band = std::abs(n - m) + changes;
    const auto lo = [&](int i) { return std::max(0, i - band); };
    const auto hi = [&](int i) { return std::min(m, i + band); };
    // Cheapest cost of aligning the first i places with the first j characters, and the last.
    Table ahead;
    Table behind;
    for (int i = 0; i <= n; ++i) {
        if (lo(i) > 0)
            ahead[std::size_t(i)][std::size_t(lo(i) - 1)] = kFar;
        if (hi(i) < m)
            ahead[std::size_t(i)][std::size_t(hi(i) + 1)] = kFar;
        for (int j = lo(i); j <= hi(i); ++j) {
            int& cell = ahead[std::size_t(i)][std::size_t(j)];
            if (i == 0 || j == 0) {
                cell = i + j;
                continue;
            }
            const int diagonal = ahead[std::size_t(i - 1)][std::size_t(j - 1)] +
                                 cost(pattern[std::size_t(i - 1)], copy[std::size_t(j - 1)]);
            cell = std::min({diagonal, ahead[std::size_t(i - 1)][std::size_t(j)] + 1,
                             ahead[std::size_t(i)][std::size_t(j - 1)] + 1});
        }
    }
    for (int i = n; i >= 0; --i) {
        if (lo(i) > 0)
            behind[std::size_t(i)][std::size_t(lo(i) - 1)] = kFar;
        if (hi(i) < m)
            behind[std::size_t(i)][std::size_t(hi(i) + 1)] = kFar;
        for (int j = hi(i); j >= lo(i); --j) {
            int& cell = behind[std::size_t(i)][std::size_t(j)];
            if (i == n || j == m) {
                cell = (n - i) + (m - j);
                continue;
            }
            const int diagonal = behind[std::size_t(i + 1)][std::size_t(j + 1)] +
                                 cost(pattern[std::size_t(i)], copy[std::size_t(j)]);
            cell = std::min({diagonal, behind[std::size_t(i + 1)][std::size_t(j)] + 1,
                             behind[std::size_t(i)][std::size_t(j + 1)] + 1});
        }
    }
    const int best = ahead[std::size_t(n)][std::size_t(m)];
    // More changes besides the characters lost or gained, and the copy may be shifted against
    // the pattern rather than damaged.
    if (best > std::abs(n - m) + changes)
        return false;
    for (int i = int(from); i < int(to); ++i) {
        char16_t placed = 0;
        bool doubt = false;
        const auto& row = ahead[std::size_t(i)];
        for (int j = lo(i); j <= hi(i) && !doubt; ++j) {
            if (row[std::size_t(j)] + behind[std::size_t(i)][std::size_t(j)] != best)
                continue;
            // Place i is taken by a character (diagonal) or lost (down) on a cheapest path.
            if (j >= lo(i + 1) &&
                row[std::size_t(j)] + 1 + behind[std::size_t(i + 1)][std::size_t(j)] == best)
                doubt = true;
            if (j < m && j + 1 <= hi(i + 1) &&
                row[std::size_t(j)] + cost(pattern[std::size_t(i)], copy[std::size_t(j)]) +
                        behind[std::size_t(i + 1)][std::size_t(j + 1)] ==
                    best) {
                doubt = doubt || (placed != 0 && placed != copy[std::size_t(j)]);
                placed = copy[std::size_t(j)];
            }
        }
        out[std::size_t(i) - from] = doubt ? char16_t(0) : placed;
    }
    return true;
}

} // namespace orvik
