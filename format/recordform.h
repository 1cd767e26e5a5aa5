// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacontext.h"
#include "textblock.h"
#include "tlmformat.h"

#include <array>
#include <cassert>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// A column of a record beside its values: its key in JSON Lines, and its caption in CSV. A
// column without a caption is written in JSON Lines only.
struct RecordColumn {
    std::string_view key;
    std::string_view csvCaption = {};
};

// What a kind of record holds: the columns before and after its values, and the channels
// whose values it holds, in that order.
struct RecordLayout {
    std::vector<RecordColumn> before;
    std::vector<RecordColumn> after;
    std::vector<int> channels = everyChannel();

    static std::vector<int> everyChannel();
};

// The one form of a record as text, for every writer of records: the window's export,
// orvik-tlm's strict and recovering runs, --from-archive and the trend export.
// CSV: a header of captions, every field followed by ";", every line ended by CR LF, a value
// left out an empty field, and only the columns that have a caption.
// JSON Lines: one object a line, the columns before the values, the values keyed by caption
// (null for a value left out), then the columns after them. It has a column before the values.
class RecordForm {
public:
    RecordForm(TlmFormat format, std::string decimalPoint, RecordLayout layout = {});
    ~RecordForm();
    RecordForm(const RecordForm&) = delete;
    RecordForm& operator=(const RecordForm&) = delete;

    bool isCsv() const { return m_format == TlmFormat::Csv; }
    const RecordLayout& layout() const { return m_layout; }

    // The CSV header, with the channels' captions from the channel table or as given; nothing
    // for JSON Lines.
    std::string header() const;
    std::string header(std::span<const std::string> channelCaptions) const;

private:
    friend class RecordText;

    TlmFormat m_format;
    std::string m_decimalPoint;
    RecordLayout m_layout;
    BeaconText m_text;
    std::vector<std::string> m_keys; // ,"caption": of each channel of the layout
    // Whether each column is written, and what stands before its value.
    // A prefix is copied whole, a fixed size, and then only its own length is kept.
    static constexpr std::size_t kPrefixRoom = 32;
    struct ColumnText {
        std::array<char, kPrefixRoom> prefix;
        std::uint8_t size;
        bool written;
    };
    std::vector<ColumnText> m_before;
    std::vector<ColumnText> m_after;
    std::size_t m_room = 0; // that the values of one record may take
};

// One record being appended to `out` in its form: each call gives the next column, in the
// layout's order, or the values.
class RecordText {
public:
    RecordText(RecordForm& form, TextBlock& out);

    RecordText& number(std::uint64_t n);
    // A number counted on, copied whole.
    RecordText& number(const class DecimalCounter& n);
    // UTF-8 text: a JSON string, or a CSV field as it stands.
    RecordText& text(std::string_view text);
    // A JSON value encoded once for many records, such as a file name.
    RecordText& encoded(std::string_view json);
    // A JSON array of numbers or of strings; `at(i)` gives item i of `count`.
    template <class At> RecordText& numbers(std::size_t count, At&& at);
    template <class At> RecordText& texts(std::size_t count, At&& at);

    // The values of the layout's channels; NaN for one left out.
    RecordText& values(std::span<const double> values);
    // The values of a beacon line (isBeaconLine holds; bytes must be ASCII), straight from its
    // fields; channels in `leftOut` (bit c for channel c) hold none. `plain` is cleared when a
    // field holds other characters than hex digits. The layout holds every channel.
    RecordText& values(std::string_view line, bool& plain, std::uint32_t leftOut = 0);
    RecordText& values(std::u16string_view line, bool& plain);

    // Ends the record's line.
    void end();

private:
    // Whether the next column is written; when it is, what stands before its value is written.
    bool next();
    // What follows a column's value.
    void close();
    // A JSON array of `count` items, each written by put(i).
    template <class Put> RecordText& array(std::size_t count, Put&& put);
    template <class T> RecordText& beaconValues(T line, bool& plain, std::uint32_t leftOut);

    RecordForm& m_form;
    TextBlock& m_out;
    std::size_t m_column = 0;
    bool m_afterValues = false;
};

// The decimal text of a number that mostly grows by one from the last, such as a record
// number: its digits are counted on in place rather than made again.
class DecimalCounter {
public:
    static constexpr std::size_t kRoom = 20;

    // The counter at n: counted on by one, or made again.
    const DecimalCounter& at(std::uint64_t n)
    {
        if (n != m_value + 1 || m_size == 0 || !countOn()) {
            const auto end = std::to_chars(m_text.data(), m_text.data() + m_text.size(), n).ptr;
            m_size = std::size_t(end - m_text.data());
        }
        m_value = n;
        return *this;
    }
    // kRoom bytes to copy whole, of which the first size() are the digits.
    const char* data() const { return m_text.data(); }
    std::size_t size() const { return m_size; }

private:
    // False when every digit was a 9: the text grows a digit, and is made again.
    bool countOn()
    {
        for (std::size_t i = m_size; i-- > 0;) {
            if (m_text[i] != '9') {
                ++m_text[i];
                return true;
            }
            m_text[i] = '0';
        }
        return false;
    }

    std::array<char, kRoom> m_text{};
    std::size_t m_size = 0;
    std::uint64_t m_value = 0;
};

// The text as a JSON string, in double quotes, to a std::string or a TextBlock.
template <class Out> void appendJsonString(Out& out, std::string_view text);
inline void appendDecimal(TextBlock& out, std::uint64_t n)
{
    constexpr std::size_t kDigits = 20;
    char* const p = out.room(kDigits);
    out.commit(std::to_chars(p, p + kDigits, n).ptr);
}

template <class Out> void appendJsonString(Out& out, std::string_view text)
{
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            constexpr std::string_view kHex = "0123456789abcdef";
            out += std::string_view("\\u00");
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
}

inline RecordText::RecordText(RecordForm& form, TextBlock& out)
    : m_form(form)
    , m_out(out)
{}

inline bool RecordText::next()
{
    const auto& columns = m_afterValues ? m_form.m_after : m_form.m_before;
    const RecordForm::ColumnText& column = columns[m_column++];
    if (!column.written)
        return false;
    char* const p = m_out.room(RecordForm::kPrefixRoom);
    std::memcpy(p, column.prefix.data(), RecordForm::kPrefixRoom);
    m_out.commit(p + column.size);
    return true;
}

inline void RecordText::close()
{
    if (m_form.isCsv())
        m_out += ';';
}

inline RecordText& RecordText::number(std::uint64_t n)
{
    if (next()) {
        appendDecimal(m_out, n);
        close();
    }
    return *this;
}

inline RecordText& RecordText::number(const DecimalCounter& n)
{
    if (next()) {
        char* const p = m_out.room(DecimalCounter::kRoom);
        std::memcpy(p, n.data(), DecimalCounter::kRoom);
        m_out.commit(p + n.size());
        close();
    }
    return *this;
}

inline RecordText& RecordText::encoded(std::string_view json)
{
    if (next()) {
        m_out += json;
        close();
    }
    return *this;
}

template <class T> inline RecordText& RecordText::beaconValues(T line, bool& plain, std::uint32_t leftOut)
{
    assert(m_form.m_layout.channels.size() == std::size_t(kChannelCount));
    assert(m_form.isCsv() || m_column > 0);
    char* const begin = m_out.room(m_form.m_room);
    char* end = nullptr;
    if constexpr (std::is_same_v<T, std::string_view>)
        end = leftOut == 0 ? m_form.m_text.append(begin, line, plain)
                           : m_form.m_text.append(begin, line, plain, leftOut);
    else
        end = m_form.m_text.append(begin, line, plain);
    m_out.commit(end);
    m_afterValues = true;
    m_column = 0;
    return *this;
}

inline RecordText& RecordText::values(std::string_view line, bool& plain, std::uint32_t leftOut)
{
    return beaconValues(line, plain, leftOut);
}

inline RecordText& RecordText::values(std::u16string_view line, bool& plain)
{
    return beaconValues(line, plain, 0);
}

inline void RecordText::end()
{
    char* const p = m_out.room(2);
    p[0] = m_form.isCsv() ? '\r' : '}';
    p[1] = '\n';
    m_out.commit(p + 2);
}

template <class Put> RecordText& RecordText::array(std::size_t count, Put&& put)
{
    if (!next())
        return *this;
    m_out += '[';
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            m_out += ',';
        put(i);
    }
    m_out += ']';
    close();
    return *this;
}

template <class At> RecordText& RecordText::numbers(std::size_t count, At&& at)
{
    return array(count, [&](std::size_t i) { appendDecimal(m_out, at(i)); });
}

template <class At> RecordText& RecordText::texts(std::size_t count, At&& at)
{
    return array(count, [&](std::size_t i) { appendJsonString(m_out, at(i)); });
}

} // namespace orvik
