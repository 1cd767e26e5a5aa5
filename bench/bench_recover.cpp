// SPDX-License-Identifier: GPL-3.0-or-later
// Recall and wrong values of the strict decoder and of the recovery, on beacons copied with
// the errors of CW heard in noise.
//   bench_recover [BEACONS] [SEED]               the table
//   bench_recover --corpus BEACONS RATE COPIES   a corpus of copies on standard output
#include "decoder/beacon.h"
#include "decoder/recover.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace orvik;

class Random {
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed * 0x9E3779B97F4A7C15u + 1)
    {}
    std::uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Du;
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    std::size_t below(std::size_t n) { return std::size_t(next() % n); }

private:
    std::uint64_t m_state;
};

// International Morse code of the characters a beacon is sent in.
constexpr std::array<std::pair<char, std::string_view>, 36> kMorse{
    {{'a', ".-"}, {'b', "-..."}, {'c', "-.-."}, {'d', "-.."}, {'e', "."}, {'f', "..-."},
     {'g', "--."}, {'h', "...."}, {'i', ".."}, {'j', ".---"}, {'k', "-.-"}, {'l', ".-.."},
     {'m', "--"}, {'n', "-."}, {'o', "---"}, {'p', ".--."}, {'q', "--.-"}, {'r', ".-."},
     {'s', "..."}, {'t', "-"}, {'u', "..-"}, {'v', "...-"}, {'w', ".--"}, {'x', "-..-"},
     {'y', "-.--"}, {'z', "--.."}, {'0', "-----"}, {'1', ".----"}, {'2', "..---"}, {'3', "...--"},
     {'4', "....-"}, {'5', "....."}, {'6', "-...."}, {'7', "--..."}, {'8', "---.."}, {'9', "----."}}
};

char fromMorse(std::string_view pattern)
{
    for (const auto& [c, p] : kMorse) {
        if (p == pattern)
            return c;
    }
    return 0;
}

// The characters whose pattern is this one's with one element more, one less, or one changed.
std::vector<char> similar(char c)
{
    std::string_view pattern;
    for (const auto& [ch, p] : kMorse) {
        if (ch == c)
            pattern = p;
    }
    std::vector<char> out;
    const auto take = [&](const std::string& p) {
        const char d = fromMorse(p);
        if (d != 0 && d != c && std::find(out.begin(), out.end(), d) == out.end())
            out.push_back(d);
    };
    for (std::size_t i = 0; i <= pattern.size(); ++i) {
        for (const char e : {'.', '-'})
            take(std::string(pattern.substr(0, i)) + e + std::string(pattern.substr(i)));
    }
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        take(std::string(pattern.substr(0, i)) + std::string(pattern.substr(i + 1)));
        std::string flipped(pattern);
        flipped[i] = flipped[i] == '.' ? '-' : '.';
        take(flipped);
    }
    return out;
}

const std::array<std::vector<char>, 128>& similarTable()
{
    static const std::array<std::vector<char>, 128> table = [] {
        std::array<std::vector<char>, 128> t;
        for (const auto& [c, p] : kMorse)
            t[std::size_t(c)] = similar(c);
        return t;
    }();
    return table;
}

// A beacon as sent: fields of random hex digits, the on-board time a minute on per beacon.
std::string makeBeacon(Random& random, std::uint32_t time)
{
    static const char hex[] = "0123456789abcdef";
    std::string line = "orv1 000000 orv2 00000000 orv3 000000 orv4 000000000000 orv5 000000000000 orv6 "
                       "00000000000000000000000000000000000000000";
    const auto fill = [&](std::size_t pos, std::size_t len) {
        for (std::size_t i = 0; i < len; ++i)
            line[pos - 1 + i] = hex[random.below(16)];
    };
    for (int i = 0; i < 6; ++i)
        line[std::size_t(5 + i)] = hex[(time >> (4 * (5 - i))) & 15];
    fill(18, 8);
    fill(32, 6);
    fill(44, 12);
    fill(62, 12);
    fill(80, 41);
    return line;
}

// One copy as heard: each character is at fault with probability `rate`. A blank is lost or
// doubled; another character is lost, doubled, heard as a similar pattern, or followed by a
// blank that was not sent. Half the copies come in upper case, as many decoders print.
std::string hear(const std::string& sent, double rate, Random& random)
{
    std::string out;
    out.reserve(sent.size() + 8);
    for (const char c : sent) {
        if (random.uniform() >= rate) {
            out += c;
            continue;
        }
        const double kind = random.uniform();
        if (c == ' ') {
            if (kind < 0.4)
                out += "  ";
            continue;
        }
        if (kind < 0.25)
            continue;
        if (kind < 0.4) {
            out += c;
            out += c;
        } else if (kind < 0.85) {
            const std::vector<char>& near = similarTable()[std::size_t(c)];
            out += near.empty() ? c : near[random.below(near.size())];
        } else {
            out += c;
            out += ' ';
        }
    }
    if (random.below(2) == 0) {
        for (char& c : out)
            c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

struct Corpus {
    std::vector<std::string> beacons;
    std::vector<std::string> lines;
    std::vector<std::size_t> beaconOf; // of each line
};

// Beacons come in passes of kPassBeacons; each station's log of a pass follows the other's,
// as logs of one pass are put together.
constexpr std::size_t kPassBeacons = 30;

Corpus makeCorpus(std::size_t beacons, double rate, int copies, std::uint64_t seed)
{
    Random random(seed);
    Corpus c;
    const auto start = std::uint32_t(random.below(0x800000));
    for (std::size_t b = 0; b < beacons; ++b)
        c.beacons.push_back(makeBeacon(random, start + std::uint32_t(b) * 60));
    for (std::size_t pass = 0; pass < beacons; pass += kPassBeacons) {
        for (int k = 0; k < copies; ++k) {
            for (std::size_t b = pass; b < std::min(beacons, pass + kPassBeacons); ++b) {
                c.lines.push_back(hear(c.beacons[b], rate, random));
                c.beaconOf.push_back(b);
            }
        }
    }
    return c;
}

std::u16string wide(std::string_view s) { return std::u16string(s.begin(), s.end()); }

bool same(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

struct Score {
    double recall = 0;
    double wrong = 0;
};

Score strictScore(const Corpus& c, const std::vector<Record>& truth)
{
    std::vector<bool> counted(c.beacons.size());
    std::uint64_t right = 0;
    std::uint64_t written = 0;
    std::uint64_t wrong = 0;
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
        const std::u16string line = wide(c.lines[i]);
        if (!isBeaconLine(line))
            continue;
        Record r;
        decodeBeaconLine(line, r);
        const std::size_t b = c.beaconOf[i];
        for (int ch = 0; ch < kChannelCount; ++ch) {
            const bool ok = same(r[std::size_t(ch)], truth[b][std::size_t(ch)]);
            ++written;
            wrong += !ok;
            right += ok && !counted[b];
        }
        counted[b] = true;
    }
    return {double(right) / double(c.beacons.size() * kChannelCount),
            written == 0 ? 0 : double(wrong) / double(written)};
}

Score recoverScore(const Corpus& c, const std::vector<Record>& truth)
{
    Recoverer recoverer;
    for (std::size_t i = 0; i < c.lines.size(); ++i)
        recoverer.add(std::string_view(c.lines[i]), {0, i + 1});
    // A beacon counts by the record that holds most of its copies.
    std::vector<std::uint64_t> bestRight(c.beacons.size());
    std::vector<std::size_t> bestCopies(c.beacons.size());
    std::uint64_t written = 0;
    std::uint64_t wrong = 0;
    RecoveredRecord r;
    while (recoverer.take(r, true)) {
        std::vector<std::size_t> of;
        for (const CopySource& s : r.copies)
            of.push_back(c.beaconOf[std::size_t(s.line - 1)]);
        std::size_t b = of.front();
        std::size_t most = 0;
        for (const std::size_t x : of) {
            const auto n = std::size_t(std::count(of.begin(), of.end(), x));
            if (n > most) {
                most = n;
                b = x;
            }
        }
        std::uint64_t right = 0;
        for (int ch = 0; ch < kChannelCount; ++ch) {
            if (!r.written(ch))
                continue;
            const bool ok = same(r.values[std::size_t(ch)], truth[b][std::size_t(ch)]);
            ++written;
            wrong += !ok;
            right += ok;
        }
        if (most > bestCopies[b]) {
            bestCopies[b] = most;
            bestRight[b] = right;
        }
    }
    std::uint64_t right = 0;
    for (const std::uint64_t n : bestRight)
        right += n;
    return {double(right) / double(c.beacons.size() * kChannelCount),
            written == 0 ? 0 : double(wrong) / double(written)};
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--corpus") == 0) {
        const std::size_t beacons = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 100000;
        const double rate = argc > 3 ? std::atof(argv[3]) : 0.02;
        const int copies = argc > 4 ? std::atoi(argv[4]) : 3;
        const Corpus c = makeCorpus(beacons, rate, copies, 7);
        for (const std::string& line : c.lines)
            std::printf("%s\n", line.c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    const std::size_t beacons = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 20000;
    const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    std::printf("recovery: %zu beacons a row; recall = true values written exactly, wrong = written "
                "values that are wrong\n",
                beacons);
    std::printf("%-7s %-6s %13s %13s %13s %13s\n", "errors", "copies", "strict recall", "strict wrong",
                "recover recall", "recover wrong");
    for (const double rate : {0.005, 0.01, 0.02, 0.05}) {
        for (int copies = 1; copies <= 3; ++copies) {
            const Corpus c = makeCorpus(beacons, rate, copies, seed);
            std::vector<Record> truth(c.beacons.size());
            for (std::size_t b = 0; b < c.beacons.size(); ++b)
                decodeBeaconLine(wide(c.beacons[b]), truth[b]);
            const Score s = strictScore(c, truth);
            const Score r = recoverScore(c, truth);
            std::printf("%5.1f %% %6d %12.2f %% %12.3f %% %13.2f %% %12.3f %%\n", rate * 100, copies,
                        s.recall * 100, s.wrong * 100, r.recall * 100, r.wrong * 100);
        }
    }
    return 0;
}
