// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Beacon lines for the recovery's tests, and ways of spoiling them.
#include "decoder/beacon.h"
#include "decoder/chars.h"
#include "decoder/recover.h"
#include "support/referenceline.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace beacontest {

inline const QString kGood = testsupport::referenceLine();
inline const QString kOther = QStringLiteral("orv1 01e27c orv2 1122a3b4 orv3 c5d6e7 orv4 f80918293a4b orv5 "
                                             "5c6d7e8f9011 orv6 2233445566") +
                              QString(31, u'7');

// The line with `text` written over it from position `pos`, counted from 1.
inline QString over(const QString& line, int pos, const QString& text)
{
    return QString(line).replace(pos - 1, text.size(), text);
}
inline QString dropAt(const QString& line, int pos) { return QString(line).remove(pos - 1, 1); }
inline QString insertAt(const QString& line, int pos, const QString& text)
{
    return QString(line).insert(pos - 1, text);
}

inline std::u16string_view view(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
}

inline QString withTime(const QString& line, const QString& time) { return over(line, 6, time); }

// Every record of the lines, numbered from 1.
inline std::vector<orvik::RecoveredRecord> recovered(const QStringList& lines)
{
    std::vector<std::u16string_view> views;
    for (const QString& l : lines)
        views.push_back(view(l));
    return orvik::recoverLines(views);
}

// The record's line reads as the record, as an archive that keeps the line reads it: a value
// written where the record writes one, the same, and none where it leaves one out.
inline bool lineReadsAsRecord(const orvik::RecoveredRecord& r)
{
    const std::u16string line(r.line.begin(), r.line.end());
    orvik::Record read{};
    orvik::decodeBeaconLine(line, read);
    for (int c = 0; c < orvik::kChannelCount; ++c) {
        const std::u16string_view field = orvik::channelField(line, orvik::kChannels[std::size_t(c)]);
        const bool hex = std::all_of(field.begin(), field.end(), orvik::isHexDigit);
        if (hex != r.written(c) || (hex && read[std::size_t(c)] != r.values[std::size_t(c)]))
            return false;
    }
    return true;
}

// The lines of each record, counted from 1, "first-last" for a copy over several; records
// apart by "|".
inline QString grouping(const std::vector<orvik::RecoveredRecord>& records)
{
    QStringList out;
    for (const orvik::RecoveredRecord& r : records) {
        QStringList lines;
        for (const orvik::CopySource& s : r.copies)
            lines << (s.last() > s.line ? QStringLiteral("%1-%2").arg(s.line).arg(s.last())
                                        : QString::number(s.line));
        out << lines.join(u',');
    }
    return out.join(u'|');
}

} // namespace beacontest
