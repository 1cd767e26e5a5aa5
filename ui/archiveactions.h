// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orvik {

class RecordTable;

// What Add to Archive dates: the first beacon line of the log, its on-board time, and the
// time offered for it: the one the log's text gives, or else the one that puts the last beacon
// of its first run at nowMs.
struct LogDating {
    bool anyBeacon = false;
    double firstOnBoardTime = 0; // NaN when its time is left out
    qint64 suggestedMs = 0;
    bool fromLog = false;
};
LogDating dateLog(std::span<const std::u16string_view> lines, qint64 nowMs);
// The same of the records the window made of the log through the recovery, which come in the
// order an add takes them; a log of more records than the table holds is dated by its first.
LogDating dateRecords(const RecordTable& records, std::span<const std::u16string_view> lines, qint64 nowMs);

// The archive that the window adds to: ARCHIVE= of conf.ini, a relative path taken from
// baseFolder (the program folder of a portable copy), or else defaultArchivePath().
QString windowArchivePath(const QString& baseFolder, const std::optional<QString>& configured);

// How the window reads its log: each beacon line as it stands, or through the recovery of
// damaged copies (TLM File > Recover Damaged Lines).
enum class LogReading { Strict, Recovering };

// TLM File > Add to Archive: every beacon line of the log, or with Recovering every record the
// recovery makes of it as `orvik-tlm --recover --archive` adds them, also those past the 100th
// that the window does not show, the first received at firstReceivedMs and the others dated
// from it by their on-board times. Returns the text for the status line: what was added, or why
// nothing was. *number is set to the number the add was kept under, 0 when it brought nothing
// new; *kept to whether every beacon of the log is in the archive now.
QString addLogToArchive(const QString& archivePath, std::span<const std::u16string_view> lines,
                        qint64 firstReceivedMs, LogReading reading, qint64* number = nullptr,
                        bool* kept = nullptr);

// TLM File > Undo Last Add: takes back add `number`; *done tells whether it is gone now.
// Returns the text for the status line.
QString undoArchiveAdd(const QString& archivePath, qint64 number, bool* done);

} // namespace orvik
