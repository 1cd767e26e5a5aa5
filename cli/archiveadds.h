// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QIODevice;

namespace orvik {

class TlmReport;

// orvik-tlm --archive FILE --adds: the adds kept, oldest first, one line each that starts with
// its number. 0, or 2 when the file cannot be read.
int listArchiveAdds(const QString& path, QIODevice& out, TlmReport& report);
// orvik-tlm --archive FILE --undo-add N: add N taken back, and what that did. 0, or 2 when
// there is no such add or the file cannot be written.
int undoArchiveAdd(const QString& path, qint64 number, TlmReport& report);

} // namespace orvik
