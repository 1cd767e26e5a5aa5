// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveadd.h"

#include "archivejoin.h"
#include "archiveprivate.h"
#include "sqlitebind.h"

#include <QDateTime>
#include <QSqlDriver>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <set>
#include <sqlite3.h>

namespace orvik {

using namespace sqlite;

ArchiveWriter::~ArchiveWriter() { end(Ending::Committed); }

bool ArchiveWriter::begin(const QSqlDatabase& db, QString* reason)
{
    m_db = handleOf(db);
    if (!m_db) {
        *reason = QStringLiteral("the SQLite driver gives no handle");
        return false;
    }
    const QByteArray insertRecord = "INSERT INTO records (line, line_key, received_ms, received_utc, source, "
                                    "copies" +
                                    columnList(", ", "") + ") VALUES (?, ?, ?, ?, ?, ?" +
                                    QByteArray(", ?").repeated(kChannelCount) + ")";
    const auto prepare = [&](sqlite3_stmt*& statement, const QByteArray& sql) {
        return sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &statement, nullptr) == SQLITE_OK;
    };
    if (!prepare(m_insertRecord, insertRecord) ||
        !prepare(m_keepLine, "INSERT INTO line_keys (id, line_key) VALUES (?, ?)") ||
        !prepare(m_insertReception, "INSERT INTO receptions (record_id, add_id, line, source, received_ms, "
                                    "copies) VALUES (?, ?, ?, ?, ?, ?)") ||
        !prepare(m_keepReception, "INSERT INTO reception_keys (id, reception_key) VALUES (?, ?)") ||
        !prepare(m_receptionThere, "SELECT 1 FROM receptions WHERE id = ? AND source = ? AND line = ?") ||
        !prepare(m_recordLine, "SELECT 1 FROM records WHERE id = ? AND line = ?") ||
        !prepare(m_recordOf, "SELECT record_id FROM receptions WHERE id = ?"))
        return fail(reason);
    m_voter = std::make_unique<RecordVoter>(m_db);
    return learn(reason);
}

bool ArchiveWriter::learn(QString* reason)
{
    const auto learnFrom = [&](const char* sql, std::int64_t& upTo, RowKeys& keys) {
        sqlite3_stmt* rows = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &rows, nullptr) != SQLITE_OK)
            return false;
        sqlite3_bind_int64(rows, 1, upTo);
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
            upTo = sqlite3_column_int64(rows, 0);
            keys.remember(std::uint64_t(sqlite3_column_int64(rows, 1)), upTo, false);
        }
        sqlite3_finalize(rows);
        return step == SQLITE_DONE;
    };
    return (learnFrom("SELECT id, line_key FROM line_keys WHERE id > ? ORDER BY id", m_linesUpTo, m_lines) &&
            learnFrom("SELECT id, reception_key FROM reception_keys WHERE id > ? ORDER BY id",
                      m_receptionsUpTo, m_receptions)) ||
           fail(reason);
}

// `source` is the entry's, in UTF-8.
bool ArchiveWriter::isThere(std::int64_t reception, const ArchiveEntry& entry, const QByteArray& source,
                            bool* there)
{
    if (reception < 0) {
        *there = std::any_of(m_pending.begin(), m_pending.end(),
                             [&](const Pending& p) { return p.line == entry.line && p.source == source; });
        return true;
    }
    sqlite3_bind_int64(m_receptionThere, 1, reception);
    bindText(m_receptionThere, 2, {source.constData(), std::size_t(source.size())});
    bindLine(m_receptionThere, 3, entry.line, entry.bytes);
    const int step = sqlite3_step(m_receptionThere);
    sqlite3_reset(m_receptionThere);
    *there = step == SQLITE_ROW;
    return step == SQLITE_ROW || step == SQLITE_DONE;
}

bool ArchiveWriter::add(const ArchiveEntry& entry, bool* fresh, QString* reason)
{
    const QByteArray source = entry.source.toUtf8();
    const std::uint64_t key =
        archiveReceptionKey({source.constData(), std::size_t(source.size())}, entry.line);
    bool there = false;
    const std::int64_t known = m_receptions.find(key);
    if (known != 0 && !isThere(known, entry, source, &there))
        return fail(reason);
    // Two records of one add may recover alike, under one name: each is a stand-in of its own.
    if (there && known < 0 && entry.role == ReceptionRole::StandIn)
        there = false;
    *fresh = !there;
    if (entry.role != ReceptionRole::Heard) {
        if (!entry.sameBeacon && !endBeacon())
            return fail(reason);
        dropStandInOfNothingNew();
        // A stand-in found there is in the file: one pending was made fresh above.
        if (!followStandIn(there ? known : 0, entry.role))
            return fail(reason);
    } else {
        (there ? m_standInHeardThere : m_standInHeardNew) += 1;
    }
    if (there && entry.role == ReceptionRole::Heard && m_standInPending >= 0) {
        // A copy heard just as it was recovered is its stand-in: it is new, and it counts.
        Pending& standIn = m_pending[std::size_t(m_standInPending)];
        if (standIn.line == entry.line && standIn.source == source) {
            standIn.role = ReceptionRole::Copy;
            *fresh = true;
        }
    }
    if (there) {
        if (known > 0)
            m_beaconThere.push_back(known);
        return true;
    }
    if (entry.role != ReceptionRole::Heard)
        m_beaconNew.push_back(m_pending.size());
    Pending p{entry.line, source, entry.receivedMs, entry.copies, entry.bytes, key, 0, entry.role};
    if (entry.role == ReceptionRole::Heard) {
        if (m_standInPending < 0 && m_standInRecord == 0) {
            *reason = QStringLiteral("a copy heard came without the line that stands for it");
            return false;
        }
        p.copies = 0;
        p.record = m_standInRecord;
        p.standIn = m_standInPending;
    }
    m_pending.push_back(std::move(p));
    m_receptions.remember(key, -1, true);
    return true;
}

bool ArchiveWriter::insertRecords(std::vector<std::int64_t>& newIds, QString* reason)
{
    std::vector<std::vector<std::size_t>> members;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        if (const std::int64_t k = m_pending[i].record; k < 0 && m_pending[i].role != ReceptionRole::Heard) {
            if (members.size() < std::size_t(-k))
                members.resize(std::size_t(-k));
            members[std::size_t(-k - 1)].push_back(i);
        }
    }
    std::vector<ArchiveCopy> copies;
    std::array<double, kChannelCount> values;
    for (const std::vector<std::size_t>& group : members) {
        copies.clear();
        int total = 0;
        for (const std::size_t i : group) {
            copies.push_back({m_pending[i].line, m_pending[i].copies, 0});
            total += m_pending[i].copies;
        }
        voteCopies(copies, values);
        const Pending& first = m_pending[group.front()];
        lowerInto(first.line, m_lower);
        const std::uint64_t key = archiveLineKey(m_lower);
        const QByteArray& source = first.source;
        const bool ok = bindText(m_insertRecord, 1, m_lower) &&
                        sqlite3_bind_int64(m_insertRecord, 2, sqlite3_int64(key)) == SQLITE_OK &&
                        sqlite3_bind_int64(m_insertRecord, 3, first.receivedMs) == SQLITE_OK &&
                        bindText(m_insertRecord, 4, m_time.of(first.receivedMs)) &&
                        bindText(m_insertRecord, 5, {source.constData(), std::size_t(source.size())}) &&
                        sqlite3_bind_int(m_insertRecord, 6, total) == SQLITE_OK &&
                        bindValues(m_insertRecord, 7, values) && run(m_insertRecord);
        if (!ok)
            return fail(reason);
        const std::int64_t id = sqlite3_last_insert_rowid(m_db);
        sqlite3_bind_int64(m_keepLine, 1, id);
        sqlite3_bind_int64(m_keepLine, 2, sqlite3_int64(key));
        if (!run(m_keepLine))
            return fail(reason);
        m_lines.remember(key, id, false);
        m_linesUpTo = id;
        newIds.push_back(id);
    }
    return true;
}

bool ArchiveWriter::insertReceptions(const std::vector<std::int64_t>& newIds, qint64 addId, QString* reason)
{
    for (const Pending& p : m_pending) {
        const std::int64_t record = p.record > 0 ? p.record : newIds[std::size_t(-p.record - 1)];
        const QByteArray& source = p.source;
        const bool ok = sqlite3_bind_int64(m_insertReception, 1, record) == SQLITE_OK &&
                        sqlite3_bind_int64(m_insertReception, 2, addId) == SQLITE_OK &&
                        bindLine(m_insertReception, 3, p.line, p.bytes) &&
                        bindText(m_insertReception, 4, {source.constData(), std::size_t(source.size())}) &&
                        sqlite3_bind_int64(m_insertReception, 5, p.receivedMs) == SQLITE_OK &&
                        sqlite3_bind_int(m_insertReception, 6, p.copies) == SQLITE_OK &&
                        run(m_insertReception);
        if (!ok)
            return fail(reason);
        const std::int64_t id = sqlite3_last_insert_rowid(m_db);
        sqlite3_bind_int64(m_keepReception, 1, id);
        sqlite3_bind_int64(m_keepReception, 2, sqlite3_int64(p.key));
        if (!run(m_keepReception))
            return fail(reason);
        m_receptions.remember(p.key, id, true);
        m_receptionsUpTo = id;
    }
    return true;
}

// The add's row counts what the flush brings; a row taken back meanwhile by another program's
// undo is made anew, so that these copies can be taken back too.
bool ArchiveWriter::countInAdd(const QString& origin, qint64* addId, qint64 records, qint64 copies,
                               QString* reason)
{
    if (*addId != 0) {
        sqlite3_stmt* count = nullptr;
        const bool ok =
            sqlite3_prepare_v2(m_db,
                               "UPDATE adds SET records = records + ?, copies = copies + ? WHERE id = ?", -1,
                               &count, nullptr) == SQLITE_OK &&
            sqlite3_bind_int64(count, 1, records) == SQLITE_OK &&
            sqlite3_bind_int64(count, 2, copies) == SQLITE_OK &&
            sqlite3_bind_int64(count, 3, *addId) == SQLITE_OK && sqlite3_step(count) == SQLITE_DONE;
        sqlite3_finalize(count);
        if (!ok)
            return fail(reason);
        if (sqlite3_changes(m_db) == 1)
            return true;
        *addId = 0;
    }
    sqlite3_stmt* add = nullptr;
    const QByteArray at = archiveTimeText(QDateTime::currentMSecsSinceEpoch()).toUtf8();
    const QByteArray from = origin.toUtf8();
    const bool ok =
        sqlite3_prepare_v2(m_db, "INSERT INTO adds (added_utc, origin, records, copies) VALUES (?, ?, ?, ?)",
                           -1, &add, nullptr) == SQLITE_OK &&
        bindText(add, 1, {at.constData(), std::size_t(at.size())}) &&
        bindText(add, 2, {from.constData(), std::size_t(from.size())}) &&
        sqlite3_bind_int64(add, 3, records) == SQLITE_OK && sqlite3_bind_int64(add, 4, copies) == SQLITE_OK &&
        sqlite3_step(add) == SQLITE_DONE;
    sqlite3_finalize(add);
    if (!ok)
        return fail(reason);
    *addId = sqlite3_last_insert_rowid(m_db);
    return true;
}

// A stand-in new to the archive whose copies were all there already brings nothing: those
// copies vote in the record they joined when they came.
void ArchiveWriter::dropStandInOfNothingNew()
{
    if (m_standInPending >= 0 && m_standInPending + 1 == std::ptrdiff_t(m_pending.size()) &&
        m_pending.back().role == ReceptionRole::StandIn && m_standInHeardNew == 0 &&
        m_standInHeardThere > 0) {
        m_pending.pop_back();
        m_standInPending = -1;
    }
    m_standInHeardNew = 0;
    m_standInHeardThere = 0;
}

// The copies of one beacon new to the archive join the record its copies there already joined,
// where they all joined one: else the beacon would have two. Called before a stand-in of
// nothing new is dropped.
bool ArchiveWriter::endBeacon()
{
    std::int64_t joined = 0;
    bool ok = true;
    if (!m_beaconNew.empty()) {
        for (const std::int64_t reception : m_beaconThere) {
            std::int64_t record = 0;
            ok = ok && recordOf(reception, &record);
            joined = joined == 0 || joined == record ? record : -1;
        }
    }
    for (const std::size_t i : m_beaconNew) {
        if (joined <= 0 || i >= m_pending.size() || m_pending[i].record != 0)
            continue;
        Pending& p = m_pending[i];
        p.record = joined;
        // Its copies there count in the record already.
        if (p.role == ReceptionRole::StandIn)
            p.copies = m_standInHeardNew;
    }
    m_beaconThere.clear();
    m_beaconNew.clear();
    return ok;
}

bool ArchiveWriter::flush(const QString& origin, qint64* addId, ArchiveAddResult* result, QString* reason)
{
    if (!endBeacon())
        return fail(reason);
    dropStandInOfNothingNew();
    if (m_pending.empty())
        return true;
    std::vector<std::size_t> unplaced;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        bool placed = false;
        if (m_pending[i].role == ReceptionRole::Heard || m_pending[i].record > 0)
            continue;
        if (!placeByLine(m_pending[i], &placed))
            return fail(reason);
        if (!placed)
            unplaced.push_back(i);
    }
    if (!unplaced.empty() && !placeByRecovery(unplaced, reason))
        return false;
    for (Pending& p : m_pending) {
        if (p.standIn >= 0)
            p.record = m_pending[std::size_t(p.standIn)].record;
    }
    std::vector<std::int64_t> newIds;
    if (!insertRecords(newIds, reason))
        return false;
    const auto counted = std::count_if(m_pending.begin(), m_pending.end(),
                                       [](const Pending& p) { return p.role != ReceptionRole::StandIn; });
    if (!countInAdd(origin, addId, qint64(newIds.size()), qint64(counted), reason))
        return false;
    if (!insertReceptions(newIds, *addId, reason))
        return false;
    std::set<std::int64_t> touched;
    for (const Pending& p : m_pending) {
        if (p.record > 0 && p.role != ReceptionRole::Heard)
            touched.insert(p.record);
    }
    for (const std::int64_t record : touched) {
        bool gone = false;
        if (!m_voter->revote(record, RecordVoter::Head::Kept, &gone, reason))
            return false;
    }
    if (m_standInPending >= 0) {
        const std::int64_t record = m_pending[std::size_t(m_standInPending)].record;
        m_standInRecord = record > 0 ? record : newIds[std::size_t(-record - 1)];
        m_standInPending = -1;
    }
    result->records += qint64(newIds.size());
    m_pending.clear();
    return true;
}

void ArchiveWriter::end(Ending ending)
{
    for (sqlite3_stmt** statement : {&m_insertRecord, &m_keepLine, &m_insertReception, &m_keepReception,
                                     &m_receptionThere, &m_recordLine, &m_recordOf}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    m_voter.reset();
    m_pending.clear();
    m_beaconThere.clear();
    m_beaconNew.clear();
    if (ending == Ending::RolledBack) {
        m_standInPending = -1;
        m_standInRecord = 0;
        m_lines.clear();
        m_receptions.clear();
        m_linesUpTo = 0;
        m_receptionsUpTo = 0;
    }
}

bool ArchiveWriter::fail(QString* reason)
{
    *reason = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

} // namespace orvik
