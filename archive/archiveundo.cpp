// SPDX-License-Identifier: GPL-3.0-or-later
// The adds an archive keeps, and taking one back.
#include "archiveprivate.h"
#include "sqlitebind.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>

namespace orvik {

bool Archive::adds(std::vector<ArchiveAdd>* out, QString* error) const
{
    out->clear();
    if (version() < 2)
        return true;
    QSqlQuery q(d->db());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, added_utc, origin, records, copies FROM adds ORDER BY id"))) {
        if (error)
            *error = d->fail(QStringLiteral("cannot be read: %1").arg(q.lastError().databaseText()));
        return false;
    }
    while (q.next()) {
        ArchiveAdd add;
        add.number = q.value(0).toLongLong();
        parseArchiveTime(q.value(1).toString(), &add.atMs);
        add.origin = q.value(2).toString();
        add.records = q.value(3).toLongLong();
        add.copies = q.value(4).toLongLong();
        out->push_back(add);
    }
    return true;
}

bool Archive::undoAdd(qint64 number, ArchiveUndoResult* result, QString* error)
{
    QString reason;
    const auto failed = [&](const QString& why) {
        if (error)
            *error = d->fail(why);
        return false;
    };
    if (!d->writable || d->adding)
        return failed(QStringLiteral("is not open for taking an add back"));
    QSqlQuery q(d->db());
    if (!exec(q, QStringLiteral("BEGIN IMMEDIATE"), &reason))
        return failed(QStringLiteral("cannot be written: %1").arg(reason));
    const auto rollback = [&](const QString& why) {
        exec(q, QStringLiteral("ROLLBACK"), nullptr);
        d->writer.end(ArchiveWriter::Ending::RolledBack);
        return failed(why);
    };
    q.prepare(QStringLiteral("SELECT count(*) FROM adds WHERE id = ?"));
    q.bindValue(0, number);
    if (!q.exec() || !q.next())
        return rollback(QStringLiteral("cannot be read: %1").arg(q.lastError().databaseText()));
    if (q.value(0).toInt() == 0)
        return rollback(QStringLiteral("holds no add %1").arg(number));
    std::vector<qint64> records;
    q.prepare(
        QStringLiteral("SELECT DISTINCT record_id FROM receptions WHERE add_id = ? ORDER BY record_id"));
    q.bindValue(0, number);
    bool ok = q.exec();
    while (ok && q.next())
        records.push_back(q.value(0).toLongLong());
    ArchiveUndoResult counts;
    const auto run = [&](const QString& sql) {
        q.prepare(sql);
        q.bindValue(0, number);
        const bool done = q.exec();
        if (!done)
            reason = q.lastError().databaseText();
        return done;
    };
    // A stand-in is no copy of its own: the copies heard beside it are.
    ok = ok &&
         run(QStringLiteral("SELECT count(*) FROM receptions c WHERE add_id = ? AND NOT (copies > 0 AND "
                            "EXISTS (SELECT 1 FROM receptions h WHERE h.record_id = c.record_id AND "
                            "h.add_id = c.add_id AND h.copies = 0))")) &&
         q.next();
    if (ok)
        counts.copies = q.value(0).toLongLong();
    ok = ok &&
         run(QStringLiteral("DELETE FROM reception_keys WHERE id IN (SELECT id FROM receptions WHERE "
                            "add_id = ?)")) &&
         run(QStringLiteral("DELETE FROM receptions WHERE add_id = ?"));
    ok = ok && run(QStringLiteral("DELETE FROM adds WHERE id = ?"));
    if (!ok)
        return rollback(QStringLiteral("cannot be written: %1").arg(reason));
    {
        RecordVoter voter(sqlite::handleOf(d->db()));
        for (const qint64 record : records) {
            bool gone = false;
            if (!voter.revote(record, RecordVoter::Head::FromFirstCopy, &gone, &reason))
                return rollback(QStringLiteral("cannot be written: %1").arg(reason));
            ++(gone ? counts.records : counts.revoted);
        }
    }
    if (!exec(q, QStringLiteral("COMMIT"), &reason))
        return rollback(QStringLiteral("cannot be written: %1").arg(reason));
    // Rows this program had learnt may be gone.
    d->writer.end(ArchiveWriter::Ending::RolledBack);
    if (d->addId == number)
        d->addId = 0;
    if (result)
        *result = counts;
    return true;
}

} // namespace orvik
