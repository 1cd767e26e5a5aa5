// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon.h"

#include "hexconv.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvik {

namespace {

// Only ASCII letters can turn into a frame tag, so folding ASCII alone decides every test
// exactly as a full lower-casing would.
bool hasFrameTags(std::u16string_view line)
{
    for (const FrameTag& f : kFrameTags) {
        for (std::size_t i = 0; i < f.tag.size(); ++i) {
            const char16_t c = line[std::size_t(f.pos - 1) + i];
            if (((c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c) != f.tag[i])
                return false;
        }
    }
    return true;
}

struct TagWord {
    std::uint32_t tag;  // the four characters as they lie in memory
    std::uint32_t fold; // 0x20 over each letter
};

constexpr std::array<TagWord, kFrameTags.size()> kTagWords = [] {
    std::array<TagWord, kFrameTags.size()> words{};
    for (std::size_t f = 0; f < kFrameTags.size(); ++f) {
        std::array<unsigned char, 4> tag{};
        std::array<unsigned char, 4> fold{};
        for (std::size_t i = 0; i < tag.size(); ++i) {
            const char16_t t = kFrameTags[f].tag[i];
            tag[i] = static_cast<unsigned char>(t);
            fold[i] = (t >= u'a' && t <= u'z') ? 0x20 : 0;
        }
        words[f] = {std::bit_cast<std::uint32_t>(tag), std::bit_cast<std::uint32_t>(fold)};
    }
    return words;
}();
static_assert(std::all_of(kFrameTags.begin(), kFrameTags.end(), [](const FrameTag& f) {
    return f.tag.size() == 4 && std::all_of(f.tag.begin(), f.tag.end(), [](char16_t c) { return c < 0x80; });
}));

} // namespace

bool isBeaconLine(std::u16string_view line)
{
    return line.size() == std::size_t(kBeaconLength) && hasFrameTags(line);
}

bool isBeaconLine(std::string_view line)
{
    if (line.size() != std::size_t(kBeaconLength))
        return false;
    // Four characters at a time, without a branch: c | 0x20 is a tag's lower-case letter for
    // exactly its two cases, and the digit is compared as it stands.
    std::uint32_t differ = 0;
    for (std::size_t f = 0; f < kFrameTags.size(); ++f) {
        std::uint32_t word;
        std::memcpy(&word, line.data() + kFrameTags[f].pos - 1, sizeof word);
        differ |= (word | kTagWords[f].fold) ^ kTagWords[f].tag;
    }
    return differ == 0;
}

void decodeBeaconLine(std::u16string_view line, Record& out)
{
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        out[std::size_t(c)] = channelValue(ch, HexToDec(channelField(line, ch)));
    }
}

} // namespace orvik
