// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runs/tlmoptions.h"

#include <QByteArray>
#include <QList>
#include <cstdint>

namespace orvik {

struct TlmStreams;
class TlmReport;

// orvik-tlm --archive: the inputs, already inspected, decoded into the archive. inputIds are
// their identities, so that the archive is never one of them; totalBytes counts for progress.
// Returns the exit status of the run.
int addToArchive(const TlmOptions& options, const QList<QByteArray>& inputs,
                 const QList<QByteArray>& inputIds, std::uint64_t totalBytes, const TlmStreams& streams,
                 TlmReport& report);

} // namespace orvik
