// SPDX-License-Identifier: GPL-3.0-or-later
#include "archivejoin.h"

#include "archiveadd.h"
#include "decoder/beacon.h"
#include "decoder/chars.h"
#include "decoder/recover.h"

#include <QString>
#include <algorithm>
#include <limits>
#include <map>
#include <string>

namespace orvik {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A line that came from many copies outweighs one copy, but no single line decides alone.
constexpr int kMostWeight = 9;

bool isAscii(std::string_view line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::u16string wide(std::string_view line)
{
    const QString text = QString::fromUtf8(line.data(), qsizetype(line.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size()));
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return foldCase(x) == foldCase(y); });
}

} // namespace

bool decodeCertain(std::u16string_view line, std::array<double, kChannelCount>& values)
{
    decodeBeaconLine(line, values);
    bool plain = true;
    for (int i = 0; i < kChannelCount; ++i) {
        const std::u16string_view field = channelField(line, kChannels[std::size_t(i)]);
        if (!std::all_of(field.begin(), field.end(), isHexDigit)) {
            values[std::size_t(i)] = kNaN;
            plain = false;
        }
    }
    return plain;
}

bool oneBeaconLine(std::span<const ArchiveCopy> copies)
{
    return !copies.empty() && isBeaconLine(std::u16string_view(wide(copies.front().line))) &&
           std::all_of(copies.begin(), copies.end(),
                       [&](const ArchiveCopy& c) { return sameLetters(c.line, copies.front().line); });
}

void voteCopies(std::span<const ArchiveCopy> copies, std::array<double, kChannelCount>& values)
{
    values.fill(kNaN);
    if (copies.empty())
        return;
    if (oneBeaconLine(copies)) {
        decodeCertain(wide(copies.front().line), values);
        return;
    }
    std::vector<std::u16string> texts;
    for (const ArchiveCopy& c : copies) {
        for (int n = 0; n < std::clamp(c.copies, 1, kMostWeight); ++n)
            texts.push_back(wide(c.line));
    }
    const std::vector<std::u16string_view> views(texts.begin(), texts.end());
    const std::vector<RecoveredRecord> records = recoverCopies(views);
    if (records.empty())
        return;
    // Copies the recovery keeps apart give a value only where each of them gives the same.
    for (int c = 0; c < kChannelCount; ++c) {
        const double value = records.front().values[std::size_t(c)];
        const bool agreed = std::all_of(records.begin(), records.end(), [&](const RecoveredRecord& r) {
            return r.written(c) && r.values[std::size_t(c)] == value;
        });
        if (agreed)
            values[std::size_t(c)] = value;
    }
}

std::vector<std::int64_t> joinCopies(std::span<const ArchiveCopy> copies)
{
    std::vector<std::int64_t> placed(copies.size(), 0);
    Recoverer recoverer(copies.size() + 1);
    std::u16string text;
    for (std::size_t i = 0; i < copies.size(); ++i) {
        placed[i] = copies[i].record;
        if (isAscii(copies[i].line)) {
            addKeptCopy(recoverer, copies[i].line, std::uint32_t(i));
        } else {
            text = wide(copies[i].line);
            addKeptCopy(recoverer, std::u16string_view(text), std::uint32_t(i));
        }
    }
    std::int64_t newRecords = 0;
    RecoveredRecord record;
    std::vector<std::size_t> unplaced;
    while (recoverer.take(record, Recoverer::Ready::All, Recoverer::Values::InLine)) {
        std::map<std::int64_t, int> held; // record -> copies of it in the group
        unplaced.clear();
        for (const CopySource& s : record.copies) {
            const std::size_t i = s.input;
            if (copies[i].record > 0)
                ++held[copies[i].record];
            else if (placed[i] == 0)
                unplaced.push_back(i);
        }
        if (unplaced.empty())
            continue;
        std::int64_t to = -(newRecords + 1);
        int most = 0;
        for (const auto& [id, count] : held) {
            if (count > most) {
                most = count;
                to = id;
            }
        }
        newRecords += to < 0;
        for (const std::size_t i : unplaced)
            placed[i] = to;
    }
    // A line the recovery could not take is a record of its own; new records are numbered
    // again in the order of their first copies.
    std::map<std::int64_t, std::int64_t> renumbered;
    std::int64_t next = 0;
    for (std::int64_t& p : placed) {
        if (p == 0)
            p = -(++newRecords);
        if (p < 0) {
            const auto [it, fresh] = renumbered.try_emplace(p, -(next + 1));
            next += fresh;
            p = it->second;
        }
    }
    return placed;
}

} // namespace orvik
