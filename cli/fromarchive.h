// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "runs/tlmoptions.h"

#include <QIODevice>
#include <QString>
#include <cstdint>

namespace orvik {

// orvik-tlm --from-archive: the records received in [sinceMs, untilMs] as CSV, with a leading
// "Received (UTC)" column, or as JSON Lines with "received", "source" and "copies". A value
// left out is an empty field or null. False when reading failed, with the reason, or when
// the output refused a write, with an empty error.
bool writeArchiveRecords(const Archive& archive, const TlmOptions& options, QIODevice& out,
                         std::uint64_t* records, QString* error);

} // namespace orvik
