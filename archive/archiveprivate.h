// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive.h"
#include "archiveadd.h"
#include "platform/filemessage.h"

#include <QDir>
#include <QLatin1StringView>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <array>

namespace orvik {

// The columns of table records before those of the channels.
inline constexpr std::array<QLatin1StringView, 7> kArchiveFixedColumns{
    QLatin1StringView("id"),          QLatin1StringView("line"),         QLatin1StringView("line_key"),
    QLatin1StringView("received_ms"), QLatin1StringView("received_utc"), QLatin1StringView("source"),
    QLatin1StringView("copies")};

// archiveColumnName of every channel, in channel order.
const QStringList& archiveColumnNames();

enum class Kind { Empty, Ours, Newer, Foreign, Damaged, Unreadable };

struct Inspection {
    Kind kind = Kind::Damaged;
    int version = 0;
    QString reason;
};

// What the file behind the connection holds, read without changing it.
Inspection inspect(const QSqlDatabase& db);
// Why SQLite's PRAGMA quick_check finds the file damaged; empty when it finds it sound.
QString quickCheckFailure(const QSqlDatabase& db);
// What a refused file is, after its path.
QString refusal(const Inspection& found);
// Runs one statement; false with SQLite's words in *error (which may be null).
bool exec(QSqlQuery& q, const QString& sql, QString* error);

struct Archive::Private {
    QString path;
    QString connection;
    bool writable = false;
    bool adding = false;
    ArchiveWriter writer;
    std::unique_ptr<RecordVoter> reader; // of votedValues, made for the first
    QString origin = QStringLiteral("window");
    qint64 addId = 0; // of the add under way, once numbered

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }
    // A one-line message that names the file.
    QString fail(const QString& what) const { return aboutFile(path, what); }
    // Immutable: read-only on a read-only medium, where SQLite cannot make the shared-memory
    // file of WAL; sound only where no WAL file holds records.
    enum class Connection { ReadWrite, ReadOnly, Immutable };
    bool connect(Connection kind);
    void disconnect();
    // Opens an existing file read-only and looks at it; false, with the message, for a file that
    // is refused or cannot be read in full. Leaves it open.
    bool inspectExisting(bool write, QString* error);
    // Looks at the first bytes of the file: *empty when there is none or it holds nothing;
    // false, with the message, for one that is no SQLite database.
    bool readHead(bool* empty, QString* error) const;
    bool openForWriting(QString* error);
    bool createSchema(QString* error);
    // An archive of an older version gets the tables of this one, in one transaction.
    bool upgradeSchema(QString* error);
};

} // namespace orvik
