// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reference beacon line, the channel table written out again, and the expected value of every field.
#include "decoder/beacon.h"
#include "decoder/channels.h"
#include "support/referenceline.h"

#include <QTest>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>

using orvik::Record;

namespace beaconline {

// A reference beacon line whose decoded values are known.
inline const QString kReferenceLine = testsupport::referenceLine();

constexpr int kTagPos[6] = {1, 13, 27, 39, 57, 75};

// Positions that no test and no channel examines.
inline const QList<int>& neverExamined()
{
    static const QList<int> list = [] {
        QList<int> l{5, 12, 17, 26, 31, 38, 43, 56, 61, 74, 79};
        for (int p = 90; p <= 120; ++p)
            l << p;
        return l;
    }();
    return list;
}

// The field position of each channel, written out here independently of channels.h.
constexpr int kFieldPos[31] = {6,  18, 18, 20, 20, 20, 20, 20, 22, 22, 24, 32, 34, 36, 44, 46,
                               48, 50, 52, 54, 62, 64, 66, 68, 70, 72, 80, 82, 84, 86, 88};

inline std::u16string_view view(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

inline Record decode(const QString& line)
{
    Record r;
    r.fill(std::numeric_limits<double>::quiet_NaN());
    orvik::decodeBeaconLine(view(line), r);
    return r;
}

// The line with text written over it from position pos (counted from 1); same length.
inline QString withText(QString line, int pos, const QString& text)
{
    line.replace(pos - 1, text.size(), text);
    return line;
}

// Moves the frame tag at pos by delta positions; the line keeps its length.
inline QString withTagMoved(const QString& line, int pos, int delta)
{
    QString s = line;
    const QString tag = s.mid(pos - 1, 4);
    s.remove(pos - 1, 4);
    s.insert(pos - 1 + delta, tag);
    return s;
}

// The exact double: value and bit pattern, so QCOMPARE is bit-exact, not fuzzy.
inline QString exact(double d)
{
    return QString::asprintf("%.17g [0x%016llx]", d,
                             static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(d)));
}

// Left-to-right evaluation, one rounding per step, written out for each formula shape.
inline double mulOnly(double v, double a)
{
    volatile double t = v * a;
    return t;
}
inline double mulDiv(double v, double a, double b)
{
    volatile double t = v * a;
    t = t / b;
    return t;
}
inline double mulAdd(double v, double a, double b)
{
    volatile double t = v * a;
    t = t + b;
    return t;
}
inline double mulSub(double v, double a, double b)
{
    volatile double t = v * a;
    t = t - b;
    return t;
}
inline double divOnly(double v, double b)
{
    volatile double t = v / b;
    return t;
}
inline double solarArrayVolt(double v) // channel 28: (((v * 4.5) / 255) * 74.9) / 18.7
{
    volatile double t = v * 4.5;
    t = t / 255;
    t = t * 74.9;
    t = t / 18.7;
    return t;
}

// The stored value of a channel for field value v, written out step by step.
inline double expectedValue(int channel, std::int32_t v)
{
    switch (channel) {
    case 0: return double(v);
    case 1: return double(v & 0x1F);
    case 2: return divOnly(double(v & 0xE0), 32);
    case 3: return double(v & 0x07);
    case 4: return divOnly(double(v & 0x08), 8);
    case 5: return divOnly(double(v & 0x30), 16);
    case 6: return double(v & 0x40);
    case 7: return double(v & 0x80);
    case 8:
    case 9: return double(v);
    case 10: return mulDiv(v, 4.8011718, 255);
    case 11: return mulOnly(v, 0.0752884);
    case 12: return mulOnly(v, 0.0753968);
    case 13: return mulSub(v, 0.6945, 75);
    case 14: return mulAdd(v, 2.3957, 2.7037);
    case 15: return mulAdd(v, 2.3823, 2.3217);
    case 16: return mulAdd(v, 2.4234, 1.6915);
    case 17: return mulAdd(v, 2.3724, 3.2306);
    case 18: return mulAdd(v, 2.384, 2.1696);
    case 19: return mulAdd(v, 2.4341, 4.7714);
    case 20: return mulSub(v, 0.5896, 65.614);
    case 21: return mulSub(v, 0.5916, 66.133);
    case 22: return mulSub(v, 0.5862, 65.813);
    case 23: return mulSub(v, 0.5846, 66.28);
    case 24: return mulSub(v, 0.588, 64.903);
    case 25: return mulSub(v, 0.5932, 66.483);
    case 26: return mulSub(v, 0.5811, 67.055);
    case 27: return mulDiv(v, 4.5, 255);
    case 28: return solarArrayVolt(v);
    case 29: return mulSub(v, 0.5948, 67.203);
    case 30: return mulDiv(v, 4.8011718, 255);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// Compares with a decimal value to the digits its text shows: a value with no decimals exactly;
// otherwise rounded to as many decimals as the expected text shows, or, for an expected
// text with a trailing "…", cut off after them.
inline bool matchesDigits(double actual, QString text, QString* shown)
{
    const bool cut = text.endsWith(QChar(0x2026));
    if (cut)
        text.chop(1);
    const qsizetype dot = text.indexOf(u'.');
    if (dot < 0) {
        *shown = exact(actual);
        return exact(actual) == exact(text.toDouble());
    }
    const int decimals = int(text.size() - dot - 1);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", cut ? decimals + 4 : decimals, actual);
    *shown = QString::fromLatin1(buf);
    return cut ? shown->startsWith(text) : *shown == text;
}

#define COMPARE_EXACT(actual, expected) QCOMPARE(exact(actual), exact(expected))

} // namespace beaconline
