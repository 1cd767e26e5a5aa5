// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The keys by which the recovery finds the groups a copy may belong to: one for the fields of
// each frame a copy holds whole.
#include "copyframes.h"
#include "decoder/words.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

namespace orvik {
namespace recovery {

inline constexpr std::uint64_t mix(std::uint64_t h)
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
// Any other character only makes a candidate, which judge() weighs.

inline std::uint64_t wordKey(std::uint64_t h, std::uint64_t word)
{
    h = (h ^ word) * 0x9fb21c651e98df25u;
    return h ^ h >> 29;
}

inline std::uint64_t frameKey(int f, const char* field, int length)
{
    std::uint64_t h = std::uint64_t(f + 1) * 0x9e3779b97f4a7c15u;
    int i = 0;
    for (; i + 8 <= length; i += 8)
        h = wordKey(h, words::withLetterBits(words::load(field + i)));
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
inline void cleanKeys(const char* line, std::array<std::uint64_t, kFrameTags.size()>& keys,
                      std::index_sequence<F...>)
{
    ((keys[F] = frameKey(int(F), line + kLayout[F].pos - 1 + kLayout[F].fieldBegin, kLayout[F].fieldLength)),
     ...);
}

inline std::uint64_t frameKey(int f, const char16_t* field, int length)
{
    std::array<char, kBeaconLength> bytes;
    for (int i = 0; i < length; ++i)
        bytes[std::size_t(i)] = char(field[i]);
    return frameKey(f, bytes.data(), length);
}

} // namespace recovery
} // namespace orvik
