// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacontext.h"

#include "decoder/hexconv.h"
#include "decoder/numbertext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

namespace orvik {

namespace {

constexpr unsigned char kNotHex = 0xFF;

constexpr std::array<unsigned char, 128> kHexValue = [] {
    std::array<unsigned char, 128> t{};
    t.fill(kNotHex);
    for (int c = '0'; c <= '9'; ++c)
        t[std::size_t(c)] = static_cast<unsigned char>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) {
        t[std::size_t(c)] = static_cast<unsigned char>(c - 'a' + 10);
        t[std::size_t(c - 'a' + 'A')] = static_cast<unsigned char>(c - 'a' + 10);
    }
    return t;
}();

template <class CharT> unsigned hexValue(CharT c)
{
    const auto u = static_cast<std::make_unsigned_t<CharT>>(c);
    return u < 128 ? kHexValue[u] : kNotHex;
}

constexpr std::size_t kSlotSize = 32;

constexpr bool sameFormula(const Formula& a, const Formula& b)
{
    if (a.size != b.size)
        return false;
    for (int i = 0; i < a.size; ++i) {
        const Step x = a.steps[std::size_t(i)];
        const Step y = b.steps[std::size_t(i)];
        if (x.op != y.op || x.k != y.k)
            return false;
    }
    return true;
}

// For each channel of a two-digit field, its table: channels with one conversion share it.
struct Tables {
    std::array<std::size_t, kChannelCount> of{};
    std::size_t count = 0;
};

constexpr Tables kTables = [] {
    Tables t;
    std::array<std::size_t, kChannelCount> first{}; // a channel of each table
    for (std::size_t c = 0; c < kChannels.size(); ++c) {
        if (kChannels[c].len != 2)
            continue;
        std::size_t n = 0;
        while (n < t.count && !sameFormula(kChannels[first[n]].formula, kChannels[c].formula))
            ++n;
        if (n == t.count)
            first[t.count++] = c;
        t.of[c] = n;
    }
    return t;
}();

// A field of two digits is below 256, so a mask acts on its low byte alone.
constexpr unsigned indexMask(const Channel& ch) { return ch.mask == 0 ? 0xFF : ch.mask & 0xFF; }

// ,"caption": for each channel, a fixed-size block to copy.
struct Key {
    std::array<char, kSlotSize> text{};
    std::size_t size = 0;
};

constexpr std::array<Key, kChannelCount> kKeys = [] {
    std::array<Key, kChannelCount> keys{};
    for (std::size_t c = 0; c < kChannels.size(); ++c) {
        Key& k = keys[c];
        const auto put = [&k](char ch) { k.text[k.size++] = ch; };
        put(',');
        put('"');
        for (const char ch : kChannels[c].caption)
            put(ch);
        put('"');
        put(':');
    }
    return keys;
}();

// A key goes into its block as it stands: it must need no escape and fit.
static_assert([] {
    for (const Channel& ch : kChannels) {
        if (ch.caption.size() + 4 > kSlotSize)
            return false;
        for (const char c : ch.caption) {
            if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20)
                return false;
        }
    }
    return true;
}());

constexpr std::size_t kWidestField = 16;
static_assert(std::all_of(kChannels.begin(), kChannels.end(),
                          [](const Channel& ch) { return ch.len <= int(kWidestField); }));

template <NumberStyle style> char* appendValue(char* out, double value, std::string_view decimalPoint)
{
    if constexpr (style == NumberStyle::Json)
        return appendJsonNumber(out, value);
    out = appendCsvNumber(out, value, decimalPoint);
    *out++ = ';';
    return out;
}

// Calls step(std::integral_constant<std::size_t, c>{}) for every channel c in order, so that
// each channel's code is written out in place, its position and table fixed when compiled.
template <class Step, std::size_t... c> void forEachChannel(Step&& step, std::index_sequence<c...>)
{
    (step(std::integral_constant<std::size_t, c>{}), ...);
}

template <class Step> void forEachChannel(Step&& step)
{
    forEachChannel(step, std::make_index_sequence<kChannelCount>{});
}

// A field of five to seven plain hex digits reads as it stands, without prefix, sign or
// overflow; with no mask and no conversion, its value is that whole number.
constexpr bool isWholeField(const Channel& ch)
{
    return ch.len > 4 && ch.len <= 7 && ch.mask == 0 && ch.formula.size == 0;
}

// What appendValue makes of a whole number below 2^28.
template <NumberStyle style> char* appendWhole(char* out, std::uint32_t value)
{
    if constexpr (style == NumberStyle::Json)
        return appendJsonNumber(out, double(value));
    out = std::to_chars(out, out + kNumberRoom, value).ptr;
    *out++ = ';';
    return out;
}

// A field read the long way: a wide one, or one with other characters than hex digits.
template <NumberStyle style, class CharT>
char* appendField(char* out, const Channel& ch, const CharT* line, bool& plain, std::string_view decimalPoint)
{
    const CharT* const field = line + (ch.pos - 1);
    std::array<char16_t, kWidestField> wide{};
    for (std::size_t i = 0; i < std::size_t(ch.len); ++i) {
        wide[i] = static_cast<std::make_unsigned_t<CharT>>(field[i]);
        plain = plain && hexValue(field[i]) < 16;
    }
    return appendValue<style>(out, channelValue(ch, HexToDec({wide.data(), std::size_t(ch.len)})),
                              decimalPoint);
}

} // namespace

struct BeaconText::Slot {
    alignas(kSlotSize) char text[kSlotSize - 1];
    unsigned char size = 0; // 0: the text is made each time
};

char* appendCsvNumber(char* out, double value, std::string_view decimalPoint)
{
    // Whole numbers below 10^15 read the same in general text as in integer text.
    if (std::fabs(value) < 1e15) {
        const auto whole = static_cast<std::int64_t>(value);
        if (double(whole) == value)
            return std::to_chars(out, out + kNumberRoom, whole).ptr;
    }
    std::string text;
    appendGeneralText(text, value, decimalPoint);
    const std::size_t size = std::min(text.size(), kNumberRoom + decimalPoint.size());
    std::memcpy(out, text.data(), size);
    return out + size;
}

char* appendJsonNumber(char* out, double value)
{
    if (!std::isfinite(value)) {
        std::memcpy(out, "null", 4);
        return out + 4;
    }
    return std::to_chars(out, out + kJsonNumberRoom, value == 0 ? 0.0 : value).ptr;
}

BeaconText::BeaconText(NumberStyle style, std::string decimalPoint)
    : m_style(style)
    , m_decimalPoint(std::move(decimalPoint))
    , m_tables(std::make_unique<Slot[]>(kTables.count * 256))
{
    const std::size_t valueRoom =
        std::max({kSlotSize, kNumberRoom + m_decimalPoint.size() + 1, kJsonNumberRoom});
    m_room = kChannels.size() * (kSlotSize + valueRoom);
    for (std::size_t c = 0; c < kChannels.size(); ++c) {
        const Channel& ch = kChannels[c];
        if (ch.len != 2)
            continue;
        for (unsigned field = 0; field < 256; ++field) {
            // The value of the field once masked; the mask picks the slot.
            const double value = ch.formula.apply(double(field));
            char text[80];
            const char* const end = m_style == NumberStyle::Json
                                        ? appendValue<NumberStyle::Json>(text, value, m_decimalPoint)
                                        : appendValue<NumberStyle::Csv>(text, value, m_decimalPoint);
            const auto size = std::size_t(end - text);
            Slot& slot = m_tables[kTables.of[c] * 256 + field];
            if (size <= sizeof slot.text) {
                std::memcpy(slot.text, text, size);
                slot.size = static_cast<unsigned char>(size);
            }
        }
    }
}

BeaconText::~BeaconText() = default;

char* BeaconText::append(char* out, std::string_view line, bool& plain) const
{
    return m_style == NumberStyle::Json ? appendLine<NumberStyle::Json>(out, line.data(), plain)
                                        : appendLine<NumberStyle::Csv>(out, line.data(), plain);
}

char* BeaconText::append(char* out, std::u16string_view line, bool& plain) const
{
    return m_style == NumberStyle::Json ? appendLine<NumberStyle::Json>(out, line.data(), plain)
                                        : appendLine<NumberStyle::Csv>(out, line.data(), plain);
}

char* BeaconText::append(char* out, std::string_view line, bool& plain, std::uint32_t leftOut) const
{
    return m_style == NumberStyle::Json
               ? appendLine<NumberStyle::Json, true>(out, line.data(), plain, leftOut)
               : appendLine<NumberStyle::Csv, true>(out, line.data(), plain, leftOut);
}

template <NumberStyle style, bool someLeftOut, class CharT>
char* BeaconText::appendLine(char* out, const CharT* line, bool& plain, std::uint32_t leftOut) const
{
    static const Slot kNone{};
    // Every slot is looked up first, so that the loads are under way together before the
    // copying waits for them.
    const Slot* const tables = m_tables.get();
    std::array<const Slot*, kChannelCount> slots;
    std::array<unsigned, kChannelCount> sizes;
    forEachChannel([&](auto c) {
        constexpr const Channel& ch = kChannels[c];
        slots[c] = &kNone;
        if constexpr (ch.len == 2) {
            const unsigned hi = hexValue(line[ch.pos - 1]);
            const unsigned lo = hexValue(line[ch.pos]);
            if ((hi | lo) < 16)
                slots[c] = &tables[kTables.of[c] * 256 + ((hi << 4 | lo) & indexMask(ch))];
        }
        sizes[c] = slots[c]->size;
    });
    forEachChannel([&](auto c) {
        constexpr const Channel& ch = kChannels[c];
        // Fixed-size copies need no branch on the length; the room allows for them.
        if constexpr (style == NumberStyle::Json) {
            std::memcpy(out, kKeys[c].text.data(), kSlotSize);
            out += kKeys[c].size;
        }
        if constexpr (someLeftOut) {
            if ((leftOut >> c & 1) != 0) {
                constexpr std::string_view kLeftOut = style == NumberStyle::Json ? "null" : ";";
                out = std::copy(kLeftOut.begin(), kLeftOut.end(), out);
                return;
            }
        }
        if constexpr (isWholeField(ch)) {
            std::uint32_t read = 0;
            unsigned digits = 0;
            for (std::size_t i = 0; i < std::size_t(ch.len); ++i) {
                const unsigned d = hexValue(line[std::size_t(ch.pos - 1) + i]);
                digits |= d;
                read = read * 16 + (d & 15);
            }
            if (digits < 16) {
                out = appendWhole<style>(out, read);
                return;
            }
        } else if (sizes[c] != 0) {
            std::memcpy(out, slots[c]->text, kSlotSize);
            out += sizes[c];
            return;
        }
        out = appendField<style>(out, ch, line, plain, m_decimalPoint);
    });
    return out;
}

} // namespace orvik
