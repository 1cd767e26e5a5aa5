// SPDX-License-Identifier: GPL-3.0-or-later
#include "morse.h"

#include <array>
#include <utility>

namespace orvik::morse {

namespace {

constexpr std::array<std::pair<char, std::string_view>, 45> kCodes{
    {
     {'a', ".-"}, {'b', "-..."}, {'c', "-.-."}, {'d', "-.."}, {'e', "."}, {'f', "..-."},
     {'g', "--."}, {'h', "...."}, {'i', ".."}, {'j', ".---"}, {'k', "-.-"}, {'l', ".-.."},
     {'m', "--"}, {'n', "-."}, {'o', "---"}, {'p', ".--."}, {'q', "--.-"}, {'r', ".-."},
     {'s', "..."}, {'t', "-"}, {'u', "..-"}, {'v', "...-"}, {'w', ".--"}, {'x', "-..-"},
     {'y', "-.--"}, {'z', "--.."}, {'0', "-----"}, {'1', ".----"}, {'2', "..---"}, {'3', "...--"},
     {'4', "....-"}, {'5', "....."}, {'6', "-...."}, {'7', "--..."}, {'8', "---.."}, {'9', "----."},
     {'.', ".-.-.-"}, {',', "--..--"}, {'/', "-..-."}, {'-', "-....-"}, {'=', "-...-"}, {'?', "..--.."},
     {'+', ".-.-."}, {':', "---..."}, {'\'', ".----."},
     }
};

} // namespace

std::string_view code(char c)
{
    if (c >= 'A' && c <= 'Z')
        c = char(c - 'A' + 'a');
    for (const auto& [ch, pattern] : kCodes) {
        if (ch == c)
            return pattern;
    }
    return {};
}

} // namespace orvik::morse
