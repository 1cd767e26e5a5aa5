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

// "3  2026-12-09T20:14:05Z  18 records, 20 copies  from pass.txt"
QString archiveAddText(qint64 number, qint64 atMs, qint64 records, qint64 copies, const QString& origin);
// "add 3 taken back: 20 copies; 18 records went, 2 were voted again"
QString undoneText(qint64 number, qint64 copies, qint64 records, qint64 revoted);

} // namespace orvik
