// SPDX-License-Identifier: GPL-3.0-or-later
// Reading an archive, and the names and times it keeps.
#include "archiveprivate.h"
#include "sqlitebind.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <limits>

namespace orvik {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
        for (int n = 2;
             names.contains(name) || std::find(kArchiveFixedColumns.begin(), kArchiveFixedColumns.end(),
                                               name) != kArchiveFixedColumns.end();
             ++n)
            name = base + QLatin1Char('_') + QString::number(n);
        names << name;
    }
    return names;
}

double readValue(const QVariant& v) { return v.isNull() ? kNaN : v.toDouble(); }

} // namespace

const QStringList& archiveColumnNames()
{
    static const QStringList names = makeColumnNames();
    return names;
}

qint64 Archive::recordCount() const
{
    QSqlQuery q(d->db());
    return q.exec(QStringLiteral("SELECT count(*) FROM records")) && q.next() ? q.value(0).toLongLong() : 0;
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
            QStringLiteral("SELECT received_ms, line, source, copies, id, %1 FROM records WHERE received_ms "
                           "BETWEEN ? AND ? ORDER BY received_ms, id")
                .arg(archiveColumnNames().join(QLatin1String(", ")))))
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
        record.id = q.value(4).toLongLong();
        for (int i = 0; i < kChannelCount; ++i)
            record.values[std::size_t(i)] = readValue(q.value(5 + i));
        if (!visit(record))
            return true;
    }
    return !q.lastError().isValid() || failed();
}

bool Archive::votedValues(qint64 id, std::array<double, kChannelCount>& values, QString* error) const
{
    QString reason;
    if (!d->reader) {
        if (sqlite3* handle = sqlite::handleOf(d->db()))
            d->reader = std::make_unique<RecordVoter>(handle);
        else
            reason = QStringLiteral("the SQLite driver gives no handle");
    }
    if (d->reader && d->reader->vote(id, values, &reason))
        return true;
    if (error)
        *error = d->fail(QStringLiteral("cannot be read: %1").arg(reason));
    return false;
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
    return channel >= 0 && channel < kChannelCount ? archiveColumnNames()[channel] : QString();
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
