// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"

#include <QString>

namespace orvik {

// "20 added, 0 already there", and "; 18 new records" where copies joined records.
QString addCountsText(const ArchiveAddResult& counts);

// What an add tells of a log whose on-board time went back `resets` times: "the on-board time
// went back once; each run of beacons after that is dated from <first received time>".
QString resetsText(int resets, qint64 firstReceivedMs);

// "3  2026-12-09T20:14:05Z  18 records, 20 copies  from pass.txt"
QString archiveAddText(qint64 number, qint64 atMs, qint64 records, qint64 copies, const QString& origin);
// "add 3 taken back: 20 copies; 18 records went, 2 were voted again"
QString undoneText(qint64 number, qint64 copies, qint64 records, qint64 revoted);

} // namespace orvik
