// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstring>

// Eight characters of text at a time, in a 64-bit word: each rule gives for every byte what its
// one-character rule in chars.h gives, with no carry from one byte into the next.
namespace orvik::words {

inline constexpr std::uint64_t kOnes = 0x0101010101010101u;
inline constexpr std::uint64_t kHigh = 0x80 * kOnes;
inline constexpr std::uint64_t kLetterBits = 0x20 * kOnes;

inline std::uint64_t load(const char* bytes)
{
    std::uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
}

inline void store(char* bytes, std::uint64_t word) { std::memcpy(bytes, &word, 8); }

// The top bit of every byte that is no ASCII.
constexpr std::uint64_t nonAscii(std::uint64_t word) { return word & kHigh; }

// foldCase of every byte of a word of ASCII: below 0x80, adding 0x3F sets a byte's top bit from
// 'A' on and adding 0x25 from past 'Z' on.
constexpr std::uint64_t foldCase(std::uint64_t word)
{
    const std::uint64_t upper = (word + 0x3F * kOnes) & ~(word + 0x25 * kOnes) & kHigh;
    return word | upper >> 2;
}

// The top bit of every byte that is a hex digit in either case: below 0x80, a byte lies in
// '0'-'9' or, with its letter bit set, in 'a'-'f'; adding 0x80 - lo to a 7-bit byte sets its top
// bit exactly when it is lo or more.
constexpr std::uint64_t hexDigits(std::uint64_t word)
{
    const auto within = [](std::uint64_t low7, unsigned lo, unsigned hi) {
        return (low7 + (0x80u - lo) * kOnes) & ~(low7 + (0x7Fu - hi) * kOnes);
    };
    const std::uint64_t low7 = word & ~kHigh;
    return (within(low7, '0', '9') | within(low7 | kLetterBits, 'a', 'f')) & ~word & kHigh;
}

// Hex digits with the letter bit set are folded; other bytes may change otherwise, so a text made
// so stands for its hex digits alone.
constexpr std::uint64_t withLetterBits(std::uint64_t word) { return word | kLetterBits; }

} // namespace orvik::words
