// SPDX-License-Identifier: GPL-3.0-or-later
// The last frame read where it stands: its tail is never read and its end is wherever the next
// text begins, so copies that hold its fields alike in place confirm each other.
#include "copyframes.h"

#include <algorithm>
#include <array>
#include <string>

namespace orvik {

namespace {

// Tail characters that align the last frame's fields against another copy's.
constexpr std::size_t kTailAnchor = 2;
constexpr auto kLast = std::size_t(kFrames - 1);
// The last frame's separator, fields and the tail characters after them.
constexpr std::size_t kWindow =
    std::size_t(kLayout[kLast].fieldBegin - kTagLength + kLayout[kLast].fieldLength) + kTailAnchor;
using Window = std::array<char16_t, kWindow>;

// The last frame's window as a copy holds it in place, and, where lines were joined right
// after its tag without telling whether the wrap took a blank, as it stands the other way.
// None where its tag was heard damaged: it may have lost, gained or changed a character, so
// the fields after it stand where they stand only give or take one.
int windowsOf(const CopyFrames& c, std::array<Window, 2>& out)
{
    if (c.begin[kLast] < 0 ||
        std::u16string_view(c.text).substr(std::size_t(c.begin[kLast]), kTagLength) != kFrameTags[kLast].tag)
        return 0;
    const auto body = std::size_t(c.begin[kLast] + kTagLength);
    const std::u16string_view t = c.text;
    const int seams = seamsInLastFields(c);
    // Decoders drop a word gap, and hear one twice: a copy that writes one separator between
    // its other fields, no hex digit, tells it after the tag too.
    const char16_t sep = c.separator;
    if (seams == 0 && sep != 0 && t.size() > body + 1) {
        std::u16string moved;
        if (isFoldedHexDigit(t[body]))
            moved.assign(1, sep).append(t.substr(body, kWindow - 1));
        else if (t[body] == sep && t[body + 1] == sep)
            moved.assign(t.substr(body + 1, kWindow));
        if (moved.size() == kWindow) {
            std::copy_n(moved.begin(), kWindow, out[0].begin());
            return 1;
        }
    }
    int count = 0;
    if (t.size() >= body + kWindow)
        std::copy_n(t.begin() + std::ptrdiff_t(body), kWindow, out[std::size_t(count++)].begin());
    if (seams == 0)
        return count;
    if (seams > 1)
        return 0; // more joins there than can be told apart
    // The other way, the wrap took the separator before the fields.
    std::u16string other(1, u' ');
    other += t.substr(body, kWindow);
    if (other.size() >= kWindow)
        std::copy_n(other.begin(), kWindow, out[std::size_t(count++)].begin());
    // The separator the copy writes between its other fields tells which way the wrap went.
    if (count == 2 && c.separator != 0 && (out[0][0] == c.separator) != (out[1][0] == c.separator)) {
        if (out[1][0] == c.separator)
            out[0] = out[1];
        count = 1;
    }
    return count;
}

// Whether a window may stand in place: its fields hex digits alone, after the separator the
// copy writes between its other fields where it writes one. Decoders double or drop a word
// gap alike in several copies, and fields read in place past that are shifted.
bool mayStandInPlace(const Window& w, char16_t separator)
{
    const auto from = w.begin() + (kLayout[kLast].fieldBegin - kTagLength);
    return (separator == 0 || w[0] == separator) &&
           std::all_of(from, from + kLayout[kLast].fieldLength, isFoldedHexDigit);
}

} // namespace

int seamsInLastFields(const CopyFrames& c)
{
    if (c.begin[kLast] < 0)
        return 0;
    const auto body = std::size_t(c.begin[kLast] + c.tagLength[kLast]);
    // A seam before the tag moves the tag with the fields. Of more than two only the last two
    // are known, and an older one may lie there unless the one before the last lies before.
    if (c.seams.count > 2 && std::size_t(c.seams.beforeLast) >= body)
        return 2;
    // Only a wrap after the tag moves the fields: one among them took no blank, as none stands
    // there in a beacon, and one after them moves the tail alone. It took the separator only
    // where the fields follow at once.
    const auto atFields = [&](std::int16_t at) {
        return at >= 0 && std::size_t(at) == body && body < c.text.size() && isFoldedHexDigit(c.text[body]);
    };
    return int(atFields(c.seams.last)) + int(atFields(c.seams.beforeLast));
}

bool placeInPlace(const CopyFrames& copy, const CopyFrames& ref, char16_t* fields, int changes)
{
    std::array<Window, 2> mine{};
    std::array<Window, 2> theirs{};
    const int mineCount = windowsOf(copy, mine);
    const int theirCount = windowsOf(ref, theirs);
    // Of the ways the copy may stand, exactly one agrees with a way the other may stand.
    const Window* agreeing = nullptr;
    for (int i = 0; i < mineCount; ++i) {
        bool agrees = false;
        for (int j = 0; j < theirCount && !agrees && mayStandInPlace(mine[std::size_t(i)], copy.separator);
             ++j) {
            int changed = 0;
            int tailChanged = 0;
            for (std::size_t k = 0; k < kWindow; ++k)
                (k < kWindow - kTailAnchor ? changed : tailChanged) +=
                    mine[std::size_t(i)][k] != theirs[std::size_t(j)][k];
            // A tail character heard otherwise moves no field.
            agrees = changed + std::max(0, tailChanged - 1) <= changes;
        }
        if (agrees && agreeing != nullptr)
            return false;
        agreeing = agrees ? &mine[std::size_t(i)] : agreeing;
    }
    if (agreeing == nullptr)
        return false;
    const FrameLayout& l = kLayout[kLast];
    std::copy_n(agreeing->begin() + (l.fieldBegin - kTagLength), l.fieldLength, fields);
    return true;
}

} // namespace orvik
