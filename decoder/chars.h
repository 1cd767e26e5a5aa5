// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The characters of beacon text, each rule defined once. "Letter case aside" means foldCase
// everywhere: A to Z become a to z, and nothing else changes.
namespace orvik {

inline constexpr char16_t foldCase(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

inline constexpr char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

inline constexpr bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// A hexadecimal digit of folded text: 0 to 9, a to f.
inline constexpr bool isFoldedHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
}

// A hexadecimal digit in either case.
inline constexpr bool isHexDigit(char16_t c) { return isFoldedHexDigit(foldCase(c)); }

} // namespace orvik
