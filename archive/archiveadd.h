// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive.h"
#include "archivejoin.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orvik {

// FNV-1a, 64 bits, of a line's UTF-8 in lower case, kept in records.line_key. Stored in the
// file, so it must never change.
std::uint64_t archiveLineKey(std::string_view lowerLine);
// FNV-1a of a reception's source, a line feed and its line as received, kept in
// reception_keys. Stored in the file, so it must never change.
std::uint64_t archiveReceptionKey(std::string_view source, std::string_view line);

// Keys of rows in memory, by open addressing; an empty slot holds id 0, which no row has. A
// table of its own: it maps a whole 64-bit key, which the file keeps, to a row, and forgets
// nothing until the add ends, unlike the recovery's key table.
class RowKeys {
public:
    std::int64_t find(std::uint64_t key) const;
    // A second row of the same key is rare enough to be found by a slower search.
    void remember(std::uint64_t key, std::int64_t id, bool replace);
    void clear();

private:
    struct Slot {
        std::uint64_t key = 0;
        std::int64_t id = 0;
    };
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

// "YYYY-MM-DDTHH:MM:SSZ" of times that mostly fall within one day: only the time of day is
// written anew.
class TimeText {
public:
    const std::string& of(std::int64_t ms);

private:
    std::string m_text;
    std::int64_t m_day = 0; // of m_text, days since the epoch
};

// Votes records again from the copies they keep, within a write transaction.
class RecordVoter {
public:
    explicit RecordVoter(sqlite3* db)
        : m_db(db)
    {}
    ~RecordVoter();
    RecordVoter(const RecordVoter&) = delete;
    RecordVoter& operator=(const RecordVoter&) = delete;

    // What a vote writes besides the record's copies and values: after an undo, its first copy
    // may be gone, so its line, time and source are taken again from the first it keeps.
    enum class Head { Kept, FromFirstCopy };
    // Votes the record again. *gone is set when it keeps no copy that votes, and it is then
    // taken away.
    bool revote(std::int64_t record, Head head, bool* gone, QString* reason);
    // The values the record's copies vote, written nowhere; NaN throughout when it keeps none.
    bool vote(std::int64_t record, std::array<double, kChannelCount>& values, QString* reason);

private:
    struct Copies {
        std::vector<std::string> lines;
        std::vector<ArchiveCopy> copies; // their lines point into `lines`
        int total = 0;
        std::int64_t firstMs = 0;
        std::string firstSource;
    };
    bool readCopies(std::int64_t record, Copies& out);
    bool prepare(sqlite3_stmt*& statement, const QByteArray& sql);
    sqlite3* m_db;
    sqlite3_stmt* m_copies = nullptr;
    sqlite3_stmt* m_values = nullptr;
    sqlite3_stmt* m_countOnly = nullptr;
    sqlite3_stmt* m_first = nullptr;
    sqlite3_stmt* m_firstKey = nullptr;
    sqlite3_stmt* m_drop = nullptr;
    sqlite3_stmt* m_dropKey = nullptr;
    sqlite3_stmt* m_dropHeard = nullptr;
    sqlite3_stmt* m_dropHeardKeys = nullptr;
    TimeText m_time;
    std::string m_lower;
};

// Adds receptions inside a write transaction, through SQLite itself on the Qt driver's
// connection: binding through QSqlQuery costs several times what SQLite takes to store a row.
// Rows are found by keys in memory, not by an index in the file: an index on random keys costs
// SQLite more than the rest of a row. Every program adds only under the write lock and first
// learns the rows added since its last look, from tables line_keys and reception_keys, which
// hold each row's id and key in id order: appended to at little cost, and read in a fraction
// of the time that reading the rows would take.
class ArchiveWriter {
public:
    ArchiveWriter() = default;
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Inside BEGIN IMMEDIATE: prepares the statements and learns the rows added since.
    bool begin(const QSqlDatabase& db, QString* reason);
    // Takes a reception; *fresh is false when the same text from the same source is there.
    bool add(const ArchiveEntry& entry, bool* fresh, QString* reason);
    // Joins the receptions taken since begin to records, votes the records they join, and
    // counts them in the add `*addId`, numbering a new one from `origin` when it is 0.
    bool flush(const QString& origin, qint64* addId, ArchiveAddResult* result, QString* reason);
    // After COMMIT, or after ROLLBACK: then rows it learnt may be gone, and all is learnt again.
    enum class Ending { Committed, RolledBack };
    void end(Ending ending);

private:
    struct Pending {
        std::string line;
        QByteArray source; // UTF-8
        qint64 receivedMs = 0;
        int copies = 1;
        bool bytes = false;      // kept as a BLOB
        std::uint64_t key = 0;   // of the reception
        std::int64_t record = 0; // joined, or -k for the k-th new record of the flush
        ReceptionRole role = ReceptionRole::Copy;
        std::ptrdiff_t standIn = -1; // of a heard copy whose stand-in is pending too
    };
    bool learn(QString* reason);
    bool isThere(std::int64_t reception, const ArchiveEntry& entry, const QByteArray& source, bool* there);
    bool followStandIn(std::int64_t reception, ReceptionRole role);
    void dropStandInOfNothingNew();
    bool endBeacon();
    // The record a reception there joined, 0 where none holds it.
    bool recordOf(std::int64_t reception, std::int64_t* record);
    bool placeByLine(Pending& p, bool* placed);
    bool placeByRecovery(std::vector<std::size_t>& unplaced, QString* reason);
    bool insertRecords(std::vector<std::int64_t>& newIds, QString* reason);
    bool countInAdd(const QString& origin, qint64* addId, qint64 records, qint64 copies, QString* reason);
    bool insertReceptions(const std::vector<std::int64_t>& newIds, qint64 addId, QString* reason);
    bool fail(QString* reason);

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insertRecord = nullptr;
    sqlite3_stmt* m_keepLine = nullptr; // into line_keys
    sqlite3_stmt* m_insertReception = nullptr;
    sqlite3_stmt* m_keepReception = nullptr; // into reception_keys
    sqlite3_stmt* m_receptionThere = nullptr;
    sqlite3_stmt* m_recordLine = nullptr;
    sqlite3_stmt* m_recordOf = nullptr; // of a reception
    RowKeys m_lines;                    // records by the key of their line
    RowKeys m_receptions;               // receptions by theirs; -1 for one taken since begin
    std::int64_t m_linesUpTo = 0;       // ids never come back (AUTOINCREMENT), so new rows lie above
    std::int64_t m_receptionsUpTo = 0;
    std::vector<Pending> m_pending;
    // Where the copies heard after the last stand-in go: its pending index, or its record.
    std::ptrdiff_t m_standInPending = -1;
    std::int64_t m_standInRecord = 0;
    int m_standInHeardNew = 0; // of its copies heard, those new to the archive
    int m_standInHeardThere = 0;
    // Of the beacon whose copies are being added, as the recovery grouped them: the receptions
    // there already, and the entries pending that are new.
    std::vector<std::int64_t> m_beaconThere;
    std::vector<std::size_t> m_beaconNew;
    std::string m_lower;
    TimeText m_time;
    std::unique_ptr<RecordVoter> m_voter;
};

} // namespace orvik
