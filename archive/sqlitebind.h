// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the archive's writers share of SQLite's C API: statements run on the Qt driver's
// connection, with text bound and read without copies.
#include "archive/archive.h"
#include "decoder/channels.h"
#include "decoder/chars.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <sqlite3.h>
#include <string>
#include <string_view>

namespace orvik::sqlite {

// SQLite's own handle of the Qt driver's connection; null when the driver gives none.
inline sqlite3* handleOf(const QSqlDatabase& db)
{
    const QVariant handle = db.isValid() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

inline bool bindText(sqlite3_stmt* statement, int index, std::string_view text)
{
    return sqlite3_bind_text(statement, index, text.data(), int(text.size()), SQLITE_STATIC) == SQLITE_OK;
}

// A copy's line: text, or the bytes as they came where they are no valid UTF-8.
inline bool bindLine(sqlite3_stmt* statement, int index, std::string_view line, bool bytes)
{
    return bytes ? sqlite3_bind_blob(statement, index, line.data(), int(line.size()), SQLITE_STATIC) ==
                       SQLITE_OK
                 : bindText(statement, index, line);
}

// Runs a statement that returns no rows; true when it ran to its end.
inline bool run(sqlite3_stmt* statement)
{
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    return done;
}

inline bool bindValues(sqlite3_stmt* statement, int first, const std::array<double, kChannelCount>& values)
{
    bool ok = true;
    for (int i = 0; ok && i < kChannelCount; ++i) {
        const double value = values[std::size_t(i)];
        ok = (std::isnan(value) ? sqlite3_bind_null(statement, first + i)
                                : sqlite3_bind_double(statement, first + i, value)) == SQLITE_OK;
    }
    return ok;
}

inline void lowerInto(std::string_view line, std::string& out)
{
    const bool ascii =
        std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        out = QString::fromUtf8(line.data(), qsizetype(line.size())).toLower().toStdString();
        return;
    }
    out.resize(line.size());
    std::transform(line.begin(), line.end(), out.begin(), [](char c) { return foldCase(c); });
}

inline std::string_view textOf(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string_view(text, std::size_t(sqlite3_column_bytes(statement, column)))
                : std::string_view();
}

inline QByteArray columnList(const char* prefix, const char* suffix)
{
    QByteArray out;
    for (int i = 0; i < kChannelCount; ++i)
        out += prefix + archiveColumnName(i).toUtf8() + suffix;
    return out;
}

} // namespace orvik::sqlite
