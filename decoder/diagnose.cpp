// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnose.h"

#include "channels.h"
#include "chars.h"

#include <algorithm>
#include <cstdio>
#include <type_traits>

namespace orvik {

namespace {

// Whether `lowerWord` stands at `pos`, letter case aside; ASCII bytes stand for their units.
template <class CharT>
bool matchesAt(std::basic_string_view<CharT> text, std::size_t pos, std::u16string_view lowerWord)
{
    if (pos + lowerWord.size() > text.size())
        return false;
    for (std::size_t i = 0; i < lowerWord.size(); ++i) {
        if (foldCase(char16_t(static_cast<std::make_unsigned_t<CharT>>(text[pos + i]))) != lowerWord[i])
            return false;
    }
    return true;
}

// Characters that could upset a terminal or hide themselves are shown as escapes.
bool needsEscape(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// The text in double quotes, as UTF-8, with control characters, quotes and backslashes escaped.
std::string quoted(std::u16string_view text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += char(c);
        } else if (needsEscape(c)) {
            char buf[12];
            std::snprintf(buf, sizeof buf, c <= 0xFF ? "\\x%02X" : "\\u%04X", unsigned(c));
            out += buf;
        } else {
            appendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string lengthReason(std::uint64_t length, std::uint64_t trailingBlanks)
{
    std::string s = std::to_string(length) + " characters instead of " + std::to_string(kBeaconLength) + ": ";
    if (length < std::uint64_t(kBeaconLength))
        return s + std::to_string(kBeaconLength - length) + " missing";
    const std::uint64_t extra = length - std::uint64_t(kBeaconLength);
    if (trailingBlanks >= extra) {
        if (extra == 1)
            return s + "one trailing blank too many, remove it";
        return s + std::to_string(extra) + " trailing blanks too many, remove them";
    }
    s += std::to_string(extra) + " too many";
    if (trailingBlanks > 0)
        s += ", " + std::to_string(trailingBlanks) + " of them trailing " +
             (trailingBlanks == 1 ? "blank" : "blanks");
    return s;
}

// The occurrence of the tag nearest to where it belongs, or npos.
std::size_t nearestTag(std::u16string_view head, std::size_t expected, std::u16string_view tag)
{
    std::size_t best = std::u16string_view::npos;
    for (std::size_t pos = 0; pos + tag.size() <= head.size(); ++pos) {
        if (!matchesAt(head, pos, tag))
            continue;
        const auto distance = [expected](std::size_t p) {
            return p > expected ? p - expected : expected - p;
        };
        if (best == std::u16string_view::npos || distance(pos) < distance(best))
            best = pos;
        if (pos > expected)
            break;
    }
    return best;
}

std::string tagReason(std::u16string_view head, const FrameTag& frame)
{
    const std::size_t at = std::size_t(frame.pos - 1);
    std::string s = quoted(frame.tag) + " missing at position " + std::to_string(frame.pos) + ": ";
    if (at >= head.size())
        s += "the line ends before it";
    else if (at + frame.tag.size() > head.size())
        s += "only " + quoted(head.substr(at)) + " stands there before the line ends";
    else
        s += quoted(head.substr(at, frame.tag.size())) + " stands there";
    const std::size_t found = nearestTag(head, at, frame.tag);
    if (found != std::u16string_view::npos)
        s += ", " + quoted(frame.tag) + " found at position " + std::to_string(found + 1);
    return s;
}

std::string channelNames(int firstChannel, int lastChannel)
{
    std::string s = firstChannel == lastChannel
                        ? "channel " + std::to_string(firstChannel)
                        : "channels " + std::to_string(firstChannel) + "-" + std::to_string(lastChannel);
    for (int c = firstChannel; c <= lastChannel; ++c) {
        const std::string_view caption = kChannels[std::size_t(c)].caption;
        s += (c == firstChannel ? " \"" : ", \"");
        s.append(caption);
        s += '"';
    }
    return s;
}

std::vector<std::string> reasonsOf(std::vector<LineProblem>&& problems)
{
    std::vector<std::string> reasons;
    reasons.reserve(problems.size());
    for (LineProblem& p : problems)
        reasons.push_back(std::move(p.reason));
    return reasons;
}

} // namespace

namespace {

// "orv" that begins a word such as "Orvik", the satellite's name: a tag heard wrong is
// followed by a digit, a separator or a field's hex digits, not by two more letters.
template <class CharT> bool beginsWord(std::basic_string_view<CharT> line, std::size_t at)
{
    const auto letter = [&](std::size_t i) {
        const char16_t c = i < line.size() ? foldCase(char16_t(line[i])) : u' ';
        return c >= u'a' && c <= u'z';
    };
    const bool starts = at == 0 || !letter(at - 1);
    return starts && letter(at + 3) && letter(at + 4) && !isHexDigit(char16_t(line[at + 4]));
}

template <class CharT> bool looksLikeAttempt(std::basic_string_view<CharT> line)
{
    if (line.size() >= 100 && line.size() <= 140)
        return true;
    for (std::size_t i = 0; i + 3 <= line.size(); ++i) {
        if (matchesAt(line, i, u"orv") && !beginsWord(line, i))
            return true;
    }
    return false;
}

} // namespace

bool looksLikeBeaconAttempt(std::u16string_view line) { return looksLikeAttempt(line); }

bool looksLikeBeaconAttempt(std::string_view asciiLine) { return looksLikeAttempt(asciiLine); }

std::vector<LineProblem> lineProblems(std::u16string_view line)
{
    std::uint64_t blanks = 0;
    while (blanks < line.size() && isBlank(line[line.size() - 1 - blanks]))
        ++blanks;
    return lineProblems(LineShape{line, line.size(), blanks});
}

std::vector<LineProblem> lineProblems(const LineShape& shape)
{
    std::vector<LineProblem> problems;
    if (shape.length != std::uint64_t(kBeaconLength))
        problems.push_back(
            {0, std::size_t(shape.length), -1, -1, lengthReason(shape.length, shape.trailingBlanks)});

    std::array<bool, kFrameTags.size() + 1> framePlaced{};
    for (std::size_t f = 0; f < kFrameTags.size(); ++f) {
        const FrameTag& frame = kFrameTags[f];
        framePlaced[f + 1] = matchesAt(shape.head, std::size_t(frame.pos - 1), frame.tag);
        if (!framePlaced[f + 1])
            problems.push_back(
                {std::size_t(frame.pos - 1), frame.tag.size(), -1, -1, tagReason(shape.head, frame)});
    }

    // A frame out of place shifts its fields; the tag's reason says it already.
    for (int c = 0; c < kChannelCount;) {
        const Channel& ch = kChannels[std::size_t(c)];
        int last = c;
        while (last + 1 < kChannelCount && kChannels[std::size_t(last + 1)].pos == ch.pos)
            ++last;
        const std::size_t at = std::size_t(ch.pos - 1);
        if (framePlaced[std::size_t(ch.frame)] && at < shape.head.size()) {
            const std::u16string_view field = shape.head.substr(at, std::size_t(ch.len));
            if (!std::all_of(field.begin(), field.end(), isHexDigit)) {
                problems.push_back({at, field.size(), c, last,
                                    "positions " + std::to_string(ch.pos) + "-" +
                                        std::to_string(ch.pos + ch.len - 1) + " (" + channelNames(c, last) +
                                        ") hold " + quoted(field) + ", not hexadecimal digits"});
            }
        }
        c = last + 1;
    }
    return problems;
}

std::vector<std::string> diagnoseLine(std::u16string_view line) { return reasonsOf(lineProblems(line)); }

std::vector<std::string> diagnoseLine(const LineShape& shape) { return reasonsOf(lineProblems(shape)); }

bool fieldsAreHex(std::u16string_view beaconLine)
{
    for (const Channel& ch : kChannels) {
        const std::u16string_view field = beaconLine.substr(std::size_t(ch.pos - 1), std::size_t(ch.len));
        if (!std::all_of(field.begin(), field.end(), isHexDigit))
            return false;
    }
    return true;
}

} // namespace orvik
