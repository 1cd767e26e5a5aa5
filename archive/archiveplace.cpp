// SPDX-License-Identifier: GPL-3.0-or-later
// Where a reception goes: the record whose line it repeats, the record its stand-in went to,
// or the one the recovery's rule joins it to among the copies received near it.
#include "archiveadd.h"
#include "archivejoin.h"
#include "sqlitebind.h"

#include <algorithm>
#include <sqlite3.h>

namespace orvik {

using namespace sqlite;

// The copies heard after a stand-in join its record: `reception` is the stand-in's when it is
// in the file already, 0 when it is new. Any other entry ends the stand-in's copies.
bool ArchiveWriter::followStandIn(std::int64_t reception, ReceptionRole role)
{
    m_standInPending = -1;
    m_standInRecord = 0;
    if (role != ReceptionRole::StandIn)
        return true;
    if (reception == 0) {
        m_standInPending = std::ptrdiff_t(m_pending.size());
        return true;
    }
    return recordOf(reception, &m_standInRecord) && m_standInRecord != 0;
}

bool ArchiveWriter::recordOf(std::int64_t reception, std::int64_t* record)
{
    sqlite3_bind_int64(m_recordOf, 1, reception);
    const int step = sqlite3_step(m_recordOf);
    *record = step == SQLITE_ROW ? sqlite3_column_int64(m_recordOf, 0) : 0;
    sqlite3_reset(m_recordOf);
    return step == SQLITE_ROW || step == SQLITE_DONE;
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
                           "receptions c ON c.record_id = r.id WHERE r.received_ms BETWEEN ? AND ? AND "
                           "c.copies > 0 ORDER BY c.received_ms, c.id",
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

} // namespace orvik
