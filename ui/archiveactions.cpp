// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveactions.h"

#include "decoder/beacon.h"
#include "io/archive.h"
#include "io/screenshot.h"

#include <QDateTime>
#include <QDir>
#include <cstring>
#include <vector>

namespace orvik {

namespace {

void foldInto(std::u16string_view line, std::u16string& key)
{
    key.assign(line);
    for (char16_t& c : key) {
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
    }
}

// memcmp rather than char_traits<char16_t>, which compares unit by unit: a keystroke compares
// every line of the log.
bool sameLine(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(char16_t)) == 0;
}

} // namespace

void DecodeTimes::update(std::span<const std::u16string_view> before,
                         std::span<const std::u16string_view> after, qint64 nowMs)
{
    std::size_t first = 0;
    while (first < before.size() && first < after.size() && sameLine(before[first], after[first]))
        ++first;
    std::size_t end = after.size();
    for (std::size_t old = before.size();
         end > first && old > first && sameLine(before[old - 1], after[end - 1]); --old)
        --end;
    for (std::size_t i = first; i < end; ++i) {
        if (!isBeaconLine(after[i]))
            continue;
        foldInto(after[i], m_key);
        m_first.try_emplace(m_key, nowMs);
    }
}

qint64 DecodeTimes::firstDecoded(std::u16string_view line, qint64 otherwise) const
{
    std::u16string key;
    foldInto(line, key);
    const auto it = m_first.find(key);
    return it == m_first.end() ? otherwise : it->second;
}

QString windowArchivePath(const QString& baseFolder, const std::optional<QString>& configured)
{
    if (!configured || configured->isEmpty())
        return defaultArchivePath();
    return QDir::toNativeSeparators(QDir::cleanPath(resolveImagePath(baseFolder, *configured)));
}

QString addLogToArchive(const QString& archivePath, std::span<const std::u16string_view> lines,
                        const DecodeTimes& times)
{
    // Received times are kept to the second, as orvik-tlm keeps them.
    const qint64 now = QDateTime::currentSecsSinceEpoch() * 1000;
    std::vector<ArchiveEntry> entries;
    for (const std::u16string_view line : lines) {
        if (!isBeaconLine(line))
            continue;
        ArchiveEntry& entry = entries.emplace_back();
        decodeCertain(line, entry.values);
        entry.line = QStringView(line.data(), qsizetype(line.size())).toUtf8().toStdString();
        entry.receivedMs = times.firstDecoded(line, now);
        entry.source = QStringLiteral("window");
    }
    const QString shown = QDir::toNativeSeparators(archivePath);
    if (entries.empty())
        return QStringLiteral("No beacon line to add to %1").arg(shown);
    Archive archive;
    ArchiveAddResult counts;
    QString error;
    if (!archive.open(archivePath, Archive::Access::ReadWrite, &error) ||
        !archive.add(entries, &counts, &error))
        return QStringLiteral("Nothing was added to the archive: %1").arg(error);
    const QString added = counts.added == 1
                              ? QStringLiteral("1 record added to %1").arg(shown)
                              : QStringLiteral("%1 records added to %2").arg(counts.added).arg(shown);
    if (counts.alreadyThere == 0)
        return added;
    return added + (counts.alreadyThere == 1
                        ? QStringLiteral("; 1 was there already")
                        : QStringLiteral("; %1 were there already").arg(counts.alreadyThere));
}

} // namespace orvik
