// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// The lines seen so far, letter case aside, remembered by a 64-bit hash of each in one
// open-addressed table: about 16 bytes a line. A table of its own: it is a set, with no value
// beside the hash, and it grows with its input, which the recovery's key table never does.
class SeenLines {
public:
    // Makes room for about `lines` lines at once, so that the table need not grow step by step.
    void reserve(std::size_t lines);

    // The hash of the line lower-cased: the same for UTF-16 units and for ASCII bytes that
    // stand for them.
    std::uint64_t hashOf(std::u16string_view line);
    std::uint64_t hashOf(std::string_view asciiLine);

    // Asks for the memory that insert(hash) will read, so that other work can go on meanwhile.
    void prefetch(std::uint64_t hash) const;
    // True when the hash was not there yet.
    bool insert(std::uint64_t hash);

private:
    static bool place(std::vector<std::uint64_t>& table, std::uint64_t hash);
    void rehash(std::size_t size);

    std::vector<std::uint64_t> m_slots;
    std::size_t m_count = 0;
    std::u16string m_folded;
    std::string m_foldedBytes;
};

} // namespace orvik
