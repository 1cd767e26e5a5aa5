// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace orvik {

// Every message about a file names it first, in quotes and with the platform's separators:
// "'PATH' WHAT".
QString aboutFile(const QString& path, const QString& what);

enum class FileStep { Opened, Read, Written };

// "'PATH' cannot be opened: REASON", and so for read and written.
QString fileError(const QString& path, FileStep step, const QString& reason);

// Standard output has no path: "standard output cannot be written: REASON".
QString standardOutputError(const QString& reason);

} // namespace orvik
