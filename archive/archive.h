// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/channels.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

// The schema of the file, kept in PRAGMA user_version; a file of a higher one is refused.
// 1: records alone (version 2.0.0); 2: each reception and each add kept beside them.
inline constexpr int kArchiveSchemaVersion = 2;
// PRAGMA application_id of an archive: "ORVK".
inline constexpr int kArchiveApplicationId = 0x4F52564B;

// What a reception is to its record. Kept in receptions.copies: a stand-in counts the copies it
// stands for, a heard copy 0.
enum class ReceptionRole {
    Copy,    // a copy as received, which votes
    StandIn, // a line recovered from `copies` copies, which votes for them; they follow it, Heard
    Heard,   // a copy as received of the stand-in before it: known when it comes again, no vote
};

// One reception of a beacon to add: a copy of it as received.
struct ArchiveEntry {
    std::string line;                         // as received (UTF-8), kept as it is
    std::array<double, kChannelCount> values; // as decoded, for dating it; the record's are voted
    qint64 receivedMs = 0;                    // UTC, milliseconds since the epoch
    QString source;                           // "window", or "<file name>:<line number>"
    int copies = 1;                           // a line recovered from several copies counts them all
    bool bytes = false;                       // line holds bytes that are no valid UTF-8, as they came
    ReceptionRole role = ReceptionRole::Copy;
    bool sameBeacon = false; // a copy of the beacon the entry before is a copy of, as recovered
};

struct ArchiveAddResult {
    qint64 added = 0;        // receptions new to the archive; a stand-in is none
    qint64 alreadyThere = 0; // the same text from the same source, added before
    qint64 records = 0;      // records the new receptions made; the others joined records there
    qint64 number = 0;       // of the add, as --adds lists it; 0 when it brought nothing new
};

// One add, as kept in the archive.
struct ArchiveAdd {
    qint64 number = 0;
    qint64 atMs = 0; // when it was made, UTC
    QString origin;  // "window", or the tool's inputs
    qint64 records = 0;
    qint64 copies = 0;
};

struct ArchiveUndoResult {
    qint64 copies = 0;  // receptions taken back
    qint64 records = 0; // records that lost their last copy and went
    qint64 revoted = 0; // records voted again from the copies they keep
};

struct ArchiveRecord { // one row read back
    qint64 id = 0;
    qint64 receivedMs = 0;
    std::string line;
    QString source;
    qint64 copies = 1;
    std::array<double, kChannelCount> values; // NaN where NULL
};

// A season's decoded records in one SQLite file (Qt SQL's QSQLITE driver): table "records"
// with one REAL column per channel, named by archiveColumnName, and table "channels" with
// their captions and units. Table "receptions" keeps every copy of a beacon as received, with
// its record and its add; a record's values are the vote of its copies, and its line, time
// and source those of its first copy. Table "adds" numbers the adds, so that one can be taken
// back. WAL journal and a busy timeout let several programs add at once.
class Archive {
public:
    enum class Access { ReadOnly, ReadWrite };

    Archive();
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // ReadWrite creates a missing file (and its folder). False with a one-line message naming
    // the path when the file is not an archive, is damaged, comes from a newer version, or
    // cannot be written. Never changes a file it refuses.
    bool open(const QString& path, Access access, QString* error);
    void close();
    bool isOpen() const;
    QString path() const;

    // The receptions that follow make one add, numbered when the first of them is committed.
    void startAdd(const QString& origin);
    // One transaction, and one add; nothing is added when it fails. The same text from the same
    // source is there already and counts nothing. A copy joins the record of its beacon: the
    // one whose first line it repeats, letter case aside, or else the one the recovery's rule
    // finds among the copies received within kJoinWindowMs of it. The records it joins are
    // voted again.
    bool add(std::span<const ArchiveEntry> entries, ArchiveAddResult* result, QString* error);
    // The same one record at a time, for more than is best held in memory: beginAdding opens
    // the transaction, addOne and commitAdding count into *result, commitAdding ends it; closing or
    // rollbackAdding drops what was added since beginAdding.
    bool beginAdding(QString* error);
    bool addOne(const ArchiveEntry& entry, ArchiveAddResult* result, QString* error);
    bool commitAdding(ArchiveAddResult* result, QString* error);
    void rollbackAdding();

    // The adds kept, oldest first; none in an archive of version 1, which kept none.
    bool adds(std::vector<ArchiveAdd>* out, QString* error) const;
    // Takes back exactly the copies add `number` brought, in one transaction: records left
    // without a copy go, the others are voted again from the copies they keep.
    bool undoAdd(qint64 number, ArchiveUndoResult* result, QString* error);
    int version() const; // PRAGMA user_version of the open file

    qint64 recordCount() const;
    // The values the copies of record `id` vote, as forEachRecord gives its id; version 2 only.
    bool votedValues(qint64 id, std::array<double, kChannelCount>& values, QString* error) const;
    // Records received in [sinceMs, untilMs], oldest first.
    bool forEachRecord(qint64 sinceMs, qint64 untilMs, const std::function<bool(const ArchiveRecord&)>& visit,
                       QString* error) const;

    // The Qt SQL connection name, for queries of one's own (e.g. decimated reads).
    QString connectionName() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// Copies received further apart than this are of different beacons: an on-board clock that
// was reset repeats its times, weeks later.
inline constexpr qint64 kJoinWindowMs = 12 * 3600 * 1000;

// Whether an archive of this program, in any thread, waited for another program's write lock
// within the last `withinMs` milliseconds.
bool waitedForArchiveLock(int withinMs);

// QStandardPaths::AppDataLocation + "/archive.sqlite".
QString defaultArchivePath();
// The plain column name derived from the caption: "battery_volt_star", "solar_curr_plus_x".
QString archiveColumnName(int channel);

// Decodes a beacon line for the archive, which keeps a value only when it is certain: a value
// whose field holds other characters than hex digits is left out (NaN). True when none was.
bool decodeCertain(std::u16string_view line, std::array<double, kChannelCount>& values);

// "2026-12-08T19:53:00Z", or "2026-12-08T19:53:00.250Z" for a time between whole seconds.
QString archiveTimeText(qint64 utcMs);
// Reads ISO 8601 UTC ("2026-12-08T19:53:00Z", also with milliseconds or "+00:00"); false
// for anything else, a date without a time included.
bool parseArchiveTime(const QString& text, qint64* utcMs);

} // namespace orvik
