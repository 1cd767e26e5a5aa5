// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "tlmoptions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <span>
#include <string_view>

namespace orvik {

struct TlmStreams;
class TlmReport;

// orvik-tlm --archive: the inputs, already inspected, decoded into the archive. inputIds are
// their identities, so that the archive is never one of them; totalBytes counts for progress.
// Returns the exit status of the run.
int addToArchive(const TlmOptions& options, const QList<QByteArray>& inputs,
                 const QList<QByteArray>& inputIds, std::uint64_t totalBytes, const TlmStreams& streams,
                 TlmReport& report);

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
