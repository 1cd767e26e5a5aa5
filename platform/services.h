// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QIODevice;

namespace orvik {

// Today's or any date as "DDMMYYYY".
QString dateText(const QDate& date);

// The folder of the running executable, without a trailing separator.
QString programFolder();

// folder + native separator + name.
QString joinPath(const QString& folder, const QString& name);

// A regular file's text (a link is followed) up to maxBytes, less a line cut there: UTF-16
// after its byte-order mark, else UTF-8 when it all is (or a mark says so), else Latin-1,
// as 8-bit Windows text. Nothing for a FIFO, device, folder or unreadable file.
std::optional<QString> readTextFile(const QString& path, qint64 maxBytes);

// Splits at CR LF, a lone CR or a lone LF. An empty text has no lines. The lines are
// views into text.
QList<QStringView> splitTextLines(QStringView text);

// Writes a file through QSaveFile: an older file is replaced only by a complete new one.
// write() returns false on failure; failureReason names it when the device has no error
// of its own. False on failure, with *error "'PATH' cannot be written: REASON".
bool saveFileAtomically(const QString& path, const std::function<bool(QIODevice&)>& write,
                        const QString& failureReason, QString* error);

// Starts a program directly, without a shell and without waiting: every argument reaches
// it whole, blanks and all. False when it cannot be started.
bool startProgram(const QString& program, const QStringList& arguments);

} // namespace orvik
