// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace orvik {

class TlmReport;

// orvik-tlm --archive FILE --verify: SQLite's integrity check, then every record's line
// decoded again against its stored values; each value that differs is told. 0 when all agree,
// 1 when a value differs, 2 when the file cannot be read or is damaged.
int verifyArchive(const QString& path, TlmReport& report);

} // namespace orvik
