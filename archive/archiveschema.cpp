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

// What version 2 keeps beside the records of version 1.
const char* const kReceptionTables[] = {
    "CREATE TABLE adds (id INTEGER PRIMARY KEY AUTOINCREMENT, added_utc TEXT NOT NULL, origin TEXT NOT "
    "NULL, records INTEGER NOT NULL DEFAULT 0, copies INTEGER NOT NULL DEFAULT 0)",
    // line: TEXT where the copy is UTF-8, BLOB where it is not.
    "CREATE TABLE receptions (id INTEGER PRIMARY KEY AUTOINCREMENT, record_id INTEGER NOT NULL, add_id "
    "INTEGER, line NOT NULL, source TEXT NOT NULL, received_ms INTEGER NOT NULL, copies INTEGER NOT NULL "
    "DEFAULT 1)",
    "CREATE INDEX receptions_record ON receptions (record_id)",
    "CREATE TABLE reception_keys (id INTEGER PRIMARY KEY, reception_key INTEGER NOT NULL)",
};

bool createReceptionTables(QSqlQuery& q, QString* reason)
{
    for (const char* sql : kReceptionTables) {
        if (!exec(q, QString::fromLatin1(sql), reason))
            return false;
    }
    return true;
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
    if (!single(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN ('line_keys', 'adds', "
                               "'receptions', 'reception_keys')"),
                &keys))
        return result;
    if (keys.toInt() != (result.version == 1 ? 1 : 4)) {
        result.reason = QStringLiteral("tables of the archive are missing");
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
        createReceptionTables(q, &reason) &&
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

bool Archive::Private::upgradeSchema(QString* error)
{
    QSqlQuery q(db());
    QString reason;
    if (!exec(q, QStringLiteral("BEGIN IMMEDIATE"), &reason)) {
        *error = fail(QStringLiteral("cannot be upgraded: %1; it is left as it was").arg(reason));
        return false;
    }
    // Another program may have upgraded it meanwhile.
    const Inspection again = inspect(db());
    if (again.kind == Kind::Ours && again.version == kArchiveSchemaVersion) {
        exec(q, QStringLiteral("ROLLBACK"), nullptr);
        return true;
    }
    // Each record of version 1 is one reception, of no add: it cannot be taken back.
    bool ok =
        again.kind == Kind::Ours && createReceptionTables(q, &reason) &&
        exec(q,
             QStringLiteral("INSERT INTO receptions (id, record_id, add_id, line, source, received_ms, "
                            "copies) SELECT id, id, NULL, line, source, received_ms, copies FROM records "
                            "ORDER BY id"),
             &reason);
    QSqlQuery keys(db());
    ok = ok && keys.prepare(QStringLiteral("INSERT INTO reception_keys (id, reception_key) VALUES (?, ?)")) &&
         exec(q, QStringLiteral("SELECT id, source, line FROM receptions ORDER BY id"), &reason);
    while (ok && q.next()) {
        const QByteArray source = q.value(1).toString().toUtf8();
        const QByteArray line = q.value(2).toString().toUtf8();
        keys.bindValue(0, q.value(0));
        keys.bindValue(1, qint64(archiveReceptionKey({source.constData(), std::size_t(source.size())},
                                                     {line.constData(), std::size_t(line.size())})));
        ok = keys.exec();
        if (!ok)
            reason = keys.lastError().databaseText();
    }
    ok = ok && !q.lastError().isValid() &&
         exec(q, QStringLiteral("PRAGMA user_version = %1").arg(kArchiveSchemaVersion), &reason) &&
         exec(q, QStringLiteral("COMMIT"), &reason);
    if (!ok) {
        if (reason.isEmpty())
            reason = again.kind == Kind::Ours ? q.lastError().databaseText() : refusal(again);
        exec(q, QStringLiteral("ROLLBACK"), nullptr);
        *error = fail(QStringLiteral("cannot be upgraded: %1; it is left as it was").arg(reason));
    }
    return ok;
}

} // namespace orvik
