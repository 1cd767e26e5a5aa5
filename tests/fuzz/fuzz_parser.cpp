// SPDX-License-Identifier: GPL-3.0-or-later
// parseLog on any text: the count, the rows it writes and the rows it must leave alone.
#include "decoder/recordtable.h"
#include "tests/support/logtext.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {
namespace {

constexpr std::u16string_view kBreak = u"\r\n";

[[noreturn]] void fail(const char* what, int row)
{
    std::fprintf(stderr, "parseLog: %s (row %d)\n", what, row);
    std::abort();
}

bool sameBits(const Record& a, const Record& b)
{
    return std::memcmp(a.data(), b.data(), sizeof(double) * a.size()) == 0;
}

// A beacon line whose time and battery fields differ with n, so every row is distinct.
std::u16string beaconLine(int n)
{
    std::string line = "orv1 000000 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 "
                       "6e6f70717273 orv6 7480ff6e400000000000000000000000000000000";
    char time[8];
    std::snprintf(time, sizeof time, "%06x", unsigned(n * 4099));
    line.replace(5, 6, time);
    char volt[4];
    std::snprintf(volt, sizeof volt, "%02x", unsigned(n));
    line.replace(31, 2, volt);
    return {line.begin(), line.end()};
}

// A table that a full log of 100 distinct records went through.
const RecordTable& filledTable()
{
    static const RecordTable table = [] {
        std::u16string log;
        for (int n = 1; n <= RecordTable::kMaxRecords; ++n) {
            log += beaconLine(n);
            log += kBreak;
        }
        RecordTable t;
        testsupport::parseCrLfLog(log, t);
        if (t.count() != RecordTable::kMaxRecords)
            fail("the fixed log did not fill the table", t.count());
        return t;
    }();
    return table;
}

// The beacon lines of the text, split at CR LF only, decoded one by one.
std::vector<Record> expectedRecords(std::u16string_view text)
{
    std::vector<Record> records;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(kBreak, start);
        const std::u16string_view line =
            end == std::u16string_view::npos ? text.substr(start) : text.substr(start, end - start);
        if (isBeaconLine(line)) {
            Record r{};
            decodeBeaconLine(line, r);
            records.push_back(r);
        }
        if (end == std::u16string_view::npos)
            return records;
        start = end + kBreak.size();
    }
}

void check(std::u16string_view text)
{
    const std::vector<Record> expected = expectedRecords(text);
    const int expectedCount = int(std::min<std::size_t>(expected.size(), RecordTable::kMaxRecords));

    // On the heap and alone, so that a write past row 100 lands in ASan's red zone.
    const auto fresh = std::make_unique<RecordTable>();
    testsupport::parseCrLfLog(text, *fresh);
    const auto reused = std::make_unique<RecordTable>(filledTable());
    testsupport::parseCrLfLog(text, *reused);

    for (const RecordTable* t : {fresh.get(), reused.get()}) {
        if (t->count() < 0 || t->count() > RecordTable::kMaxRecords)
            fail("count out of range", t->count());
        if (t->count() != expectedCount)
            fail("count differs from the beacon lines of the text", t->count());
        if (!sameBits(t->row(0), Record{}))
            fail("row 0 was written", 0);
        for (int row = 1; row <= t->count(); ++row) {
            if (!sameBits(t->row(row), expected[std::size_t(row - 1)]))
                fail("row differs from its decoded beacon line", row);
        }
    }
    for (int row = reused->count() + 1; row <= RecordTable::kMaxRecords; ++row) {
        if (!sameBits(reused->row(row), filledTable().row(row)))
            fail("row above the count lost what the earlier parse left", row);
    }
}

} // namespace
} // namespace orvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::u16string widened(data, data + size);
    orvik::check(widened);

    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    orvik::check(units);
    return 0;
}
