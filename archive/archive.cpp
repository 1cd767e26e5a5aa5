// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveprivate.h"
#include "sqlitebind.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <limits>
#include <sqlite3.h>

namespace orvik {

namespace {

// How long an add waits for another program's write lock. The window waits beside its own
// thread and says so, so the wait may be long enough for a slow machine's slices.
constexpr int kBusyTimeoutMs = 30000;

// Another program adding leaves the write lock free for a moment between its slices: the lock
// is asked for every millisecond, rather than after SQLite's own lengthening waits, which
// would mostly miss that moment, up to the busy timeout.
std::atomic<qint64> lastLockWaitMs{std::numeric_limits<qint64>::min() / 2};

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int waitForLock(void*, int tries)
{
    if (tries >= kBusyTimeoutMs)
        return 0;
    lastLockWaitMs.store(steadyMs(), std::memory_order_relaxed);
    QThread::msleep(1);
    return 1;
}

// A new file turns to WAL only while no other program reads it, and SQLite does not wait for
// that: two programs that make the same archive at once take turns here.
bool switchToWal(QSqlQuery& q)
{
    constexpr int kRetryMs = 20;
    for (int waited = 0;; waited += kRetryMs) {
        if (q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && q.next())
            return q.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
        const QString code = q.lastError().nativeErrorCode();
        if ((code != QLatin1String("5") && code != QLatin1String("6")) || waited >= kBusyTimeoutMs)
            return false;
        QThread::msleep(kRetryMs);
    }
}

QAtomicInt connectionCounter;

} // namespace

bool waitedForArchiveLock(int withinMs)
{
    return steadyMs() - lastLockWaitMs.load(std::memory_order_relaxed) <= withinMs;
}

bool Archive::Private::connect(Connection kind)
{
    const bool readOnly = kind != Connection::ReadWrite;
    const bool immutable = kind == Connection::Immutable;
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
    if (!db.open())
        return false;
    if (sqlite3* handle = sqlite::handleOf(db))
        sqlite3_busy_handler(handle, waitForLock, nullptr);
    return true;
}

void Archive::Private::disconnect()
{
    reader.reset(); // its statements go before their connection
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    if (QSqlDatabase::contains(connection))
        QSqlDatabase::removeDatabase(connection);
}

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

int Archive::version() const
{
    QSqlQuery q(d->db());
    return q.exec(QStringLiteral("PRAGMA user_version")) && q.next() ? q.value(0).toInt() : 0;
}

QString Archive::path() const { return d->path; }

QString Archive::connectionName() const { return d->connection; }

bool Archive::Private::inspectExisting(bool write, QString* error)
{
    const QFileInfo file(path);
    Inspection found;
    if (connect(Connection::ReadOnly))
        found = inspect(db());
    const bool writablePlace = file.isWritable() && QFileInfo(file.absolutePath()).isWritable();
    if (found.kind == Kind::Unreadable && !writablePlace) {
        disconnect();
        // Immutable reads the main file alone, so it would miss the records of a WAL in silence.
        const QFileInfo wal(path + QStringLiteral("-wal"));
        if (wal.exists() && wal.size() > 0) {
            *error =
                fail(QStringLiteral("cannot be read in full: records committed to it wait in '%1', which "
                                    "SQLite reads only beside a '%2' it may make (%3), and neither "
                                    "the file nor its folder may be written; open it once where it "
                                    "may be written")
                         .arg(QDir::toNativeSeparators(wal.absoluteFilePath()),
                              QDir::toNativeSeparators(path + QStringLiteral("-shm")), found.reason));
            return false;
        }
        if (connect(Connection::Immutable))
            found = inspect(db());
    }
    QString why;
    if (!db().isOpen())
        why = QStringLiteral("cannot be opened: %1").arg(db().lastError().databaseText());
    else if (found.kind != Kind::Ours && found.kind != Kind::Empty)
        why = refusal(found);
    else if (found.kind == Kind::Empty && !write)
        why = QStringLiteral("holds no archive yet");
    // Pages past the first are read by the check alone: an add to a damaged file would spread the damage.
    else if (QString damage;
             found.kind == Kind::Ours && write && !(damage = quickCheckFailure(db())).isEmpty())
        why = QStringLiteral("is damaged (SQLite's quick check: %1); it is left as it is").arg(damage);
    if (why.isEmpty())
        return true;
    *error = fail(why);
    disconnect();
    return false;
}

// The bytes are looked at before SQLite opens the file, so that nothing else is ever touched.
bool Archive::Private::readHead(bool* empty, QString* error) const
{
    const QFileInfo file(path);
    *empty = !file.exists();
    if (!file.exists())
        return true;
    if (!file.isFile()) {
        *error = fail(QStringLiteral("is not an archive: it is no regular file"));
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = fail(QStringLiteral("cannot be read: %1").arg(f.errorString()));
        return false;
    }
    const QByteArray head = f.read(16);
    *empty = head.isEmpty();
    if (!*empty && head != QByteArray("SQLite format 3", 16)) {
        *error = fail(QStringLiteral("is not an archive: it is no SQLite database; it is left as it is"));
        return false;
    }
    return true;
}

// A connection that may write, in WAL mode, to a file that holds this version's tables.
bool Archive::Private::openForWriting(QString* error)
{
    if (!connect(Connection::ReadWrite)) {
        *error = fail(QStringLiteral("cannot be opened: %1").arg(db().lastError().databaseText()));
        return false;
    }
    QSqlQuery q(db());
    // Takes effect on a new file only: larger pages take fewer writes for the same records.
    exec(q, QStringLiteral("PRAGMA page_size = 65536"), nullptr);
    if (!switchToWal(q)) {
        *error = fail(QStringLiteral("cannot be written: %1").arg(q.lastError().databaseText()));
        return false;
    }
    exec(q, QStringLiteral("PRAGMA synchronous = NORMAL"), nullptr);
    // SQLite's usual 4 MB of journal between checkpoints, in pages of 64 KB.
    exec(q, QStringLiteral("PRAGMA wal_autocheckpoint = 64"), nullptr);
    const Inspection found = inspect(db());
    return found.kind == Kind::Ours ? found.version == kArchiveSchemaVersion || upgradeSchema(error)
                                    : createSchema(error);
}

bool Archive::open(const QString& path, Access access, QString* error)
{
    close();
    QString ignored;
    if (!error)
        error = &ignored;
    d->path = QFileInfo(path).absoluteFilePath();
    const QFileInfo file(d->path);
    const bool write = access == Access::ReadWrite;

    bool empty = true;
    if (!d->readHead(&empty, error))
        return false;
    if (empty && !write) {
        *error = d->fail(QStringLiteral("holds no archive yet"));
        return false;
    }

    if (!empty) {
        if (!d->inspectExisting(write, error))
            return false;
        if (!write)
            return true;
        close();
    }

    const QString folder = file.absolutePath();
    if (!QDir().mkpath(folder)) {
        *error = d->fail(QStringLiteral("cannot be made: the folder cannot be created"));
        return false;
    }
    if (file.exists() && !QFileInfo(d->path).isWritable()) {
        *error = d->fail(QStringLiteral("cannot be written: the file is read-only"));
        return false;
    }
    // The journal files go beside the archive.
    if (!QFileInfo(folder).isWritable()) {
        *error = d->fail(QStringLiteral("cannot be written: its folder is read-only"));
        return false;
    }
    if (!d->openForWriting(error)) {
        close();
        return false;
    }
    d->writable = true;
    return true;
}

void Archive::startAdd(const QString& origin)
{
    d->origin = origin;
    d->addId = 0;
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
    if (!commitAdding(&counts, error))
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
        if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            reason = begin.lastError().databaseText();
        } else {
            d->adding = true;
            if (!d->writer.begin(d->db(), &reason))
                rollbackAdding();
        }
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
    bool fresh = false;
    if (d->adding && d->writer.add(entry, &fresh, &reason)) {
        // A stand-in is counted in the copies heard after it.
        if (entry.role != ReceptionRole::StandIn)
            ++(fresh ? result->added : result->alreadyThere);
        return true;
    }
    if (error)
        *error = d->fail(QStringLiteral("cannot be written: %1").arg(reason));
    rollbackAdding();
    return false;
}

bool Archive::commitAdding(ArchiveAddResult* result, QString* error)
{
    QString reason = QStringLiteral("adding has not begun");
    // The add is numbered by the first commit that brings it a copy.
    qint64 addId = d->addId;
    ArchiveAddResult counts;
    if (d->adding && d->writer.flush(d->origin, &addId, &counts, &reason)) {
        d->writer.end(ArchiveWriter::Ending::Committed);
        QSqlQuery commit(d->db());
        if (commit.exec(QStringLiteral("COMMIT"))) {
            d->adding = false;
            d->addId = addId;
            if (result) {
                result->records += counts.records;
                result->number = addId;
            }
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
        d->writer.end(ArchiveWriter::Ending::RolledBack);
    }
    d->adding = false;
}

} // namespace orvik
