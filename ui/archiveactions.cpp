// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveactions.h"

#include "archive/archive.h"
#include "decoder/beacon.h"
#include "decoder/passclock.h"
#include "io/archiveadds.h"
#include "io/logtime.h"
#include "io/screenshot.h"
#include "io/tlmarchive.h"

#include <QDateTime>
#include <QDir>
#include <array>
#include <vector>

namespace orvik {

LogDating dateLog(std::span<const std::u16string_view> lines, qint64 nowMs)
{
    LogDating dating;
    std::array<double, kChannelCount> values;
    PassClock clock(0);
    qint64 lastMs = 0;
    for (const std::u16string_view line : lines) {
        if (!isBeaconLine(line))
            continue;
        decodeCertain(line, values);
        const double onBoard = values[kOnBoardTimeChannel];
        if (!dating.anyBeacon)
            dating.firstOnBoardTime = onBoard;
        dating.anyBeacon = true;
        const qint64 ms = clock.date(onBoard);
        if (clock.resets() > 0)
            break;
        lastMs = ms;
    }
    const std::optional<qint64> given = timeInLog(lines);
    dating.fromLog = given.has_value();
    // Received times are kept to the second, as orvik-tlm keeps them.
    dating.suggestedMs = given.value_or(nowMs / 1000 * 1000 - lastMs);
    return dating;
}

QString windowArchivePath(const QString& baseFolder, const std::optional<QString>& configured)
{
    if (!configured || configured->isEmpty())
        return defaultArchivePath();
    return QDir::toNativeSeparators(QDir::cleanPath(resolveImagePath(baseFolder, *configured)));
}

QString addLogToArchive(const QString& archivePath, std::span<const std::u16string_view> lines,
                        qint64 firstReceivedMs, qint64* number, bool* kept)
{
    PassClock clock(firstReceivedMs);
    std::vector<ArchiveEntry> entries;
    for (const std::u16string_view line : lines) {
        if (!isBeaconLine(line))
            continue;
        ArchiveEntry& entry = entries.emplace_back();
        decodeCertain(line, entry.values);
        entry.line = QStringView(line.data(), qsizetype(line.size())).toUtf8().toStdString();
        entry.receivedMs = clock.date(entry.values[kOnBoardTimeChannel]);
        entry.source = QStringLiteral("window");
    }
    const QString shown = QDir::toNativeSeparators(archivePath);
    if (entries.empty())
        return QStringLiteral("No beacon line to add to %1").arg(shown);
    Archive archive;
    ArchiveAddResult counts;
    QString error;
    archive.startAdd(QStringLiteral("window"));
    if (!archive.open(archivePath, Archive::Access::ReadWrite, &error) ||
        !archive.add(entries, &counts, &error))
        return QStringLiteral("Nothing was added to the archive: %1").arg(error);
    if (number)
        *number = counts.number;
    if (kept)
        *kept = true;
    QString text = counts.added == 1 ? QStringLiteral("1 record added to %1").arg(shown)
                                     : QStringLiteral("%1 records added to %2").arg(counts.added).arg(shown);
    if (counts.records != counts.added)
        text = QStringLiteral("%1 added to %2: %3, the others joined records there")
                   .arg(counts.added == 1 ? QStringLiteral("1 copy")
                                          : QStringLiteral("%1 copies").arg(counts.added),
                        shown,
                        counts.records == 1 ? QStringLiteral("1 new record")
                                            : QStringLiteral("%1 new records").arg(counts.records));
    if (counts.alreadyThere > 0)
        text += counts.alreadyThere == 1 ? QStringLiteral("; 1 was there already")
                                         : QStringLiteral("; %1 were there already").arg(counts.alreadyThere);
    if (clock.resets() > 0)
        text += QStringLiteral("; ") + resetsText(clock.resets(), firstReceivedMs);
    return text;
}

QString undoArchiveAdd(const QString& archivePath, qint64 number, bool* done)
{
    Archive archive;
    ArchiveUndoResult undone;
    QString error;
    *done = archive.open(archivePath, Archive::Access::ReadWrite, &error) &&
            archive.undoAdd(number, &undone, &error);
    if (!*done)
        return QStringLiteral("Nothing was taken back: %1").arg(error);
    QString text = undoneText(number, undone.copies, undone.records, undone.revoted);
    text[0] = text[0].toUpper();
    return text;
}

} // namespace orvik
