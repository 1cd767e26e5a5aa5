// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiveverify.h"

#include "archive.h"
#include "decoder/channels.h"
#include "tlmreport.h"

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
        report.say(QStringLiteral("'%1' does not exist").arg(shown));
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
        report.say(QStringLiteral("'%1' is damaged: %2").arg(shown, faults));
        return 2;
    }
    qint64 records = 0;
    qint64 differing = 0;
    std::array<double, kChannelCount> decoded;
    const bool read = archive.forEachRecord(
        std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(),
        [&](const ArchiveRecord& r) {
            ++records;
            const QString line = QString::fromStdString(r.line);
            decodeCertain(std::u16string_view(reinterpret_cast<const char16_t*>(line.utf16()),
                                              std::size_t(line.size())),
                          decoded);
            bool differs = false;
            for (int c = 0; c < kChannelCount; ++c) {
                if (sameValue(r.values[std::size_t(c)], decoded[std::size_t(c)]))
                    continue;
                differs = true;
                if (differing < kMostTold)
                    report.say(
                        QStringLiteral(
                            "record %1 (%2, received %3): %4 is %5 in the archive, %6 from its line")
                            .arg(records)
                            .arg(r.source, archiveTimeText(r.receivedMs),
                                 QString::fromUtf8(kChannels[std::size_t(c)].caption.data(),
                                                   qsizetype(kChannels[std::size_t(c)].caption.size())),
                                 valueText(r.values[std::size_t(c)]), valueText(decoded[std::size_t(c)])));
            }
            differing += differs;
            return true;
        },
        &error);
    if (!read) {
        report.say(QStringLiteral("'%1' cannot be read: %2").arg(shown, error));
        return 2;
    }
    if (differing > kMostTold)
        report.say(QStringLiteral("and more in %1 other records").arg(differing - kMostTold));
    report.say(differing == 0
                   ? QStringLiteral("'%1': intact; the values of all %2 records are those of their lines")
                         .arg(shown)
                         .arg(records)
                   : QStringLiteral(
                         "'%1': intact, but %2 of %3 records hold values that are not those of their lines")
                         .arg(shown)
                         .arg(differing)
                         .arg(records));
    return differing == 0 ? 0 : 1;
}

} // namespace orvik
