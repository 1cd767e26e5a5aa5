// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery on any lines: every record it gives keeps its promises. A written value is
// the strict decoding of its field in the record's line, whose characters are all hex
// digits; a value left out is NaN and says why; each record names copies it really took; and
// ASCII lines given as bytes give the records they give as text.
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

// Every record of the text's lines, each checked. ASCII lines go in as bytes when `bytes` is
// set, which a clean line takes a shorter way; any other line goes in as UTF-16 text.
std::vector<RecoveredRecord> recover(std::string_view text, bool bytes)
{
    // A small window, so that records also close while lines still come.
    Recoverer recoverer(8);
    std::uint64_t lines = 0;
    std::vector<RecoveredRecord> records;
    RecoveredRecord record;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view l = text.substr(start, end - start);
        const bool ascii =
            std::all_of(l.begin(), l.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        std::u16string wide;
        for (const char c : l)
            wide += char16_t(static_cast<unsigned char>(c));
        if (bytes && ascii)
            recoverer.add(l, CopySource{0, ++lines});
        else
            recoverer.add(std::u16string_view(wide), CopySource{0, ++lines});
        while (recoverer.take(record, orvik::Recoverer::Ready::Passed)) {
            check(record, lines);
            records.push_back(record);
        }
        start = end + 1;
    }
    while (recoverer.take(record, orvik::Recoverer::Ready::All)) {
        check(record, lines);
        records.push_back(record);
    }
    return records;
}

bool same(const RecoveredRecord& a, const RecoveredRecord& b)
{
    const auto sameCopies = [](const CopySource& x, const CopySource& y) { return x.line == y.line; };
    const auto sameChanges = [](const VoteChange& x, const VoteChange& y) {
        return x.copy == y.copy && x.position == y.position && x.from == y.from && x.to == y.to;
    };
    return std::memcmp(a.values.data(), b.values.data(), sizeof a.values) == 0 && a.leftOut == b.leftOut &&
           a.line == b.line &&
           std::equal(a.copies.begin(), a.copies.end(), b.copies.begin(), b.copies.end(), sameCopies) &&
           std::equal(a.changes.begin(), a.changes.end(), b.changes.begin(), b.changes.end(), sameChanges);
}

} // namespace
} // namespace orvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<orvik::RecoveredRecord> asText = orvik::recover(text, false);
    const std::vector<orvik::RecoveredRecord> asBytes = orvik::recover(text, true);
    if (!std::equal(asText.begin(), asText.end(), asBytes.begin(), asBytes.end(), orvik::same))
        orvik::fail("lines given as bytes give other records than as text", -1);
    return 0;
}
