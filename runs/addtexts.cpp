// SPDX-License-Identifier: GPL-3.0-or-later
#include "addtexts.h"

#include "tlmreport.h"

namespace orvik {

QString addCountsText(const ArchiveAddResult& counts)
{
    QString text = QStringLiteral("%1 added, %2 already there").arg(counts.added).arg(counts.alreadyThere);
    // Said only where copies joined records, so that a plain add reads as before.
    if (counts.records != counts.added)
        text += counts.records == 1 ? QStringLiteral("; 1 new record")
                                    : QStringLiteral("; %1 new records").arg(counts.records);
    return text;
}

QString resetsText(int resets, qint64 firstReceivedMs)
{
    return QStringLiteral("the on-board time went back %1; each run of beacons after that is dated from %2")
        .arg(resets == 1 ? QStringLiteral("once") : QStringLiteral("%1 times").arg(resets),
             archiveTimeText(firstReceivedMs));
}

QString archiveAddText(qint64 number, qint64 atMs, qint64 records, qint64 copies, const QString& origin)
{
    return QStringLiteral("%1  %2  %3, %4  from %5")
        .arg(number)
        .arg(archiveTimeText(atMs / 1000 * 1000), countedText(records, "record", "records"),
             countedText(copies, "copy", "copies"), origin);
}

QString undoneText(qint64 number, qint64 copies, qint64 records, qint64 revoted)
{
    return QStringLiteral("add %1 taken back: %2; %3 went, %4 voted again")
        .arg(number)
        .arg(countedText(copies, "copy", "copies"), countedText(records, "record", "records"),
             revoted == 1 ? QStringLiteral("1 was") : QStringLiteral("%1 were").arg(revoted));
}

} // namespace orvik
