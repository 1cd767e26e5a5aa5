// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tlmformat.h"

#include <QIODevice>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace orvik {

// Text kept in one block, written in place, and handed on to a device in pieces of about
// kIoPiece: few system calls, and no copy of the text on its way out.
class TextBlock {
public:
    // A block with no device is only read back, by data() and size().
    explicit TextBlock(QIODevice* out = nullptr)
        : m_out(out)
    {}

    // At least `size` bytes to write at the end; commit() takes what was written.
    char* room(std::size_t size)
    {
        if (m_capacity - m_size < size)
            grow(size);
        return m_block.get() + m_size;
    }
    void commit(const char* end) { m_size = std::size_t(end - m_block.get()); }
    void append(std::string_view text)
    {
        // A block that holds nothing yet has no memory to copy nothing into.
        if (text.empty())
            return;
        std::memcpy(room(text.size()), text.data(), text.size());
        m_size += text.size();
    }
    void append(char c) { *room(1) = c, ++m_size; }
    TextBlock& operator+=(std::string_view text) { return append(text), *this; }
    TextBlock& operator+=(char c) { return append(c), *this; }

    const char* data() const { return m_block.get(); }
    std::size_t size() const { return m_size; }
    std::string_view view() const { return {m_block.get(), m_size}; }
    // Takes back what was written past `size`.
    void truncate(std::size_t size) { m_size = size < m_size ? size : m_size; }
    void clear() { m_size = 0; }

    // Hands on what is kept once it makes a piece. False when the device failed.
    bool handOnPiece() { return m_size < kIoPiece || flush(); }
    // Hands on all that is kept.
    bool flush()
    {
        const auto size = qint64(m_size);
        m_size = 0;
        return size == 0 || (m_out && m_out->write(m_block.get(), size) == size);
    }

private:
    void grow(std::size_t size)
    {
        // A block of a piece and a little more is never outgrown by records handed on in pieces.
        std::size_t capacity = m_capacity == 0 ? kIoPiece + 4096 : m_capacity * 2;
        while (capacity - m_size < size)
            capacity *= 2;
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_size > 0)
            std::memcpy(bigger.get(), m_block.get(), m_size);
        m_block = std::move(bigger);
        m_capacity = capacity;
    }

    QIODevice* m_out;
    std::unique_ptr<char[]> m_block;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};

} // namespace orvik
