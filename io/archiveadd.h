// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive.h"

#include <QSqlDatabase>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace orvik {

// FNV-1a, 64 bits, of a line's UTF-8 in lower case, kept in records.line_key. Stored in the
// file, so it must never change.
std::uint64_t archiveLineKey(std::string_view lowerLine);

// Adds records inside a write transaction, through SQLite itself on the Qt driver's
// connection: binding through QSqlQuery costs several times what SQLite takes to store a
// record. The same line is found by its key in memory, not by an index in the file: an index
// on random keys costs SQLite more than the rest of a record. Every program adds only under
// the write lock and first learns the rows added since its last look, so the keys it holds
// are those of the whole file. It learns them from table line_keys, which holds each row's id
// and key in id order: appended to at little cost, and read in a fraction of the time that
// reading the records would take.
class ArchiveWriter {
public:
    ArchiveWriter() = default;
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // Inside BEGIN IMMEDIATE: prepares the statements and learns the rows added since.
    bool begin(const QSqlDatabase& db, QString* reason);
    bool add(const ArchiveEntry& entry, bool* added, QString* reason);
    // After COMMIT, or after ROLLBACK: then rows it learnt may be gone, and all is learnt again.
    void end(bool committed);

private:
    bool learn(QString* reason);
    std::int64_t find(std::uint64_t key) const;
    void remember(std::uint64_t key, std::int64_t id, bool replace);
    bool fail(QString* reason);

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_insert = nullptr;
    sqlite3_stmt* m_keep = nullptr; // into line_keys
    sqlite3_stmt* m_copyById = nullptr;
    sqlite3_stmt* m_copyByKey = nullptr;
    // Open addressing on the key; an empty slot holds id 0, which no row has.
    struct Slot {
        std::uint64_t key = 0;
        std::int64_t id = 0;
    };
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
    std::int64_t m_knownUpTo = 0; // ids never come back (AUTOINCREMENT), so new rows lie above
    std::string m_line;
    void setTimeText(std::int64_t ms);
    std::string m_timeText;
    std::int64_t m_timeDay = 0; // of m_timeText, days since the epoch
    QByteArray m_source;
};

} // namespace orvik
