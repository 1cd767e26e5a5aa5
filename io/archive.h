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
inline constexpr int kArchiveSchemaVersion = 1;
// PRAGMA application_id of an archive: "ORVK".
inline constexpr int kArchiveApplicationId = 0x4F52564B;

struct ArchiveEntry {                         // one decoded beacon line to add
    std::string line;                         // as decoded (UTF-8); stored in lower case; the key
    std::array<double, kChannelCount> values; // NaN = value left out (stored as SQL NULL)
    qint64 receivedMs = 0;                    // UTC, milliseconds since the epoch
    QString source;                           // "window", or "<file name>:<line number>"
};

struct ArchiveAddResult {
    qint64 added = 0;
    qint64 alreadyThere = 0;
};

struct ArchiveRecord { // one row read back
    qint64 receivedMs = 0;
    std::string line;
    QString source;
    qint64 copies = 1;
    std::array<double, kChannelCount> values; // NaN where NULL
};

// Several channels over time, oldest first; values[i] belongs to channels[i].
struct ArchiveSeries {
    std::vector<int> channels;
    std::vector<qint64> receivedMs;
    std::vector<double> obcTime; // channel 0, "OBC Time", the on-board time
    std::vector<std::vector<double>> values;
};

// A season's decoded records in one SQLite file (Qt SQL's QSQLITE driver): table "records"
// with one REAL column per channel, named by archiveColumnName, and table "channels" with
// their captions and units. WAL journal and a busy timeout let several programs add at once.
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

    // One transaction; the same line, letter case aside, counts one more copy and adds no row.
    // Nothing is added when it fails.
    bool add(std::span<const ArchiveEntry> entries, ArchiveAddResult* result, QString* error);
    // The same one record at a time, for more than is best held in memory: beginAdding opens
    // the transaction, addOne counts into *result, commitAdding ends it; closing or
    // rollbackAdding drops what was added since beginAdding.
    bool beginAdding(QString* error);
    bool addOne(const ArchiveEntry& entry, ArchiveAddResult* result, QString* error);
    bool commitAdding(QString* error);
    void rollbackAdding();

    qint64 recordCount() const;
    bool receivedRange(qint64* firstMs, qint64* lastMs) const; // false when empty
    // Records received in [sinceMs, untilMs], oldest first.
    bool readSeries(std::span<const int> channels, qint64 sinceMs, qint64 untilMs, ArchiveSeries* out,
                    QString* error) const;
    bool forEachRecord(qint64 sinceMs, qint64 untilMs, const std::function<bool(const ArchiveRecord&)>& visit,
                       QString* error) const;

    // The Qt SQL connection name, for queries of one's own (e.g. decimated reads).
    QString connectionName() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

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
