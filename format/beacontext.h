// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/beacon.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orvik {

// The general text of a double as the CSV export writes it, with the given separator:
// kNumberRoom + decimalPoint.size() bytes at most. Returns the end of the text.
constexpr std::size_t kNumberRoom = 24;
char* appendCsvNumber(char* out, double value, std::string_view decimalPoint);

// The shortest text that reads back as the same double; "null" for what JSON cannot hold.
constexpr std::size_t kJsonNumberRoom = 32;
char* appendJsonNumber(char* out, double value);

enum class NumberStyle { Csv, Json };

// Writes the values of beacon lines as text straight from their fields, byte for byte as the
// numbers of the decoded record would be written. A channel read from two plain hex digits
// has 256 possible values, so each one's text is made once, at the start.
class BeaconText {
public:
    // CSV: every value followed by ";"; JSON: every value after ,"caption":
    BeaconText(NumberStyle style, std::string decimalPoint);
    ~BeaconText();

    // Room that the values of one line may take.
    std::size_t room() const { return m_room; }

    // Appends the values of a beacon line (isBeaconLine holds), in channel order. A line of
    // bytes must be ASCII. `plain` is cleared when a field holds other characters than hex
    // digits.
    char* append(char* out, std::string_view line, bool& plain) const;
    char* append(char* out, std::u16string_view line, bool& plain) const;
    // The same for a line whose channels in `leftOut` (bit c for channel c) hold no value:
    // an empty CSV field, or null in JSON.
    char* append(char* out, std::string_view line, bool& plain, std::uint32_t leftOut) const;

private:
    struct Slot;

    template <NumberStyle style, bool someLeftOut = false, class CharT>
    char* appendLine(char* out, const CharT* line, bool& plain, std::uint32_t leftOut = 0) const;

    NumberStyle m_style;
    std::string m_decimalPoint;
    std::size_t m_room = 0;
    // The texts of a two-digit field's 256 values, 256 slots for each conversion; a slot
    // that stays empty is for a text too long for it, which is made each time.
    std::unique_ptr<Slot[]> m_tables;
};

} // namespace orvik
