// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveadd.h"

#include "decoder/beacon.h"

#include <QSqlDriver>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <limits>
#include <sqlite3.h>

namespace orvik {

namespace {

bool bindText(sqlite3_stmt* statement, int index, std::string_view text)
{
    return sqlite3_bind_text(statement, index, text.data(), int(text.size()), SQLITE_STATIC) == SQLITE_OK;
}

// Runs a statement that returns no rows; true when it ran to its end.
bool run(sqlite3_stmt* statement)
{
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    return done;
}

void lowerInto(const std::string& line, std::string& out)
{
    bool ascii = true;
    for (const char c : line)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (!ascii) {
        out = QString::fromUtf8(line).toLower().toStdString();
        return;
    }
    out.resize(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        out[i] = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
}

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

std::size_t slotOf(std::uint64_t key, std::size_t size)
{
    return std::size_t(key * 0x9E3779B97F4A7C15u) & (size - 1);
}

} // namespace

bool decodeCertain(std::u16string_view line, std::array<double, kChannelCount>& values)
{
    decodeBeaconLine(line, values);
    bool plain = true;
    for (int i = 0; i < kChannelCount; ++i) {
        const std::u16string_view field = channelField(line, kChannels[std::size_t(i)]);
        if (!std::all_of(field.begin(), field.end(), isHexDigit)) {
            values[std::size_t(i)] = std::numeric_limits<double>::quiet_NaN();
            plain = false;
        }
    }
    return plain;
}

std::uint64_t archiveLineKey(std::string_view lowerLine)
{
    std::uint64_t h = 0xcbf29ce484222325u;
    for (const char c : lowerLine)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    return h;
}

ArchiveWriter::~ArchiveWriter() { end(true); }

bool ArchiveWriter::begin(const QSqlDatabase& db, QString* reason)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        *reason = QStringLiteral("the SQLite driver gives no handle");
        return false;
    }
    m_db = *static_cast<sqlite3* const*>(handle.data());
    QString columns;
    for (int i = 0; i < kChannelCount; ++i)
        columns += QStringLiteral(", ") + archiveColumnName(i);
    const QByteArray insert =
        QStringLiteral("INSERT INTO records (line, line_key, received_ms, received_utc, "
                       "source%1) VALUES (?, ?, ?, ?, ?%2)")
            .arg(columns, QStringLiteral(", ?").repeated(kChannelCount))
            .toUtf8();
    const char* const copyById = "UPDATE records SET copies = copies + 1 WHERE id = ? AND line = ?";
    const char* const copyByKey = "UPDATE records SET copies = copies + 1 WHERE line_key = ? AND line = ?";
    const char* const keep = "INSERT INTO line_keys (id, line_key) VALUES (?, ?)";
    if (sqlite3_prepare_v2(m_db, insert.constData(), int(insert.size()), &m_insert, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_db, keep, -1, &m_keep, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_db, copyById, -1, &m_copyById, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(m_db, copyByKey, -1, &m_copyByKey, nullptr) != SQLITE_OK)
        return fail(reason);
    return learn(reason);
}

bool ArchiveWriter::learn(QString* reason)
{
    sqlite3_stmt* rows = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT id, line_key FROM line_keys WHERE id > ? ORDER BY id", -1, &rows,
                           nullptr) != SQLITE_OK)
        return fail(reason);
    sqlite3_bind_int64(rows, 1, m_knownUpTo);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(rows)) == SQLITE_ROW) {
        m_knownUpTo = sqlite3_column_int64(rows, 0);
        remember(std::uint64_t(sqlite3_column_int64(rows, 1)), m_knownUpTo, false);
    }
    sqlite3_finalize(rows);
    return step == SQLITE_DONE || fail(reason);
}

std::int64_t ArchiveWriter::find(std::uint64_t key) const
{
    if (m_slots.empty())
        return 0;
    for (std::size_t i = slotOf(key, m_slots.size());; i = (i + 1) & (m_slots.size() - 1)) {
        if (m_slots[i].id == 0 || m_slots[i].key == key)
            return m_slots[i].id;
    }
}

// A second line of the same key is rare enough to be found by a slower search.
void ArchiveWriter::remember(std::uint64_t key, std::int64_t id, bool replace)
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

// Records of a log come seconds apart: within a day, only the time of day is written anew.
void ArchiveWriter::setTimeText(std::int64_t ms)
{
    constexpr std::int64_t kDayMs = 24 * 3600 * 1000;
    const std::int64_t day = ms >= 0 ? ms / kDayMs : (ms - kDayMs + 1) / kDayMs;
    // "YYYY-MM-DDTHH:MM:SSZ"
    constexpr std::size_t kWholeSecondText = 20;
    if (m_timeText.size() != kWholeSecondText || day != m_timeDay || ms % 1000 != 0) {
        m_timeText = archiveTimeText(ms).toStdString();
        m_timeDay = day;
        return;
    }
    const int second = int((ms - day * kDayMs) / 1000);
    const int fields[] = {second / 3600, second / 60 % 60, second % 60};
    for (std::size_t i = 0; i < 3; ++i) {
        m_timeText[11 + 3 * i] = char('0' + fields[i] / 10);
        m_timeText[12 + 3 * i] = char('0' + fields[i] % 10);
    }
}

bool ArchiveWriter::add(const ArchiveEntry& entry, bool* added, QString* reason)
{
    lowerInto(entry.line, m_line);
    const std::uint64_t key = archiveLineKey(m_line);
    *added = false;
    const std::int64_t known = find(key);
    if (const std::int64_t id = known; id != 0) {
        sqlite3_bind_int64(m_copyById, 1, id);
        bindText(m_copyById, 2, m_line);
        if (!run(m_copyById))
            return fail(reason);
        if (sqlite3_changes(m_db) > 0)
            return true;
        // Another line of the same key, or a row taken away by hand.
        sqlite3_bind_int64(m_copyByKey, 1, sqlite3_int64(key));
        bindText(m_copyByKey, 2, m_line);
        if (!run(m_copyByKey))
            return fail(reason);
        if (sqlite3_changes(m_db) > 0)
            return true;
    }
    setTimeText(entry.receivedMs);
    m_source = entry.source.toUtf8();
    bool ok =
        bindText(m_insert, 1, m_line) && sqlite3_bind_int64(m_insert, 2, sqlite3_int64(key)) == SQLITE_OK &&
        sqlite3_bind_int64(m_insert, 3, entry.receivedMs) == SQLITE_OK && bindText(m_insert, 4, m_timeText) &&
        bindText(m_insert, 5, {m_source.constData(), std::size_t(m_source.size())});
    for (int i = 0; ok && i < kChannelCount; ++i) {
        const double value = entry.values[std::size_t(i)];
        ok = (std::isnan(value) ? sqlite3_bind_null(m_insert, 6 + i)
                                : sqlite3_bind_double(m_insert, 6 + i, value)) == SQLITE_OK;
    }
    if (!ok || !run(m_insert))
        return fail(reason);
    m_knownUpTo = sqlite3_last_insert_rowid(m_db);
    if (sqlite3_bind_int64(m_keep, 1, m_knownUpTo) != SQLITE_OK ||
        sqlite3_bind_int64(m_keep, 2, sqlite3_int64(key)) != SQLITE_OK || !run(m_keep))
        return fail(reason);
    remember(key, m_knownUpTo, known != 0);
    *added = true;
    return true;
}

void ArchiveWriter::end(bool committed)
{
    for (sqlite3_stmt** statement : {&m_insert, &m_keep, &m_copyById, &m_copyByKey}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    if (!committed) {
        m_slots.clear();
        m_count = 0;
        m_knownUpTo = 0;
    }
}

bool ArchiveWriter::fail(QString* reason)
{
    *reason = QString::fromUtf8(sqlite3_errmsg(m_db));
    return false;
}

} // namespace orvik
