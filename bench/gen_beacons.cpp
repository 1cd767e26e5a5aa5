// SPDX-License-Identifier: GPL-3.0-or-later
// Writes N lines with varied fields to standard output: gen_beacons [N] [seed] [damaged].
// All are beacon lines unless damaged is given: then every damaged-th line is spoilt in
// turn by a non-hex field (still decoded), a trailing blank and a lost frame tag. The
// on-board time counts up as a satellite's does, a beacon every 16 s, so that a million
// fit in its 24 bits; the other fields are drawn at random.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char* argv[])
{
    const long long count = argc > 1 ? std::atoll(argv[1]) : 1000000;
    std::uint64_t state = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const long long damaged = argc > 3 ? std::atoll(argv[3]) : 0;
    const auto next = [&state] {
        // xorshift64*: fast, and the same lines for the same seed on every machine.
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Du;
    };
    static const char hex[] = "0123456789abcdef";
    const auto fill = [&](std::string& line, std::size_t pos, std::size_t len) {
        std::uint64_t bits = next();
        for (std::size_t i = 0; i < len; ++i, bits >>= 4)
            line[pos - 1 + i] = hex[bits & 15];
    };

    std::string line = "orv1 000000 orv2 00000000 orv3 000000 orv4 000000000000 orv5 000000000000 orv6 "
                       "00000000000000000000000000000000000000000\n";
    std::string out;
    out.reserve(1 << 20);
    constexpr std::uint32_t kPeriod = 16;
    for (long long n = 0; n < count; ++n) {
        const std::uint32_t onBoard = std::uint32_t(n) * kPeriod & 0xFFFFFFu;
        for (int i = 0; i < 6; ++i)
            line[5 + std::size_t(i)] = hex[onBoard >> (4 * (5 - i)) & 15];
        fill(line, 18, 8);
        fill(line, 32, 6);
        fill(line, 44, 12);
        fill(line, 62, 12);
        fill(line, 80, 10);
        if (damaged > 0 && (n + 1) % damaged == 0) {
            std::string spoilt = line;
            switch ((n + 1) / damaged % 3) {
            case 0: spoilt.replace(35, 2, "zz"); break;
            case 1: spoilt.insert(spoilt.size() - 1, " "); break;
            default: spoilt.replace(38, 4, "orb4"); break;
            }
            out += spoilt;
        } else {
            out += line;
        }
        if (out.size() > (1 << 20) - line.size()) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
