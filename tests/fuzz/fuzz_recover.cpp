// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery on any lines: every record it gives keeps its promises. A written value is
// the strict decoding of its field in the record's line, whose characters are all hex
// digits; a value left out is NaN and says why; each record names copies it really took.
#include "decoder/hexconv.h"
#include "decoder/recover.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {
namespace {

[[noreturn]] void fail(const char* what, int channel)
{
    std::fprintf(stderr, "recover: %s (channel %d)\n", what, channel);
    std::abort();
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

void check(const RecoveredRecord& r, std::uint64_t lines)
{
    if (r.copies.empty())
        fail("a record of no copy", -1);
    for (const CopySource& c : r.copies) {
        if (c.line < 1 || c.line > lines)
            fail("a copy from no line of the input", -1);
    }
    for (const VoteChange& v : r.changes) {
        if (v.copy >= r.copies.size() || v.position < 1 || v.position > kBeaconLength)
            fail("a vote change outside the record", -1);
    }
    if (r.line.size() != std::size_t(kBeaconLength))
        fail("a record line that is no beacon's length", -1);
    const std::u16string line(r.line.begin(), r.line.end());
    Record strict{};
    decodeBeaconLine(line, strict);
    for (int c = 0; c < kChannelCount; ++c) {
        const Channel& ch = kChannels[std::size_t(c)];
        const double v = r.values[std::size_t(c)];
        if (!r.written(c)) {
            if (!std::isnan(v))
                fail("a value left out that holds a number", c);
            continue;
        }
        for (int i = 0; i < ch.len; ++i) {
            if (!isHex(r.line[std::size_t(ch.pos - 1 + i)]))
                fail("a written value from a field that is not all hex digits", c);
        }
        if (std::memcmp(&v, &strict[std::size_t(c)], sizeof v) != 0)
            fail("a written value that differs from its field's decoding", c);
    }
}

} // namespace
} // namespace orvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A small window, so that records also close while lines still come.
    orvik::Recoverer recoverer(8);
    std::uint64_t lines = 0;
    orvik::RecoveredRecord record;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view l = text.substr(start, end - start);
        const std::u16string wide(l.begin(), l.end());
        recoverer.add(std::u16string_view(wide), orvik::CopySource{0, ++lines});
        while (recoverer.take(record, false))
            orvik::check(record, lines);
        start = end + 1;
    }
    while (recoverer.take(record, true))
        orvik::check(record, lines);
    return 0;
}
