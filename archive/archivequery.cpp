// SPDX-License-Identifier: GPL-3.0-or-later
#include "archivequery.h"

#include "sqlitebind.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <limits>
#include <sqlite3.h>

namespace orvik {

namespace {

const QString kReceivedColumn = QStringLiteral("received_ms");

QString xColumn(TrendTime time)
{
    return time == TrendTime::Received ? kReceivedColumn : archiveColumnName(0);
}

QString columnList(std::span<const int> channels)
{
    QStringList names;
    for (int c : channels)
        names << archiveColumnName(c);
    return names.join(QStringLiteral(", "));
}

// "x BETWEEN ? AND ?" with the bounds bound to the column's own type.
QString spanCondition(TrendTime time) { return xColumn(time) + QStringLiteral(" BETWEEN ? AND ?"); }

void bindSpan(QSqlQuery& q, TrendTime time, double lo, double hi)
{
    if (time == TrendTime::Received) {
        q.addBindValue(qint64(std::floor(std::max(lo, -9.2e18))));
        q.addBindValue(qint64(std::ceil(std::min(hi, 9.2e18))));
    } else {
        q.addBindValue(lo / 1000.0);
        q.addBindValue(hi / 1000.0);
    }
}

bool fail(const Archive& archive, const QSqlQuery& q, QString* error)
{
    if (error)
        *error = archive.path() + QStringLiteral(": ") + q.lastError().text();
    return false;
}

bool run(const Archive& archive, QSqlQuery& q, QString* error)
{
    if (!q.exec())
        return fail(archive, q, error);
    return true;
}

bool extentOf(const Archive& archive, QSqlQuery& q, TrendTime time, double* lo, double* hi, QString* error)
{
    if (error)
        error->clear();
    if (!run(archive, q, error))
        return false;
    if (!q.next() || q.value(0).isNull() || q.value(1).isNull())
        return false;
    const double scale = time == TrendTime::Received ? 1.0 : 1000.0;
    *lo = time == TrendTime::Received ? double(q.value(0).toLongLong()) : q.value(0).toDouble() * scale;
    *hi = time == TrendTime::Received ? double(q.value(1).toLongLong()) : q.value(1).toDouble() * scale;
    return true;
}

sqlite3* sqliteHandle(const Archive& archive)
{
    return sqlite::handleOf(QSqlDatabase::database(archive.connectionName(), false));
}

bool sqliteFailure(const Archive& archive, sqlite3* db, sqlite3_stmt* statement, QString* error)
{
    if (error)
        *error = archive.path() + QStringLiteral(": ") +
                 (db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no SQLite connection"));
    sqlite3_finalize(statement);
    return false;
}

// The record holding a column's minimum and the one holding its maximum.
struct Extremes {
    double minValue = std::numeric_limits<double>::infinity();
    double maxValue = -std::numeric_limits<double>::infinity();
    double minX = 0;
    double maxX = 0;
};

} // namespace

std::optional<qint64> archiveDataVersion(const Archive& archive)
{
    QSqlQuery q(QSqlDatabase::database(archive.connectionName(), false));
    if (!q.exec(QStringLiteral("PRAGMA data_version")) || !q.next())
        return std::nullopt;
    return q.value(0).toLongLong();
}

bool trendExtent(const Archive& archive, TrendTime time, double* lo, double* hi, QString* error)
{
    QSqlQuery q(QSqlDatabase::database(archive.connectionName(), false));
    const QString x = xColumn(time);
    // Two subqueries: SQLite answers a lone min() or max() from the index, never both at once.
    q.prepare(QStringLiteral("SELECT (SELECT min(%1) FROM records), (SELECT max(%1) FROM records)").arg(x));
    return extentOf(archive, q, time, lo, hi, error);
}

bool trendExtentOfReceived(const Archive& archive, TrendTime time, qint64 sinceMs, qint64 untilMs, double* lo,
                           double* hi, QString* error)
{
    QSqlQuery q(QSqlDatabase::database(archive.connectionName(), false));
    const QString x = xColumn(time);
    q.prepare(QStringLiteral("SELECT min(%1), max(%1) FROM records WHERE %2")
                  .arg(x, spanCondition(TrendTime::Received)));
    bindSpan(q, TrendTime::Received, double(sinceMs), double(untilMs));
    return extentOf(archive, q, time, lo, hi, error);
}

bool newestRun(const Archive& archive, qint64 gapMs, qint64 longestMs, qint64* firstMs, qint64* lastMs,
               QString* error)
{
    if (error)
        error->clear();
    QSqlQuery q(QSqlDatabase::database(archive.connectionName(), false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
                  "SELECT %1 FROM records WHERE %1 >= (SELECT max(%1) FROM records) - ? ORDER BY %1 DESC")
                  .arg(kReceivedColumn));
    q.addBindValue(longestMs);
    if (!run(archive, q, error) || !q.next())
        return false;
    *lastMs = *firstMs = q.value(0).toLongLong();
    // Walks back from the newest through the received-time index, as far as the run goes.
    while (q.next()) {
        const qint64 t = q.value(0).toLongLong();
        if (*firstMs - t >= gapMs)
            break;
        *firstMs = t;
    }
    return true;
}

namespace {

// The extremes of each line in each pixel column, oldest point first within a column.
void appendExtremes(const std::vector<Extremes>& slices, int columns, TrendData* out)
{
    const std::size_t n = out->lines.size();
    for (std::size_t i = 0; i < n; ++i) {
        QList<QPointF>& points = out->lines[i].points;
        points.reserve(columns * 2);
        for (std::size_t column = 0; column < std::size_t(columns); ++column) {
            const Extremes& e = slices[column * n + i];
            if (e.minValue > e.maxValue)
                continue;
            const QPointF low(e.minX, e.minValue);
            const QPointF high(e.maxX, e.maxValue);
            if (low == high) {
                points.append(low);
            } else if (e.minX <= e.maxX) {
                points << low << high;
            } else {
                points << high << low;
            }
        }
    }
}

// The statement that reads the records of the span, its bounds bound; null after telling why.
sqlite3_stmt* prepareTrend(const Archive& archive, sqlite3* db, std::span<const int> channels, TrendTime time,
                           double lo, double hi, QString* error)
{
    const QByteArray sql = QStringLiteral("SELECT %1, %2 FROM records WHERE %3")
                               .arg(xColumn(time), columnList(channels), spanCondition(time))
                               .toUtf8();
    sqlite3_stmt* statement = nullptr;
    if (!db || sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
        sqliteFailure(archive, db, statement, error);
        return nullptr;
    }
    if (time == TrendTime::Received) {
        sqlite3_bind_int64(statement, 1, qint64(std::floor(std::max(lo, -9.2e18))));
        sqlite3_bind_int64(statement, 2, qint64(std::ceil(std::min(hi, 9.2e18))));
    } else {
        sqlite3_bind_double(statement, 1, lo / 1000.0);
        sqlite3_bind_double(statement, 2, hi / 1000.0);
    }
    return statement;
}

} // namespace

bool readTrend(const Archive& archive, std::span<const int> channels, TrendTime time, double lo, double hi,
               int columns, TrendData* out, QString* error)
{
    *out = TrendData{};
    columns = std::max(columns, 1);
    const std::size_t n = channels.size();
    for (int c : channels)
        out->lines.push_back(TrendLine{c, {}});
    if (n == 0)
        return true;

    // A million rows are read here: straight from SQLite, on the Qt driver's own connection,
    // without a QVariant for each value.
    sqlite3* db = sqliteHandle(archive);
    sqlite3_stmt* statement = prepareTrend(archive, db, channels, time, lo, hi, error);
    if (!statement)
        return false;

    // Whole records are kept until there are too many to draw; the slices are kept all along.
    const auto wholeLimit = qint64(columns) * 2;
    std::vector<Extremes> slices(std::size_t(columns) * n);
    const double width = hi > lo ? hi - lo : 1.0;
    qint64 records = 0;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        const double x = time == TrendTime::Received ? double(sqlite3_column_int64(statement, 0))
                                                     : sqlite3_column_double(statement, 0) * 1000.0;
        ++records;
        const auto column = std::size_t(std::clamp(int((x - lo) / width * columns), 0, columns - 1));
        for (std::size_t i = 0; i < n; ++i) {
            if (sqlite3_column_type(statement, int(i) + 1) == SQLITE_NULL)
                continue;
            const double value = sqlite3_column_double(statement, int(i) + 1);
            Extremes& e = slices[column * n + i];
            if (value < e.minValue) {
                e.minValue = value;
                e.minX = x;
            }
            if (value > e.maxValue) {
                e.maxValue = value;
                e.maxX = x;
            }
            if (records <= wholeLimit)
                out->lines[i].points.append(QPointF(x, value));
        }
        if (records == wholeLimit + 1) {
            for (TrendLine& line : out->lines)
                line.points = {};
        }
    }
    if (step != SQLITE_DONE)
        return sqliteFailure(archive, db, statement, error);
    sqlite3_finalize(statement);
    out->records = records;
    if (records <= wholeLimit) {
        for (TrendLine& line : out->lines)
            std::stable_sort(line.points.begin(), line.points.end(),
                             [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
        return true;
    }
    out->reduced = true;
    appendExtremes(slices, columns, out);
    return true;
}

bool forEachTrendRow(const Archive& archive, std::span<const int> channels, TrendTime time, double lo,
                     double hi, const TrendRowVisitor& visit, QString* error)
{
    QSqlQuery q(QSqlDatabase::database(archive.connectionName(), false));
    q.setForwardOnly(true);
    const QString values = channels.empty() ? QString() : QStringLiteral(", ") + columnList(channels);
    q.prepare(QStringLiteral("SELECT %1, %2%3 FROM records WHERE %4 ORDER BY %1, %2")
                  .arg(xColumn(time), kReceivedColumn, values, spanCondition(time)));
    bindSpan(q, time, lo, hi);
    if (!run(archive, q, error))
        return false;
    std::vector<double> row(channels.size());
    while (q.next()) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            const QVariant v = q.value(int(i) + 2);
            row[i] = v.isNull() ? std::numeric_limits<double>::quiet_NaN() : v.toDouble();
        }
        if (!visit(q.value(1).toLongLong(), row))
            break;
    }
    if (q.lastError().isValid())
        return fail(archive, q, error);
    return true;
}

} // namespace orvik
