// SPDX-License-Identifier: GPL-3.0-or-later
#include "beacon.h"

#include "hexconv.h"

namespace orvik {

namespace {

char16_t lower(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; }

// Only ASCII letters can turn into a frame tag or a hex digit, so folding ASCII alone
// decides every test exactly as a full lower-casing would.
void lowerInto(std::u16string_view line, std::array<char16_t, kBeaconLength>& buf)
{
    for (std::size_t i = 0; i < buf.size(); ++i)
        buf[i] = lower(line[i]);
}

bool hasFrameTags(std::u16string_view lowered)
{
    for (const FrameTag& f : kFrameTags) {
        if (lowered.substr(std::size_t(f.pos - 1), f.tag.size()) != f.tag)
            return false;
    }
    return true;
}

} // namespace

bool isBeaconLine(std::u16string_view line)
{
    if (line.size() != std::size_t(kBeaconLength))
        return false;
    std::array<char16_t, kBeaconLength> buf;
    lowerInto(line, buf);
    return hasFrameTags({buf.data(), buf.size()});
}

void decodeBeaconLine(std::u16string_view line, Record& out)
{
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        // Two's-complement AND on the signed value, as an integer mask is applied.
        std::int32_t value = HexToDec(channelField(line, ch));
        if (ch.mask != 0)
            value = std::int32_t(std::uint32_t(value) & ch.mask);
        out[std::size_t(c)] = ch.formula.apply(double(value));
    }
}

} // namespace orvik
