// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Corpora for measuring recovery: true beacons, the log their copies make, and for each line
// of the log which beacons' text lies on it, where.

#include "cwcopy.h"
#include "decoder/beacon.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvik::bench {

// The two-digit fields of a beacon line, in line order; the on-board time stands before them.
inline constexpr std::array<int, 24> kBytePositions{18, 20, 22, 24, 32, 34, 36, 44, 46, 48, 50, 52,
                                                    54, 62, 64, 66, 68, 70, 72, 80, 82, 84, 86, 88};
// Where no field is read: between the fields, and the tail.
inline constexpr std::array<int, 11> kSeparatorPositions{5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79};
inline constexpr int kTailFirst = 90;
inline constexpr int kTailLength = kBeaconLength - kTailFirst + 1;

// What a beacon sends, as numbers.
struct Beacon {
    std::uint32_t time = 0; // on-board time, 24 bits
    std::array<std::uint8_t, kBytePositions.size()> bytes{};
};

// What stands where no field is read.
struct LineFormat {
    std::array<char, kSeparatorPositions.size()> separators{};
    std::array<char, kTailLength> tail{};
};

// The beacon line, lower case, 120 characters.
std::string beaconLine(const Beacon& beacon, const LineFormat& format);
// The values the beacon sends, from its numbers by the channel table.
Record valuesOf(const Beacon& beacon);
// A character drawn from what may stand where no field is read: blanks most often, as
// decoders print word spaces, then ".", "-", "/", letters and hex digits.
char filler(Random& random);
// Blanks between the fields and `tailFill` in the tail.
LineFormat blankFormat(char tailFill);
// Separators and a tail drawn from blanks, ".", "-", "/", letters and hex digits; tails that
// now and then hold a frame tag's text, and end in a blank.
LineFormat variedFormat(Random& random);

// How a line of the log ends: the text goes on at the next line, with or without the blank
// that a word wrap took away, or not.
enum class Break : std::uint8_t { End, Joined, JoinedBlank };

// Text of one copy of a true beacon on a line: `length` characters from `offset` of the line
// are those from `from` of the copy as heard.
struct Span {
    std::uint32_t beacon = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t from = 0;
};

// A copy of a true beacon in the log, and the lines it runs over, numbered from 1.
struct LoggedCopy {
    std::uint32_t beacon = 0;
    std::uint64_t line = 0;
    std::uint64_t lastLine = 0;
};

struct Corpus {
    std::vector<std::string> sent; // each true beacon's line
    std::vector<Record> truth;     // its values
    std::vector<std::uint32_t> passOf;
    std::vector<std::string> lines;          // the log, one string a line, numbered from 1 by the scorer
    std::vector<Break> breaks;               // after each line
    std::vector<std::uint32_t> firstSpan{0}; // line i's spans: [firstSpan[i], firstSpan[i + 1])
    std::vector<Span> spans;

    void addBeacon(const Beacon& beacon, const LineFormat& format, std::uint32_t pass);
    void addLine(std::string text, Break after, std::span<const Span> onIt);
    // A line that holds one copy alone.
    void addCopy(std::uint32_t beacon, std::string text);
    // Every copy in the log, in the order they begin.
    std::vector<LoggedCopy> copies() const;
    std::span<const Span> spansOf(std::size_t line) const
    {
        return std::span(spans).subspan(firstSpan[line], firstSpan[line + 1] - firstSpan[line]);
    }
};

// A copy as heard, before it is laid out in lines.
struct Heard {
    std::uint32_t beacon = 0;
    std::string text;
};

// Heard copies of a pass, written as a CW decoder writes a running text: several to a line
// between blanks or other text, wrapped at 80 columns (hard, or at a blank), or one copy
// over two or three lines.
void addStream(Corpus& corpus, std::span<const Heard> copies, Random& random);

enum class Layout : std::uint8_t {
    Blank,  // blanks between the fields, a tail of hex digits, one copy a line
    Varied, // separators and tails as the format allows, one copy a line
    Stream, // varied lines, written as a running text
};

struct CorpusOptions {
    Layout layout = Layout::Blank;
    std::size_t beacons = 10000;
    double rate = 0.02; // of characters at fault
    int copies = 1;     // of each beacon, from as many stations
    std::uint64_t seed = 1;
};

// Beacons a minute apart with random fields, in passes of kPassBeacons; each station's log of
// a pass follows the other's, as logs of one pass are put together.
inline constexpr std::size_t kPassBeacons = 30;
Corpus makeCorpus(const CorpusOptions& options);

} // namespace orvik::bench
