// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reference beacon line of the tests, whose values are known, and beacons made from it.
#include <QByteArray>
#include <QString>
#include <array>
#include <utility>

namespace testsupport {

// A beacon line of hex digits in every field, the 31 characters of its tail "0".
inline constexpr char kReferenceText[] =
    "orv1 01e240 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 orv6 7480ff6e40"
    "0000000000000000000000000000000";

inline QByteArray referenceBytes() { return QByteArray(kReferenceText); }
inline QString referenceLine() { return QString::fromLatin1(kReferenceText); }

// The reference line with the on-board time n (its low 24 bits), so that records can be told apart.
inline QByteArray beaconBytes(int n)
{
    return referenceBytes().replace(5, 6, QByteArray::number(n & 0xffffff, 16).rightJustified(6, '0'));
}
inline QString beacon(int n) { return QString::fromLatin1(beaconBytes(n)); }

// The fields of each frame of a beacon line: where they begin, counted from 1, and how many
// characters they hold.
inline constexpr std::array<std::pair<int, int>, 6> kFrameFields{
    {{6, 6}, {18, 8}, {32, 6}, {44, 12}, {62, 12}, {80, 10}}
};

// A beacon line whose every field holds the digit d, so that no two such beacons look alike.
inline QByteArray apart(char d)
{
    QByteArray line = referenceBytes();
    for (const auto& [pos, len] : kFrameFields)
        line.replace(pos - 1, len, QByteArray(len, d));
    return line;
}

} // namespace testsupport
