// SPDX-License-Identifier: GPL-3.0-or-later
#include "placechars.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace orvik {

namespace {

constexpr bool isHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }

int cost(const Want& want, char16_t c)
{
    switch (want.kind) {
    case Want::Any: return 0;
    case Want::HexDigit: return isHexDigit(c) ? 0 : 1;
    case Want::Exactly: return want.c == c ? 0 : 1;
    }
    return 1;
}

using Table = std::array<std::array<int, kMostPlaced + kMostShift + 2>, kMostPlaced + 2>;

} // namespace

bool placeChars(std::span<const Want> pattern, std::u16string_view copy, std::size_t from, std::size_t to,
                char16_t* out, int changes)
{
    std::fill(out, out + (to - from), char16_t(0));
    const std::size_t n = pattern.size();
    const std::size_t m = copy.size();
    if (n > kMostPlaced || to > n || from > to || m + kMostShift < n || m > n + kMostShift)
        return false;
    // Cheapest cost of aligning the first i places with the first j characters, and the last.
    Table ahead;
    Table behind;
    for (std::size_t i = 0; i <= n; ++i) {
        for (std::size_t j = 0; j <= m; ++j) {
            if (i == 0 || j == 0) {
                ahead[i][j] = int(i + j);
                continue;
            }
            ahead[i][j] = std::min({ahead[i - 1][j - 1] + cost(pattern[i - 1], copy[j - 1]), ahead[i - 1][j] + 1,
                                    ahead[i][j - 1] + 1});
        }
    }
    for (std::size_t i = n + 1; i-- > 0;) {
        for (std::size_t j = m + 1; j-- > 0;) {
            if (i == n || j == m) {
                behind[i][j] = int((n - i) + (m - j));
                continue;
            }
            behind[i][j] = std::min({behind[i + 1][j + 1] + cost(pattern[i], copy[j]), behind[i + 1][j] + 1,
                                     behind[i][j + 1] + 1});
        }
    }
    const int best = ahead[n][m];
    // More changes besides the characters lost or gained, and the copy may be shifted against
    // the pattern rather than damaged.
    if (best > std::abs(int(n) - int(m)) + changes)
        return false;
    for (std::size_t i = from; i < to; ++i) {
        char16_t placed = 0;
        bool doubt = false;
        for (std::size_t j = 0; j <= m && !doubt; ++j) {
            if (ahead[i][j] + behind[i][j] != best)
                continue;
            // Place i is taken by a character (diagonal) or lost (down) on a cheapest path.
            if (ahead[i][j] + 1 + behind[i + 1][j] == best)
                doubt = true;
            if (j < m && ahead[i][j] + cost(pattern[i], copy[j]) + behind[i + 1][j + 1] == best) {
                doubt = doubt || (placed != 0 && placed != copy[j]);
                placed = copy[j];
            }
        }
        out[i - from] = doubt ? char16_t(0) : placed;
    }
    return true;
}

} // namespace orvik
