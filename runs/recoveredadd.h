// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "decoder/recover.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <span>
#include <string_view>

namespace orvik {

class ArchiveSink;
class RecoverRun;

// Received times are kept to the second: a copied beacon is not timed more finely.
qint64 wholeSecond(qint64 ms);

// Adds a record that `run` hands its sink, with its copies as received (RecoverRun::keepHeard),
// each dated from the first received time of its input in `receivedOf`. False, with the
// sink's error, when the archive refused.
bool addRecoveredRecord(const RecoverRun& run, const RecoveredRecord& record,
                        const QHash<QString, qint64>& receivedOf, ArchiveSink& sink);

// What addRecoveredLines did.
struct RecoveredAdd {
    ArchiveAddResult counts;
    std::uint64_t records = 0; // the recovery's, new to the archive or not
    int resets = 0;            // times the on-board time went back
};

// The lines of a log in memory added as `orvik-tlm --recover --archive` adds a file, each copy
// named `source` alone, the first record received at firstReceivedMs and the others dated from
// it by their on-board times. The archive is opened at `path` for the first record, if it is
// not open: no record makes no file. False, with the message, when the archive refused; what
// the add had committed before stays, and *result counts it.
bool addRecoveredLines(Archive& archive, const QString& path, std::span<const std::u16string_view> lines,
                       const QString& source, qint64 firstReceivedMs, RecoveredAdd* result, QString* error);

} // namespace orvik
