// SPDX-License-Identifier: GPL-3.0-or-later
#include "cwcopy.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace orvik::bench {

namespace {

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

std::string similar(char c)
{
    std::string_view pattern;
    for (const auto& [ch, p] : kMorse) {
        if (ch == c)
            pattern = p;
    }
    std::string out;
    const auto take = [&](const std::string& p) {
        const char d = fromMorse(p);
        if (d != 0 && d != c && out.find(d) == std::string::npos)
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

const std::array<std::string, 128>& similarTable()
{
    static const std::array<std::string, 128> table = [] {
        std::array<std::string, 128> t;
        for (const auto& [c, p] : kMorse)
            t[std::size_t(c)] = similar(c);
        return t;
    }();
    return table;
}

constexpr std::string_view kHex = "0123456789abcdef";
constexpr std::size_t kTimeAt = 5; // the on-board time's first character, counted from 0
constexpr std::size_t kTimeLength = 6;

} // namespace

std::string_view similarTo(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 128 ? std::string_view(similarTable()[u]) : std::string_view();
}

std::string hear(std::string_view sent, double rate, Random& random)
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
            const std::string_view near = similarTo(c);
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

std::string withTimeMiscopied(std::string line, Random& random)
{
    if (line.size() < kTimeAt + kTimeLength)
        return line;
    const std::size_t at = kTimeAt + random.below(kTimeLength - 1);
    if (random.below(2) == 0 && line[at] != line[at + 1]) {
        std::swap(line[at], line[at + 1]);
        return line;
    }
    // Any other digit anywhere in the field, so that the time may become a neighbour's.
    const std::size_t digit = kTimeAt + random.below(kTimeLength);
    const char was = line[digit];
    char now = was;
    while (now == was)
        now = kHex[random.below(kHex.size())];
    line[digit] = now;
    return line;
}

} // namespace orvik::bench
