// SPDX-License-Identifier: GPL-3.0-or-later
// What an archive file holds, and the tables of a new one.
#include "archiveprivate.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

namespace orvik {

namespace {

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

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
    for (const QString& name : archiveColumnNames())
        records += QStringLiteral(",\n  %1 REAL").arg(name);
    records += QStringLiteral(")");
    return records;
}

} // namespace

bool exec(QSqlQuery& q, const QString& sql, QString* error)
{
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError().databaseText();
    return false;
}

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
    // One statement reads one state of the file, even while another program makes it.
    QVariant version, application, objects;
    if (!single(QStringLiteral("SELECT user_version, application_id, (SELECT count(*) FROM sqlite_master) "
                               "FROM pragma_user_version, pragma_application_id"),
                &version))
        return result;
    application = q.value(1);
    objects = q.value(2);
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
    QStringList wanted = archiveColumnNames();
    for (const QLatin1StringView fixed : kArchiveFixedColumns)
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
    QVariant keys;
    if (!single(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'line_keys'"), &keys))
        return result;
    if (keys.toInt() != 1) {
        result.reason = QStringLiteral("the table line_keys is missing");
        return result;
    }
    result.kind = Kind::Ours;
    return result;
}

QString quickCheckFailure(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // The first few faults are enough to tell why; SQLite would list up to a hundred.
    if (!q.exec(QStringLiteral("PRAGMA quick_check(3)")))
        return q.lastError().databaseText();
    QStringList faults;
    while (q.next())
        faults << q.value(0).toString();
    if (q.lastError().isValid())
        faults << q.lastError().databaseText();
    if (faults == QStringList{QStringLiteral("ok")})
        return QString();
    return faults.isEmpty() ? QStringLiteral("it gave no answer") : faults.join(QStringLiteral("; "));
}

QString refusal(const Inspection& found)
{
    switch (found.kind) {
    case Kind::Newer:
        return QStringLiteral("comes from a newer version of the program (archive version %1; this one reads "
                              "up to %2); it is left as it is")
            .arg(found.version)
            .arg(kArchiveSchemaVersion);
    case Kind::Foreign:
        return QStringLiteral("is an SQLite database but no archive of this program; it is left as it is");
    case Kind::Damaged: return QStringLiteral("is damaged (%1); it is left as it is").arg(found.reason);
    case Kind::Unreadable: return QStringLiteral("cannot be read: %1").arg(found.reason);
    default: return QString();
    }
}

bool Archive::Private::createSchema(QString* error)
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
        *error = fail(refusal(again));
        return false;
    }
    bool ok =
        exec(q, schemaSql(), &reason) &&
        exec(q, QStringLiteral("CREATE INDEX records_received ON records (received_ms)"), &reason) &&
        exec(q, QStringLiteral("CREATE TABLE line_keys (id INTEGER PRIMARY KEY, line_key INTEGER NOT NULL)"),
             &reason) &&
        exec(q,
             QStringLiteral("CREATE TABLE channels (number INTEGER PRIMARY KEY, column_name TEXT "
                            "NOT NULL UNIQUE, caption TEXT NOT NULL, unit TEXT NOT NULL)"),
             &reason) &&
        q.prepare(QStringLiteral("INSERT INTO channels VALUES (?, ?, ?, ?)"));
    for (int i = 0; ok && i < kChannelCount; ++i) {
        q.bindValue(0, i);
        q.bindValue(1, archiveColumnNames()[i]);
        q.bindValue(2, fromUtf8(kChannels[std::size_t(i)].caption));
        q.bindValue(3, fromUtf8(kChannels[std::size_t(i)].unit));
        ok = q.exec();
        if (!ok)
            reason = q.lastError().databaseText();
    }
    ok = ok && exec(q, QStringLiteral("PRAGMA application_id = %1").arg(kArchiveApplicationId), &reason) &&
         exec(q, QStringLiteral("PRAGMA user_version = %1").arg(kArchiveSchemaVersion), &reason) &&
         exec(q, QStringLiteral("COMMIT"), &reason);
    if (!ok) {
        exec(q, QStringLiteral("ROLLBACK"), nullptr);
        *error = fail(QStringLiteral("cannot be written: %1").arg(reason));
    }
    return ok;
}

} // namespace orvik
