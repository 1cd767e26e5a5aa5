// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "format/tlmformat.h"

#include <QByteArray>
#include <QList>
#include <limits>
#include <optional>
#include <string>

namespace orvik {

// File names stay in the bytes of the command line: a name that is no valid UTF-8 still
// names its file. The runs that the window shares take their format and checks from here, so
// the command line is read apart (tlmarguments.h).
struct TlmOptions {
    TlmFormat format = TlmFormat::Csv;
    std::string decimalPoint; // UTF-8; empty: the separator of the user's regional settings
    QByteArray outputPath;    // empty: standard output
    bool check = false;
    bool dedupe = false;
    bool quiet = false;   // no closing count of the lines that look like beacons, not decoded
    bool recover = false; // records from damaged copies, each value certain or left out
    bool help = false;
    bool version = false;
    QList<QByteArray> inputs;         // empty: standard input; "-" stands for it among them
    QByteArray archivePath;           // --archive: add the records to this archive instead of writing them
    QByteArray fromArchive;           // --from-archive: write the records of this archive
    std::optional<qint64> receivedMs; // --received, UTC milliseconds
    bool verify = false;              // --verify: check the archive against its lines
    bool listAdds = false;            // --adds: list the adds kept in the archive
    qint64 undoAdd = 0;               // --undo-add: take this add back
    qint64 sinceMs = std::numeric_limits<qint64>::min();
    qint64 untilMs = std::numeric_limits<qint64>::max();
};

} // namespace orvik
