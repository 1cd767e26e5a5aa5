// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveverify.h"

#include "archive/archive.h"
#include "archive/archivejoin.h"
#include "decoder/channels.h"
#include "platform/filemessage.h"
#include "runs/tlmreport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <bit>
#include <cmath>
#include <limits>

namespace orvik {

namespace {

// Differences told one by one before they are only counted.
constexpr int kMostTold = 20;

bool sameValue(double stored, double decoded)
{
    return (std::isnan(stored) && std::isnan(decoded)) ||
           std::bit_cast<std::uint64_t>(stored) == std::bit_cast<std::uint64_t>(decoded);
}

QString valueText(double value)
{
    return std::isnan(value) ? QStringLiteral("empty")
                             : QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// PRAGMA integrity_check: "ok", or the first faults it lists.
QString integrityFaults(const QString& connection)
{
    QSqlQuery q(QSqlDatabase::database(connection));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("PRAGMA integrity_check(5)")))
        return q.lastError().databaseText();
    QStringList faults;
    while (q.next())
        faults << q.value(0).toString().replace(u'\n', u' ');
    if (q.lastError().isValid())
        faults << q.lastError().databaseText();
    return faults == QStringList{QStringLiteral("ok")} ? QString() : faults.join(QStringLiteral("; "));
}

} // namespace

int verifyArchive(const QString& path, TlmReport& report)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!QFileInfo::exists(path)) {
        report.say(aboutFile(shown, QStringLiteral("does not exist")));
        return 2;
    }
    Archive archive;
    QString error;
    if (!archive.open(path, Archive::Access::ReadOnly, &error)) {
        report.say(error);
        return 2;
    }
    const QString faults = integrityFaults(archive.connectionName());
    if (!faults.isEmpty()) {
        report.say(aboutFile(shown, QStringLiteral("is damaged: ") + faults));
        return 2;
    }
    qint64 records = 0;
    qint64 differing = 0;
    std::array<double, kChannelCount> decoded;
    // Version 2 votes each record from its copies; version 1 kept its line alone.
    const bool voted = archive.version() >= 2;
    QString copiesError;
    const bool read = archive.forEachRecord(
        std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
        [&](const ArchiveRecord& r) {
            ++records;
            if (!voted) {
                const ArchiveCopy line{r.line, 1, r.id};
                voteCopies(std::span(&line, 1), decoded);
            } else if (!archive.votedValues(r.id, decoded, &copiesError)) {
                return false;
            }
            bool differs = false;
            for (int c = 0; c < kChannelCount; ++c) {
                if (sameValue(r.values[std::size_t(c)], decoded[std::size_t(c)]))
                    continue;
                differs = true;
                if (differing < kMostTold)
                    report.say(
                        QStringLiteral("record %1 (%2, received %3): %4 is %5 in the archive, %6 from its %7")
                            .arg(records)
                            .arg(r.source, archiveTimeText(r.receivedMs),
                                 QString::fromUtf8(kChannels[std::size_t(c)].caption.data(),
                                                   qsizetype(kChannels[std::size_t(c)].caption.size())),
                                 valueText(r.values[std::size_t(c)]), valueText(decoded[std::size_t(c)]),
                                 voted ? QStringLiteral("copies") : QStringLiteral("line")));
            }
            differing += differs;
            return true;
        },
        &error);
    if (!read || !copiesError.isEmpty()) {
        report.say(read ? copiesError : fileError(shown, FileStep::Read, error));
        return 2;
    }
    if (differing > kMostTold)
        report.say(QStringLiteral("and more in %1 other records").arg(differing - kMostTold));
    report.say(
        differing == 0
            ? QStringLiteral("'%1': intact; the values of all %2 records are those of their %3")
                  .arg(shown)
                  .arg(records)
                  .arg(voted ? QStringLiteral("copies") : QStringLiteral("lines"))
            : QStringLiteral("'%1': intact, but %2 of %3 records hold values that are not those of their %4")
                  .arg(shown)
                  .arg(differing)
                  .arg(records)
                  .arg(voted ? QStringLiteral("copies") : QStringLiteral("lines")));
    return differing == 0 ? 0 : 1;
}

} // namespace orvik
