// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Records written straight into the tables of an open archive, with whatever values a test
// wants: the reads are tested on values that no beacon line needs to spell out.
#include "archive/archive.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <vector>

inline QString storeRecords(const orvik::Archive& archive, const std::vector<orvik::ArchiveEntry>& entries)
{
    using namespace orvik;
    QSqlQuery q(QSqlDatabase::database(archive.connectionName()));
    QString columns;
    for (int i = 0; i < kChannelCount; ++i)
        columns += QStringLiteral(", ") + archiveColumnName(i);
    if (!q.exec(QStringLiteral("BEGIN")))
        return q.lastError().text();
    for (const ArchiveEntry& e : entries) {
        QSqlQuery record(QSqlDatabase::database(archive.connectionName()));
        record.prepare(
            QStringLiteral("INSERT INTO records (line, line_key, received_ms, received_utc, source, "
                           "copies%1) VALUES (?, 0, ?, ?, ?, ?%2)")
                .arg(columns, QStringLiteral(", ?").repeated(kChannelCount)));
        record.addBindValue(QString::fromStdString(e.line));
        record.addBindValue(e.receivedMs);
        record.addBindValue(archiveTimeText(e.receivedMs));
        record.addBindValue(e.source);
        record.addBindValue(e.copies);
        for (const double v : e.values)
            record.addBindValue(std::isnan(v) ? QVariant() : QVariant(v));
        if (!record.exec())
            return record.lastError().text();
        QSqlQuery reception(QSqlDatabase::database(archive.connectionName()));
        reception.prepare(
            QStringLiteral("INSERT INTO receptions (record_id, line, source, received_ms, copies) "
                           "VALUES (?, ?, ?, ?, ?)"));
        reception.addBindValue(record.lastInsertId());
        reception.addBindValue(QString::fromStdString(e.line));
        reception.addBindValue(e.source);
        reception.addBindValue(e.receivedMs);
        reception.addBindValue(e.copies);
        if (!reception.exec())
            return reception.lastError().text();
    }
    return q.exec(QStringLiteral("COMMIT")) ? QString() : q.lastError().text();
}
