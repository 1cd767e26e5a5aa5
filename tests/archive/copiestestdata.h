// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A pass of beacon lines, copies heard otherwise, and the tool run on an archive in a folder of its own.
#include "archive/archive.h"
#include "decoder/beacon.h"
#include "support/tlmtestdata.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <limits>
#include <sqlite3.h>

using namespace orvik;

namespace copiestest {

constexpr int kBatteryTemp = 13; // "Battery Temp*", field at 36
constexpr int kUplink = 1;       // "Uplink Counter", field at 18

inline QByteArray hex(int value, int digits)
{
    return QByteArray::number(value, 16).rightJustified(digits, '0');
}

// Beacon n of a pass, 64 s after the one before, whose counters and currents move a little
// from beacon to beacon, as a satellite's do.
inline QByteArray passBeacon(int n)
{
    return QByteArray(kGood)
        .replace(5, 6, hex(0x01e240 + 64 * n, 6))
        .replace(17, 2, hex(0x10 + n, 2))
        .replace(21, 2, hex(0x40 + 3 * n, 2))
        .replace(43, 4, hex(0x0a14 + 37 * n, 4));
}

// The same beacon as another station's decoder writes it: other characters between the fields
// and in the tail, which the format leaves free.
inline QByteArray otherSeparators(QByteArray line)
{
    line.replace(' ', '/');
    return line.replace(89, 31, QByteArray("  de dl0xyz k 73 73 ...........", 31));
}

// A copy of `line` with `text` heard at `pos`, counted from 1.
inline QByteArray heard(QByteArray line, int pos, const QByteArray& text)
{
    return line.replace(pos - 1, text.size(), text);
}

struct Read {
    qint64 records = 0;
    qint64 copies = 0;
    std::vector<ArchiveRecord> all;
};

inline Read readBack(const QString& path)
{
    Read r;
    Archive archive;
    QString error;
    if (!archive.open(path, Archive::Access::ReadOnly, &error)) {
        qWarning("%s", qPrintable(error));
        return r;
    }
    archive.forEachRecord(
        std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
        [&](const ArchiveRecord& record) {
            ++r.records;
            r.copies += record.copies;
            r.all.push_back(record);
            return true;
        },
        nullptr);
    return r;
}

inline double decodedValue(const QByteArray& line, int channel)
{
    std::array<double, kChannelCount> values;
    const std::u16string wide(line.begin(), line.end());
    decodeBeaconLine(wide, values);
    return values[std::size_t(channel)];
}

// A file made from SQL text, as SQLite's shell would make it.
inline bool fileFromSql(const QString& path, const QByteArray& sql)
{
    sqlite3* db = nullptr;
    // Version 2.0.0 kept its archives in WAL mode too.
    const bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace copiestest
