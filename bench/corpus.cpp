// SPDX-License-Identifier: GPL-3.0-or-later
#include "corpus.h"

#include <algorithm>
#include <string_view>

namespace orvik::bench {

namespace {

constexpr std::string_view kHex = "0123456789abcdef";

constexpr int byteIndex(int pos)
{
    for (std::size_t i = 0; i < kBytePositions.size(); ++i) {
        if (kBytePositions[i] == pos)
            return int(i);
    }
    return -1;
}

constexpr int kTimePos = 6;
static_assert(std::all_of(kChannels.begin(), kChannels.end(), [](const Channel& ch) {
    return ch.pos == kTimePos ? ch.len == 6 : ch.len == 2 && byteIndex(ch.pos) >= 0;
}));

void put(std::string& line, int pos, int len, std::uint32_t value)
{
    for (int i = len - 1; i >= 0; --i, value >>= 4)
        line[std::size_t(pos - 1 + i)] = kHex[value & 15];
}

} // namespace

char filler(Random& random)
{
    const double u = random.uniform();
    if (u < 0.3)
        return ' ';
    if (u < 0.4)
        return '.';
    if (u < 0.5)
        return '-';
    if (u < 0.6)
        return '/';
    if (u < 0.8)
        return char('a' + random.below(26));
    return kHex[random.below(kHex.size())];
}

namespace {

void fillTail(LineFormat& f, Random& random)
{
    static constexpr std::array<std::string_view, 4> kWords{"de orvik ", "k ", "tlm ", "73 "};
    const double kind = random.uniform();
    if (kind < 0.35) {
        for (char& t : f.tail)
            t = kHex[random.below(kHex.size())];
    } else if (kind < 0.7) {
        for (char& t : f.tail)
            t = filler(random);
    } else if (kind < 0.85) {
        f.tail.fill(filler(random));
    } else {
        std::string text;
        while (text.size() < f.tail.size())
            text += kWords[random.below(kWords.size())];
        std::copy_n(text.begin(), f.tail.size(), f.tail.begin());
    }
}

} // namespace

std::string beaconLine(const Beacon& beacon, const LineFormat& format)
{
    std::string line(std::size_t(kBeaconLength), ' ');
    for (const FrameTag& f : kFrameTags) {
        for (std::size_t i = 0; i < f.tag.size(); ++i)
            line[std::size_t(f.pos - 1) + i] = char(f.tag[i]);
    }
    put(line, kTimePos, 6, beacon.time & 0xFFFFFF);
    for (std::size_t i = 0; i < kBytePositions.size(); ++i)
        put(line, kBytePositions[i], 2, beacon.bytes[i]);
    for (std::size_t i = 0; i < kSeparatorPositions.size(); ++i)
        line[std::size_t(kSeparatorPositions[i] - 1)] = format.separators[i];
    std::copy(format.tail.begin(), format.tail.end(), line.begin() + (kTailFirst - 1));
    return line;
}

Record valuesOf(const Beacon& beacon)
{
    Record r{};
    for (std::size_t c = 0; c < kChannels.size(); ++c) {
        const Channel& ch = kChannels[c];
        const auto field = ch.pos == kTimePos ? std::int32_t(beacon.time & 0xFFFFFF)
                                              : std::int32_t(beacon.bytes[std::size_t(byteIndex(ch.pos))]);
        r[c] = channelValue(ch, field);
    }
    return r;
}

LineFormat blankFormat(char tailFill)
{
    LineFormat f;
    f.separators.fill(' ');
    f.tail.fill(tailFill);
    return f;
}

LineFormat variedFormat(Random& random)
{
    LineFormat f;
    // Half the lines keep one separator throughout, as a decoder that prints "/" for a gap.
    const bool one = random.below(2) == 0;
    const char common = filler(random);
    for (char& s : f.separators)
        s = one ? common : filler(random);
    fillTail(f, random);
    if (random.uniform() < 0.2) {
        const std::string tag = "orv" + std::string(1, char('1' + random.below(6)));
        std::copy(tag.begin(), tag.end(), f.tail.begin() + long(random.below(f.tail.size() - 3)));
    }
    if (random.uniform() < 0.15)
        f.tail.back() = ' ';
    return f;
}

void Corpus::addBeacon(const Beacon& beacon, const LineFormat& format, std::uint32_t pass)
{
    sent.push_back(beaconLine(beacon, format));
    truth.push_back(valuesOf(beacon));
    passOf.push_back(pass);
}

void Corpus::addLine(std::string text, Break after, std::span<const Span> onIt)
{
    lines.push_back(std::move(text));
    breaks.push_back(after);
    spans.insert(spans.end(), onIt.begin(), onIt.end());
    firstSpan.push_back(std::uint32_t(spans.size()));
}

void Corpus::addCopy(std::uint32_t beacon, std::string text)
{
    const Span s{beacon, 0, std::uint32_t(text.size()), 0};
    addLine(std::move(text), Break::End, std::span(&s, 1));
}

std::vector<LoggedCopy> Corpus::copies() const
{
    std::vector<LoggedCopy> out;
    std::vector<std::size_t> open(sent.size(), SIZE_MAX); // each beacon's copy last begun
    for (std::size_t line = 0; line + 1 < firstSpan.size(); ++line) {
        for (const Span& s : spansOf(line)) {
            if (s.from == 0 || open[s.beacon] == SIZE_MAX) {
                open[s.beacon] = out.size();
                out.push_back({s.beacon, line + 1, line + 1});
            } else {
                out[open[s.beacon]].lastLine = line + 1;
            }
        }
    }
    return out;
}

Corpus makeCorpus(const CorpusOptions& o)
{
    Random random(o.seed);
    // Time miscopies draw apart, so the blank corpus's beacons and CW errors stay as they were.
    Random slips(o.seed ^ 0x5BD1E995u);
    Corpus c;
    const auto start = std::uint32_t(random.below(0x800000));
    for (std::size_t b = 0; b < o.beacons; ++b) {
        Beacon beacon;
        beacon.time = start + std::uint32_t(b) * 60;
        for (std::uint8_t& byte : beacon.bytes) {
            const auto hi = random.below(16);
            byte = std::uint8_t(hi * 16 + random.below(16));
        }
        LineFormat format = blankFormat('0');
        if (o.layout == Layout::Blank) {
            for (char& t : format.tail)
                t = kHex[random.below(kHex.size())];
        } else {
            format = variedFormat(random);
        }
        c.addBeacon(beacon, format, std::uint32_t(b / kPassBeacons));
    }
    for (std::size_t pass = 0; pass < o.beacons; pass += kPassBeacons) {
        for (int k = 0; k < o.copies; ++k) {
            std::vector<Heard> heard;
            for (std::size_t b = pass; b < std::min(o.beacons, pass + kPassBeacons); ++b) {
                std::string text = c.sent[b];
                if (slips.uniform() < timeMiscopyRate(o.rate))
                    text = withTimeMiscopied(std::move(text), slips);
                heard.push_back({std::uint32_t(b), hear(text, o.rate, random)});
            }
            if (o.layout == Layout::Stream) {
                addStream(c, heard, random);
                continue;
            }
            for (Heard& h : heard)
                c.addCopy(h.beacon, std::move(h.text));
        }
    }
    return c;
}

} // namespace orvik::bench
