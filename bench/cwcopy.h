// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Copies of beacon text as CW heard in noise gives them: characters heard as a similar Morse
// pattern, lost, doubled, or followed by a blank that was not sent.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orvik::bench {

// xorshift64*: fast, and the same corpus for the same seed on every machine.
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
    double between(double a, double b) { return a + (b - a) * uniform(); }

private:
    std::uint64_t m_state;
};

// One copy as heard: each character is at fault with probability `rate`. A blank is lost or
// doubled; another character is lost, doubled, heard as a similar pattern, or followed by a
// blank that was not sent. Half the copies come in upper case, as many decoders print.
std::string hear(std::string_view sent, double rate, Random& random);

// The characters whose Morse pattern is this one's with one element more, one less, or one
// changed; empty for a character that has no pattern.
std::string_view similarTo(char c);

// The line with its on-board time (positions 6 to 11) miscopied as a whole, as a listener
// writes it down: two neighbouring digits swapped, or one digit taken for another hex digit.
std::string withTimeMiscopied(std::string line, Random& random);

// How often a copy's on-board time is miscopied, beside `rate` of its characters.
inline double timeMiscopyRate(double rate) { return 2 * rate; }

} // namespace orvik::bench
