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

ArchiveWriter::~ArchiveWriter() { end(true); }

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
        !prepare(m_recordLine, "SELECT 1 FROM records WHERE id = ? AND line = ?"))
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
    if (const std::int64_t known = m_receptions.find(key);
        known != 0 && !isThere(known, entry, source, &there))
        return fail(reason);
    *fresh = !there;
    if (there)
        return true;
    m_pending.push_back({entry.line, source, entry.receivedMs, entry.copies, entry.bytes, key, 0});
    m_receptions.remember(key, -1, true);
    return true;
}

bool ArchiveWriter::placeByLine(Pending& p, bool* placed)
{
    lowerInto(p.line, m_lower);
    *placed = false;
    const std::int64_t id = m_lines.find(archiveLineKey(m_lower));
    if (id <= 0)
        return true;
    // The row may have gone with an add taken back, or hold another line of the same key.
    sqlite3_bind_int64(m_recordLine, 1, id);
    bindText(m_recordLine, 2, m_lower);
    const int step = sqlite3_step(m_recordLine);
    sqlite3_reset(m_recordLine);
    if (step == SQLITE_ROW) {
        p.record = id;
        *placed = true;
    }
    return step == SQLITE_ROW || step == SQLITE_DONE;
}

bool ArchiveWriter::placeByRecovery(std::vector<std::size_t>& unplaced, QString* reason)
{
    qint64 lo = m_pending[unplaced.front()].receivedMs;
    qint64 hi = lo;
    for (const std::size_t i : unplaced) {
        lo = std::min(lo, m_pending[i].receivedMs);
        hi = std::max(hi, m_pending[i].receivedMs);
    }
    sqlite3_stmt* rows = nullptr;
    if (sqlite3_prepare_v2(m_db,
                           // Through the records' times: their copies came within the window of them.
                           "SELECT c.record_id, c.line, c.copies, c.received_ms FROM records r JOIN "
                           "receptions c ON c.record_id = r.id WHERE r.received_ms BETWEEN ? AND ? ORDER BY "
                           "c.received_ms, c.id",
                           -1, &rows, nullptr) != SQLITE_OK)
        return fail(reason);
    sqlite3_bind_int64(rows, 1, lo - kJoinWindowMs);
    sqlite3_bind_int64(rows, 2, hi + kJoinWindowMs);
    struct Near {
        qint64 receivedMs;
        std::int64_t record;
        int copies;
        std::string line;
    };
    std::vector<Near> near;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(rows)) == SQLITE_ROW)
        near.push_back({sqlite3_column_int64(rows, 3), sqlite3_column_int64(rows, 0),
                        sqlite3_column_int(rows, 2), std::string(textOf(rows, 1))});
    sqlite3_finalize(rows);
    if (step != SQLITE_DONE)
        return fail(reason);
    // The copies in the order they were received; those there before the new at the same time.
    std::vector<std::pair<qint64, std::size_t>> order; // time, index: near first, then unplaced
    for (std::size_t i = 0; i < near.size(); ++i)
        order.emplace_back(near[i].receivedMs, i);
    for (std::size_t k = 0; k < unplaced.size(); ++k)
        order.emplace_back(m_pending[unplaced[k]].receivedMs, near.size() + k);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ArchiveCopy> copies;
    copies.reserve(order.size());
    for (const auto& [ms, i] : order) {
        if (i < near.size()) {
            copies.push_back({near[i].line, near[i].copies, near[i].record});
        } else {
            const Pending& p = m_pending[unplaced[i - near.size()]];
            copies.push_back({p.line, p.copies, 0});
        }
    }
    const std::vector<std::int64_t> joined = joinCopies(copies);
    for (std::size_t j = 0; j < order.size(); ++j) {
        if (order[j].second >= near.size())
            m_pending[unplaced[order[j].second - near.size()]].record = joined[j];
    }
    return true;
}

bool ArchiveWriter::insertRecords(std::vector<std::int64_t>& newIds, QString* reason)
{
    std::vector<std::vector<std::size_t>> members;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        if (const std::int64_t k = m_pending[i].record; k < 0) {
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

bool ArchiveWriter::flush(const QString& origin, qint64* addId, ArchiveAddResult* result, QString* reason)
{
    if (m_pending.empty())
        return true;
    std::vector<std::size_t> unplaced;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        bool placed = false;
        if (!placeByLine(m_pending[i], &placed))
            return fail(reason);
        if (!placed)
            unplaced.push_back(i);
    }
    if (!unplaced.empty() && !placeByRecovery(unplaced, reason))
        return false;
    std::vector<std::int64_t> newIds;
    if (!insertRecords(newIds, reason))
        return false;
    if (!countInAdd(origin, addId, qint64(newIds.size()), qint64(m_pending.size()), reason))
        return false;
    if (!insertReceptions(newIds, *addId, reason))
        return false;
    std::set<std::int64_t> touched;
    for (const Pending& p : m_pending) {
        if (p.record > 0)
            touched.insert(p.record);
    }
    for (const std::int64_t record : touched) {
        bool gone = false;
        if (!m_voter->revote(record, false, &gone, reason))
            return false;
    }
    result->records += qint64(newIds.size());
    m_pending.clear();
    return true;
}

void ArchiveWriter::end(bool committed)
{
    for (sqlite3_stmt** statement : {&m_insertRecord, &m_keepLine, &m_insertReception, &m_keepReception,
                                     &m_receptionThere, &m_recordLine}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    m_voter.reset();
    m_pending.clear();
    if (!committed) {
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
