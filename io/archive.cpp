// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive.h"

#include "archiveadd.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace orvik {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const QLatin1StringView kFixedColumns[] = {
    QLatin1StringView("id"),          QLatin1StringView("line"),         QLatin1StringView("line_key"),
    QLatin1StringView("received_ms"), QLatin1StringView("received_utc"), QLatin1StringView("source"),
    QLatin1StringView("copies")};

QStringList makeColumnNames()
{
    QStringList names;
    for (const Channel& ch : kChannels) {
        QString name;
        QChar previous;
        const auto separate = [&] {
            if (!name.isEmpty() && !name.endsWith(QLatin1Char('_')))
                name += QLatin1Char('_');
        };
        for (const char c : ch.caption) {
            const QChar q = QLatin1Char(c);
            if (q.isLetterOrNumber() && c >= 0) {
                // "SolarCurr" reads as two words.
                if (q.isUpper() && previous.isLower())
                    separate();
                name += q.toLower();
            } else {
                separate();
                if (c == '+')
                    name += QLatin1String("plus_");
                else if (c == '-')
                    name += QLatin1String("minus_");
                else if (c == '*')
                    name += QLatin1String("star_");
            }
            previous = q;
        }
        while (name.endsWith(QLatin1Char('_')))
            name.chop(1);
        if (name.isEmpty() || name[0].isDigit())
            name.prepend(QLatin1String("channel_"));
        const QString base = name;
        for (int n = 2; names.contains(name) || std::find(std::begin(kFixedColumns), std::end(kFixedColumns),
                                                          name) != std::end(kFixedColumns);
             ++n)
            name = base + QLatin1Char('_') + QString::number(n);
        names << name;
    }
    return names;
}

const QStringList& columnNames()
{
    static const QStringList names = makeColumnNames();
    return names;
}

QString channelColumns() { return columnNames().join(QLatin1String(", ")); }

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

double readValue(const QVariant& v) { return v.isNull() ? kNaN : v.toDouble(); }

QAtomicInt connectionCounter;

enum class Kind { Empty, Ours, Newer, Foreign, Damaged, Unreadable };

struct Inspection {
    Kind kind = Kind::Damaged;
    int version = 0;
    QString reason;
};

// What the file behind the connection holds, read without changing it.
Inspection inspect(const QSqlDatabase& db)
{
    Inspection result;
    QSqlQuery q(db);
    const auto single = [&](const QString& sql, QVariant* value) {
        if (!q.exec(sql) || !q.next()) {
            result.reason = q.lastError().databaseText();
            // SQLITE_CORRUPT and SQLITE_NOTADB; anything else, such as a lock, says nothing of the file.
            const QString code = q.lastError().nativeErrorCode();
            if (code != QLatin1String("11") && code != QLatin1String("26"))
                result.kind = Kind::Unreadable;
            return false;
        }
        *value = q.value(0);
        return true;
    };
    QVariant version, application, objects;
    if (!single(QStringLiteral("PRAGMA user_version"), &version) ||
        !single(QStringLiteral("PRAGMA application_id"), &application) ||
        !single(QStringLiteral("SELECT count(*) FROM sqlite_master"), &objects))
        return result;
    result.version = version.toInt();
    if (result.version == 0 && application.toInt() == 0 && objects.toInt() == 0) {
        result.kind = Kind::Empty;
        return result;
    }
    if (application.toInt() != kArchiveApplicationId || result.version <= 0) {
        result.kind = Kind::Foreign;
        return result;
    }
    if (result.version > kArchiveSchemaVersion) {
        result.kind = Kind::Newer;
        return result;
    }
    QStringList wanted = columnNames();
    for (const QLatin1StringView fixed : kFixedColumns)
        wanted << fixed;
    if (!q.exec(QStringLiteral("PRAGMA table_info(records)"))) {
        result.reason = q.lastError().databaseText();
        return result;
    }
    while (q.next())
        wanted.removeAll(q.value(1).toString());
    if (!wanted.isEmpty()) {
        result.reason = QStringLiteral("the table of records lacks the column %1").arg(wanted.first());
        return result;
    }
    result.kind = Kind::Ours;
    return result;
}

QString schemaSql()
{
    QString records = QStringLiteral("CREATE TABLE records (\n"
                                     "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                                     "  line TEXT NOT NULL,\n"
                                     "  line_key INTEGER NOT NULL,\n"
                                     "  received_ms INTEGER NOT NULL,\n"
                                     "  received_utc TEXT NOT NULL,\n"
                                     "  source TEXT NOT NULL,\n"
                                     "  copies INTEGER NOT NULL DEFAULT 1");
    for (const QString& name : columnNames())
        records += QStringLiteral(",\n  %1 REAL").arg(name);
    records += QStringLiteral(")");
    return records;
}

} // namespace

struct Archive::Private {
    QString path;
    QString connection;
    bool writable = false;
    bool adding = false;
    ArchiveWriter writer;

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    // immutable: on a read-only medium, where SQLite cannot make the shared-memory file of WAL.
    bool connect(bool readOnly, bool immutable = false)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
        if (readOnly)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        if (immutable) {
            db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                               QStringLiteral("?immutable=1"));
            options += QStringLiteral(";QSQLITE_OPEN_URI");
        } else {
            db.setDatabaseName(path);
        }
        db.setConnectOptions(options);
        return db.open();
    }

    void disconnect()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(connection, false);
            if (db.isValid())
                db.close();
        }
        if (QSqlDatabase::contains(connection))
            QSqlDatabase::removeDatabase(connection);
    }

    QString fail(const QString& what) const
    {
        return QStringLiteral("'%1' %2").arg(QDir::toNativeSeparators(path), what);
    }

    QString refusal(const Inspection& found) const
    {
        switch (found.kind) {
        case Kind::Newer:
            return fail(QStringLiteral("comes from a newer version of the program (archive version %1; this "
                                       "one reads up to %2); it is left as it is")
                            .arg(found.version)
                            .arg(kArchiveSchemaVersion));
        case Kind::Foreign:
            return fail(
                QStringLiteral("is an SQLite database but no archive of this program; it is left as it is"));
        case Kind::Damaged:
            return fail(QStringLiteral("is damaged (%1); it is left as it is").arg(found.reason));
        case Kind::Unreadable: return fail(QStringLiteral("cannot be read: %1").arg(found.reason));
        default: return QString();
        }
    }

    bool exec(QSqlQuery& q, const QString& sql, QString* error) const
    {
        if (q.exec(sql))
            return true;
        if (error)
            *error = q.lastError().databaseText();
        return false;
    }

    bool createSchema(QString* error)
    {
        QSqlQuery q(db());
        QString reason;
        if (!exec(q, QStringLiteral("BEGIN IMMEDIATE"), &reason)) {
            *error = fail(QStringLiteral("cannot be written: %1").arg(reason));
            return false;
        }
        // Another program may have made it meanwhile.
        const Inspection again = inspect(db());
        if (again.kind != Kind::Empty) {
            exec(q, QStringLiteral("ROLLBACK"), nullptr);
            if (again.kind == Kind::Ours)
                return true;
            *error = refusal(again);
            return false;
        }
        bool ok =
            exec(q, schemaSql(), &reason) &&
            exec(q, QStringLiteral("CREATE INDEX records_received ON records (received_ms)"), &reason) &&
            exec(q,
                 QStringLiteral("CREATE TABLE channels (number INTEGER PRIMARY KEY, column_name TEXT "
                                "NOT NULL UNIQUE, caption TEXT NOT NULL, unit TEXT NOT NULL)"),
                 &reason) &&
            q.prepare(QStringLiteral("INSERT INTO channels VALUES (?, ?, ?, ?)"));
        for (int i = 0; ok && i < kChannelCount; ++i) {
            q.bindValue(0, i);
            q.bindValue(1, columnNames()[i]);
            q.bindValue(2, fromUtf8(kChannels[std::size_t(i)].caption));
            q.bindValue(3, fromUtf8(kChannels[std::size_t(i)].unit));
            ok = q.exec();
            if (!ok)
                reason = q.lastError().databaseText();
        }
        ok = ok &&
             exec(q, QStringLiteral("PRAGMA application_id = %1").arg(kArchiveApplicationId), &reason) &&
             exec(q, QStringLiteral("PRAGMA user_version = %1").arg(kArchiveSchemaVersion), &reason) &&
             exec(q, QStringLiteral("COMMIT"), &reason);
        if (!ok) {
            exec(q, QStringLiteral("ROLLBACK"), nullptr);
            *error = fail(QStringLiteral("cannot be written: %1").arg(reason));
        }
        return ok;
    }
};

Archive::Archive()
    : d(std::make_unique<Private>())
{
    d->connection = QStringLiteral("orvik-archive-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
}

Archive::~Archive() { close(); }

void Archive::close()
{
    rollbackAdding();
    d->disconnect();
    d->writable = false;
}

bool Archive::isOpen() const { return d->db().isOpen(); }

QString Archive::path() const { return d->path; }

QString Archive::connectionName() const { return d->connection; }

bool Archive::open(const QString& path, Access access, QString* error)
{
    close();
    QString ignored;
    QString& message = error ? *error : ignored;
    d->path = QFileInfo(path).absoluteFilePath();
    const QFileInfo file(d->path);
    const bool write = access == Access::ReadWrite;

    // The bytes are looked at before SQLite opens the file, so that nothing else is ever touched.
    bool empty = !file.exists();
    if (file.exists()) {
        if (!file.isFile()) {
            message = d->fail(QStringLiteral("is not an archive: it is no regular file"));
            return false;
        }
        QFile f(d->path);
        if (!f.open(QIODevice::ReadOnly)) {
            message = d->fail(QStringLiteral("cannot be read: %1").arg(f.errorString()));
            return false;
        }
        const QByteArray head = f.read(16);
        empty = head.isEmpty();
        if (!empty && head != QByteArray("SQLite format 3", 16)) {
            message =
                d->fail(QStringLiteral("is not an archive: it is no SQLite database; it is left as it is"));
            return false;
        }
    }
    if (empty && !write) {
        message = d->fail(QStringLiteral("holds no archive yet"));
        return false;
    }

    if (!empty) {
        Inspection found;
        if (d->connect(true))
            found = inspect(d->db());
        const bool writablePlace = file.isWritable() && QFileInfo(file.absolutePath()).isWritable();
        if (found.kind == Kind::Unreadable && !writablePlace) {
            close();
            if (d->connect(true, true))
                found = inspect(d->db());
        }
        if (!d->db().isOpen()) {
            message = d->fail(QStringLiteral("cannot be opened: %1").arg(d->db().lastError().databaseText()));
            close();
            return false;
        }
        if (found.kind != Kind::Ours && found.kind != Kind::Empty) {
            message = d->refusal(found);
            close();
            return false;
        }
        if (!write) {
            if (found.kind == Kind::Empty) {
                message = d->fail(QStringLiteral("holds no archive yet"));
                close();
                return false;
            }
            return true;
        }
        close();
    }

    const QString folder = file.absolutePath();
    if (!QDir().mkpath(folder)) {
        message = d->fail(QStringLiteral("cannot be made: the folder cannot be created"));
        return false;
    }
    if (file.exists() && !QFileInfo(d->path).isWritable()) {
        message = d->fail(QStringLiteral("cannot be written: the file is read-only"));
        return false;
    }
    // The journal files go beside the archive.
    if (!QFileInfo(folder).isWritable()) {
        message = d->fail(QStringLiteral("cannot be written: its folder is read-only"));
        return false;
    }
    QString reason;
    QSqlQuery q;
    if (!d->connect(false)) {
        message = d->fail(QStringLiteral("cannot be opened: %1").arg(d->db().lastError().databaseText()));
        close();
        return false;
    }
    q = QSqlQuery(d->db());
    // Takes effect on a new file only: larger pages take fewer writes for the same records.
    d->exec(q, QStringLiteral("PRAGMA page_size = 65536"), nullptr);
    if (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.next() ||
        q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        message = d->fail(QStringLiteral("cannot be written: %1").arg(q.lastError().databaseText()));
        q = QSqlQuery();
        close();
        return false;
    }
    d->exec(q, QStringLiteral("PRAGMA synchronous = NORMAL"), nullptr);
    const bool ok = inspect(d->db()).kind == Kind::Ours || d->createSchema(&message);
    q = QSqlQuery();
    if (!ok) {
        close();
        return false;
    }
    d->writable = true;
    return true;
}

bool Archive::add(std::span<const ArchiveEntry> entries, ArchiveAddResult* result, QString* error)
{
    ArchiveAddResult counts;
    if (!beginAdding(error))
        return false;
    for (const ArchiveEntry& entry : entries) {
        if (!addOne(entry, &counts, error))
            return false;
    }
    if (!commitAdding(error))
        return false;
    if (result)
        *result = counts;
    return true;
}

bool Archive::beginAdding(QString* error)
{
    QString reason;
    if (!d->writable) {
        reason = QStringLiteral("it is not open for adding");
    } else if (d->adding) {
        reason = QStringLiteral("adding has begun already");
    } else {
        QSqlQuery begin(d->db());
        // IMMEDIATE takes the write lock now, so that waiting for another writer uses the busy timeout.
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE")))
            reason = begin.lastError().databaseText();
        else if (d->adding = true; !d->writer.begin(d->db(), &reason))
            rollbackAdding();
    }
    if (reason.isEmpty())
        return true;
    if (error)
        *error = d->fail(QStringLiteral("cannot be written: %1").arg(reason));
    return false;
}

bool Archive::addOne(const ArchiveEntry& entry, ArchiveAddResult* result, QString* error)
{
    QString reason = QStringLiteral("adding has not begun");
    bool added = false;
    if (d->adding && d->writer.add(entry, &added, &reason)) {
        ++(added ? result->added : result->alreadyThere);
        return true;
    }
    if (error)
        *error = d->fail(QStringLiteral("cannot be written: %1").arg(reason));
    rollbackAdding();
    return false;
}

bool Archive::commitAdding(QString* error)
{
    QString reason = QStringLiteral("adding has not begun");
    if (d->adding) {
        d->writer.end(true);
        QSqlQuery commit(d->db());
        if (commit.exec(QStringLiteral("COMMIT"))) {
            d->adding = false;
            return true;
        }
        reason = commit.lastError().databaseText();
    }
    if (error)
        *error = d->fail(QStringLiteral("cannot be written: %1").arg(reason));
    rollbackAdding();
    return false;
}

void Archive::rollbackAdding()
{
    if (d->adding) {
        QSqlQuery(d->db()).exec(QStringLiteral("ROLLBACK"));
        d->writer.end(false);
    }
    d->adding = false;
}

qint64 Archive::recordCount() const
{
    QSqlQuery q(d->db());
    return q.exec(QStringLiteral("SELECT count(*) FROM records")) && q.next() ? q.value(0).toLongLong() : 0;
}

bool Archive::receivedRange(qint64* firstMs, qint64* lastMs) const
{
    QSqlQuery q(d->db());
    if (!q.exec(QStringLiteral("SELECT min(received_ms), max(received_ms) FROM records")) || !q.next() ||
        q.value(0).isNull())
        return false;
    if (firstMs)
        *firstMs = q.value(0).toLongLong();
    if (lastMs)
        *lastMs = q.value(1).toLongLong();
    return true;
}

bool Archive::readSeries(std::span<const int> channels, qint64 sinceMs, qint64 untilMs, ArchiveSeries* out,
                         QString* error) const
{
    ArchiveSeries series;
    series.channels.assign(channels.begin(), channels.end());
    series.values.resize(channels.size());
    QString columns = QStringLiteral("received_ms, %1").arg(columnNames()[0]);
    for (const int channel : channels) {
        if (channel < 0 || channel >= kChannelCount) {
            if (error)
                *error = QStringLiteral("there is no channel %1").arg(channel);
            return false;
        }
        columns += QStringLiteral(", ") + columnNames()[channel];
    }
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM records WHERE received_ms BETWEEN ? AND ? ORDER BY "
                                  "received_ms, id")
                       .arg(columns))) {
        if (error)
            *error = d->fail(QStringLiteral("cannot be read: %1").arg(q.lastError().databaseText()));
        return false;
    }
    q.bindValue(0, sinceMs);
    q.bindValue(1, untilMs);
    if (!q.exec()) {
        if (error)
            *error = d->fail(QStringLiteral("cannot be read: %1").arg(q.lastError().databaseText()));
        return false;
    }
    while (q.next()) {
        series.receivedMs.push_back(q.value(0).toLongLong());
        series.obcTime.push_back(readValue(q.value(1)));
        for (std::size_t i = 0; i < channels.size(); ++i)
            series.values[i].push_back(readValue(q.value(int(i) + 2)));
    }
    if (q.lastError().isValid()) {
        if (error)
            *error = d->fail(QStringLiteral("cannot be read: %1").arg(q.lastError().databaseText()));
        return false;
    }
    if (out)
        *out = std::move(series);
    return true;
}

bool Archive::forEachRecord(qint64 sinceMs, qint64 untilMs,
                            const std::function<bool(const ArchiveRecord&)>& visit, QString* error) const
{
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    const auto failed = [&] {
        if (error)
            *error = d->fail(QStringLiteral("cannot be read: %1").arg(q.lastError().databaseText()));
        return false;
    };
    if (!q.prepare(
            QStringLiteral("SELECT received_ms, line, source, copies, %1 FROM records WHERE received_ms "
                           "BETWEEN ? AND ? ORDER BY received_ms, id")
                .arg(channelColumns())))
        return failed();
    q.bindValue(0, sinceMs);
    q.bindValue(1, untilMs);
    if (!q.exec())
        return failed();
    ArchiveRecord record;
    while (q.next()) {
        record.receivedMs = q.value(0).toLongLong();
        record.line = q.value(1).toString().toStdString();
        record.source = q.value(2).toString();
        record.copies = q.value(3).toLongLong();
        for (int i = 0; i < kChannelCount; ++i)
            record.values[std::size_t(i)] = readValue(q.value(4 + i));
        if (!visit(record))
            return true;
    }
    return !q.lastError().isValid() || failed();
}

QString defaultArchivePath()
{
    // One archive for the window and the tool, whatever each program is called.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return QDir::toNativeSeparators(folder + QStringLiteral("/orvik/archive.sqlite"));
}

QString archiveColumnName(int channel)
{
    return channel >= 0 && channel < kChannelCount ? columnNames()[channel] : QString();
}

QString archiveTimeText(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC)
        .toString(utcMs % 1000 == 0 ? Qt::ISODate : Qt::ISODateWithMs);
}

bool parseArchiveTime(const QString& text, qint64* utcMs)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})[T ](\d{2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,9}))?)?(Z|[+-]\d{2}(?::?\d{2})?)?$)"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QString fraction = (m.captured(7) + QStringLiteral("00")).left(3);
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), fraction.toInt());
    if (!date.isValid() || !time.isValid())
        return false;
    int offsetSeconds = 0;
    const QString zone = m.captured(8);
    if (zone.size() > 1) {
        const int hours = zone.mid(1, 2).toInt();
        const int minutes = zone.size() > 3 ? zone.right(2).toInt() : 0;
        if (hours > 23 || minutes > 59)
            return false;
        offsetSeconds = (zone[0] == QLatin1Char('-') ? -1 : 1) * (hours * 3600 + minutes * 60);
    }
    const qint64 ms = QDateTime(date, time, Qt::UTC).toMSecsSinceEpoch() - qint64(offsetSeconds) * 1000;
    if (utcMs)
        *utcMs = ms;
    return true;
}

} // namespace orvik
