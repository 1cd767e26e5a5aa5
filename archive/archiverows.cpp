// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of rows, the time texts, and the vote of a record from the copies it keeps.
#include "archiveadd.h"
#include "archivejoin.h"
#include "sqlitebind.h"

#include <QString>
#include <vector>

namespace orvik {

using namespace sqlite;

namespace {

std::uint64_t fnv(std::uint64_t h, std::string_view text)
{
    for (const char c : text)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return h;
}

constexpr std::uint64_t kFnvBasis = 0xcbf29ce484222325u;

std::size_t slotOf(std::uint64_t key, std::size_t size)
{
    return std::size_t(key * 0x9E3779B97F4A7C15u) & (size - 1);
}

} // namespace

std::uint64_t archiveLineKey(std::string_view lowerLine) { return fnv(kFnvBasis, lowerLine); }

std::uint64_t archiveReceptionKey(std::string_view source, std::string_view line)
{
    return fnv(fnv(fnv(kFnvBasis, source), "\n"), line);
}

std::int64_t RowKeys::find(std::uint64_t key) const
{
    if (m_slots.empty())
        return 0;
    for (std::size_t i = slotOf(key, m_slots.size());; i = (i + 1) & (m_slots.size() - 1)) {
        if (m_slots[i].id == 0 || m_slots[i].key == key)
            return m_slots[i].id;
    }
}

void RowKeys::remember(std::uint64_t key, std::int64_t id, bool replace)
{
    if ((m_count + 1) * 2 > m_slots.size()) {
        std::vector<Slot> old(std::max<std::size_t>(1024, m_slots.size() * 2));
        std::swap(old, m_slots);
        m_count = 0;
        for (const Slot& slot : old) {
            if (slot.id != 0)
                remember(slot.key, slot.id, false);
        }
    }
    std::size_t i = slotOf(key, m_slots.size());
    while (m_slots[i].id != 0) {
        if (m_slots[i].key == key) {
            if (replace)
                m_slots[i].id = id;
            return;
        }
        i = (i + 1) & (m_slots.size() - 1);
    }
    m_slots[i] = Slot{key, id};
    ++m_count;
}

void RowKeys::clear()
{
    m_slots.clear();
    m_count = 0;
}

const std::string& TimeText::of(std::int64_t ms)
{
    constexpr std::int64_t kDayMs = 24 * 3600 * 1000;
    const std::int64_t day = ms >= 0 ? ms / kDayMs : (ms - kDayMs + 1) / kDayMs;
    constexpr std::size_t kWholeSecondText = 20;
    if (m_text.size() != kWholeSecondText || day != m_day || ms % 1000 != 0) {
        m_text = archiveTimeText(ms).toStdString();
        m_day = day;
        return m_text;
    }
    const int second = int((ms - day * kDayMs) / 1000);
    const int fields[] = {second / 3600, second / 60 % 60, second % 60};
    for (std::size_t i = 0; i < 3; ++i) {
        m_text[11 + 3 * i] = char('0' + fields[i] / 10);
        m_text[12 + 3 * i] = char('0' + fields[i] % 10);
    }
    return m_text;
}

RecordVoter::~RecordVoter()
{
    for (sqlite3_stmt* statement : {m_copies, m_values, m_countOnly, m_first, m_firstKey, m_drop, m_dropKey,
                                    m_dropHeard, m_dropHeardKeys})
        sqlite3_finalize(statement);
}

bool RecordVoter::prepare(sqlite3_stmt*& statement, const QByteArray& sql)
{
    return statement ||
           sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &statement, nullptr) == SQLITE_OK;
}

bool RecordVoter::readCopies(std::int64_t record, Copies& out)
{
    if (!prepare(
            m_copies,
            "SELECT line, copies, received_ms, source FROM receptions WHERE record_id = ? AND copies > 0 "
            "ORDER BY id"))
        return false;
    out = Copies();
    sqlite3_bind_int64(m_copies, 1, record);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(m_copies)) == SQLITE_ROW) {
        out.lines.emplace_back(textOf(m_copies, 0));
        out.copies.push_back({{}, sqlite3_column_int(m_copies, 1), record});
        out.total += out.copies.back().copies;
        if (out.lines.size() == 1) {
            out.firstMs = sqlite3_column_int64(m_copies, 2);
            out.firstSource = textOf(m_copies, 3);
        }
    }
    sqlite3_reset(m_copies);
    for (std::size_t i = 0; i < out.copies.size(); ++i)
        out.copies[i].line = out.lines[i];
    return step == SQLITE_DONE;
}

bool RecordVoter::vote(std::int64_t record, std::array<double, kChannelCount>& values, QString* reason)
{
    Copies held;
    if (!readCopies(record, held)) {
        *reason = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    }
    voteCopies(held.copies, values);
    return true;
}

bool RecordVoter::revote(std::int64_t record, Head head, bool* gone, QString* reason)
{
    const bool first = head == Head::FromFirstCopy;
    const auto failed = [&] {
        *reason = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    };
    // Prepared once, on the first record voted again.
    if (!m_dropKey &&
        (!prepare(m_values, "UPDATE records SET copies = ?" + columnList(", ", " = ?") + " WHERE id = ?") ||
         !prepare(m_countOnly, "UPDATE records SET copies = ? WHERE id = ?") ||
         !prepare(m_first, "UPDATE records SET line = ?, line_key = ?, received_ms = ?, received_utc = ?, "
                           "source = ? WHERE id = ?") ||
         !prepare(m_firstKey, "UPDATE line_keys SET line_key = ? WHERE id = ?") ||
         !prepare(m_drop, "DELETE FROM records WHERE id = ?") ||
         !prepare(m_dropKey, "DELETE FROM line_keys WHERE id = ?") ||
         !prepare(m_dropHeardKeys, "DELETE FROM reception_keys WHERE id IN (SELECT id FROM receptions WHERE "
                                   "record_id = ?)") ||
         !prepare(m_dropHeard, "DELETE FROM receptions WHERE record_id = ?")))
        return failed();
    Copies held;
    if (!readCopies(record, held))
        return failed();
    *gone = held.copies.empty();
    if (*gone) {
        // Copies heard beside a stand-in that went cannot vote, and go with their record.
        for (sqlite3_stmt* drop : {m_dropHeardKeys, m_dropHeard, m_drop, m_dropKey}) {
            sqlite3_bind_int64(drop, 1, record);
            if (!run(drop))
                return failed();
        }
        return true;
    }
    // Copies of one text vote what the record holds already: only their count changes.
    if (!first && oneBeaconLine(held.copies)) {
        sqlite3_bind_int(m_countOnly, 1, held.total);
        sqlite3_bind_int64(m_countOnly, 2, record);
        return run(m_countOnly) || failed();
    }
    std::array<double, kChannelCount> values;
    voteCopies(held.copies, values);
    sqlite3_bind_int(m_values, 1, held.total);
    if (!bindValues(m_values, 2, values) ||
        sqlite3_bind_int64(m_values, 2 + kChannelCount, record) != SQLITE_OK || !run(m_values))
        return failed();
    if (!first)
        return true;
    lowerInto(held.lines.front(), m_lower);
    const std::uint64_t key = archiveLineKey(m_lower);
    const std::string& time = m_time.of(held.firstMs);
    const bool ok =
        bindText(m_first, 1, m_lower) && sqlite3_bind_int64(m_first, 2, sqlite3_int64(key)) == SQLITE_OK &&
        sqlite3_bind_int64(m_first, 3, held.firstMs) == SQLITE_OK && bindText(m_first, 4, time) &&
        bindText(m_first, 5, held.firstSource) && sqlite3_bind_int64(m_first, 6, record) == SQLITE_OK &&
        run(m_first) && sqlite3_bind_int64(m_firstKey, 1, sqlite3_int64(key)) == SQLITE_OK &&
        sqlite3_bind_int64(m_firstKey, 2, record) == SQLITE_OK && run(m_firstKey);
    return ok || failed();
}

} // namespace orvik
