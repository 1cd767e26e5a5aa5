// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveactions.h"

#include "archive/archive.h"
#include "decoder/beacon.h"
#include "decoder/passclock.h"
#include "decoder/recordtable.h"
#include "runs/addtexts.h"
#include "runs/recoveredadd.h"
#include "settings/logtime.h"
#include "settings/screenshot.h"

#include <QDateTime>
#include <QDir>
#include <array>
#include <vector>

namespace orvik {

namespace {

// The time offered: the one the log's text gives, or else the one that puts `lastMs`, the last
// beacon of the first run as dated from the first, at nowMs. Received times are kept to the
// second, as orvik-tlm keeps them.
void suggestTime(LogDating& dating, std::span<const std::u16string_view> lines, qint64 lastMs, qint64 nowMs)
{
    const std::optional<qint64> given = timeInLog(lines);
    dating.fromLog = given.has_value();
    dating.suggestedMs = given.value_or(nowMs / 1000 * 1000 - lastMs);
}

} // namespace

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
    suggestTime(dating, lines, lastMs, nowMs);
    return dating;
}

LogDating dateRecords(const RecordTable& records, std::span<const std::u16string_view> lines, qint64 nowMs)
{
    LogDating dating;
    PassClock clock(0);
    qint64 lastMs = 0;
    dating.anyBeacon = records.count() > 0;
    if (dating.anyBeacon)
        dating.firstOnBoardTime = records.value(1, kOnBoardTimeChannel);
    for (int r = 1; r <= records.count(); ++r) {
        const qint64 ms = clock.date(records.value(r, kOnBoardTimeChannel));
        if (clock.resets() > 0)
            break;
        lastMs = ms;
    }
    suggestTime(dating, lines, lastMs, nowMs);
    return dating;
}

QString windowArchivePath(const QString& baseFolder, const std::optional<QString>& configured)
{
    if (!configured || configured->isEmpty())
        return defaultArchivePath();
    return QDir::toNativeSeparators(QDir::cleanPath(resolveImagePath(baseFolder, *configured)));
}

namespace {

// What the status line says of an add, or of what an add that failed had committed.
QString addedText(const ArchiveAddResult& counts, const QString& shown, int resets, qint64 firstReceivedMs)
{
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
    if (resets > 0)
        text += QStringLiteral("; ") + resetsText(resets, firstReceivedMs);
    return text;
}

QString addRecovering(const QString& archivePath, std::span<const std::u16string_view> lines,
                      qint64 firstReceivedMs, qint64* number, bool* kept)
{
    const QString shown = QDir::toNativeSeparators(archivePath);
    Archive archive;
    archive.startAdd(QStringLiteral("window"));
    RecoveredAdd added;
    QString error;
    const bool ok = addRecoveredLines(archive, archivePath, lines, QStringLiteral("window"), firstReceivedMs,
                                      &added, &error);
    if (number)
        *number = added.counts.number;
    if (kept)
        *kept = ok && added.records > 0;
    if (ok && added.records == 0)
        return QStringLiteral("No beacon to add to %1").arg(shown);
    const QString text = addedText(added.counts, shown, added.resets, firstReceivedMs);
    if (ok)
        return text;
    if (added.counts.added + added.counts.alreadyThere == 0)
        return QStringLiteral("Nothing was added to the archive: %1").arg(error);
    return QStringLiteral("The add stopped: %1; before that, %2").arg(error, text);
}

} // namespace

QString addLogToArchive(const QString& archivePath, std::span<const std::u16string_view> lines,
                        qint64 firstReceivedMs, LogReading reading, qint64* number, bool* kept)
{
    if (reading == LogReading::Recovering)
        return addRecovering(archivePath, lines, firstReceivedMs, number, kept);
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
    return addedText(counts, shown, clock.resets(), firstReceivedMs);
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
