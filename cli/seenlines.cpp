// SPDX-License-Identifier: GPL-3.0-or-later
#include "seenlines.h"

#include "decoder/chars.h"
#include "decoder/words.h"

#include <QChar>
#include <cstring>
#include <functional>

namespace orvik {

namespace {

constexpr std::size_t kFirstSize = 1024;

// A table stays at most 70 % full.
bool tooFull(std::size_t count, std::size_t size) { return count * 10 > size * 7; }

std::uint64_t nonZero(std::uint64_t hash) { return hash == 0 ? 1 : hash; } // 0 marks an empty slot

// Where a hash is looked for first in a table of `size` slots, a power of two.
std::size_t firstSlot(std::uint64_t hash, std::size_t size)
{
    return (hash * 0x9E3779B97F4A7C15u) >> 20 & (size - 1);
}

} // namespace

void SeenLines::reserve(std::size_t lines)
{
    std::size_t size = kFirstSize;
    while (tooFull(lines, size))
        size *= 2;
    if (size > m_slots.size())
        rehash(size);
}

// A folded text whose units are all ASCII is hashed as bytes, so that a line read as ASCII
// bytes need not be widened; any other can equal no such line.
std::uint64_t SeenLines::hashOf(std::u16string_view line)
{
    m_folded.resize(line.size());
    char16_t high = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c < 0x80)
            m_folded[i] = (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
        else
            m_folded[i] = char16_t(QChar::toLower(char32_t(c)));
        high |= m_folded[i];
    }
    if (high >= 0x80)
        return std::hash<std::u16string_view>()(m_folded);
    m_foldedBytes.assign(m_folded.begin(), m_folded.end());
    return std::hash<std::string_view>()(m_foldedBytes);
}

std::uint64_t SeenLines::hashOf(std::string_view asciiLine)
{
    m_foldedBytes.resize(asciiLine.size());
    char* const out = m_foldedBytes.data();
    std::size_t i = 0;
    for (; i + 8 <= asciiLine.size(); i += 8)
        words::store(out + i, words::foldCase(words::load(asciiLine.data() + i)));
    for (; i < asciiLine.size(); ++i)
        out[i] = foldCase(asciiLine[i]);
    return std::hash<std::string_view>()(m_foldedBytes);
}

void SeenLines::prefetch(std::uint64_t hash) const
{
#if defined(__GNUC__) || defined(__clang__)
    if (!m_slots.empty())
        __builtin_prefetch(&m_slots[firstSlot(nonZero(hash), m_slots.size())]);
#else
    (void)hash;
#endif
}

bool SeenLines::insert(std::uint64_t hash)
{
    hash = nonZero(hash);
    if (tooFull(m_count + 1, m_slots.size()))
        rehash(m_slots.empty() ? kFirstSize : m_slots.size() * 2);
    if (!place(m_slots, hash))
        return false;
    ++m_count;
    return true;
}

bool SeenLines::place(std::vector<std::uint64_t>& table, std::uint64_t hash)
{
    const std::size_t mask = table.size() - 1;
    for (std::size_t i = firstSlot(hash, table.size());; i = (i + 1) & mask) {
        if (table[i] == hash)
            return false;
        if (table[i] == 0) {
            table[i] = hash;
            return true;
        }
    }
}

void SeenLines::rehash(std::size_t size)
{
    std::vector<std::uint64_t> bigger(size, 0);
    for (const std::uint64_t h : m_slots) {
        if (h != 0)
            place(bigger, h);
    }
    m_slots.swap(bigger);
}

} // namespace orvik
