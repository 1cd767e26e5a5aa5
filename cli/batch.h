// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runs/tlmoptions.h"

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QStringList>

namespace orvik {

// A stream that is a QFileDevice left closed stands for a standard descriptor that was
// closed when the program started.
struct TlmStreams {
    QIODevice& in;
    QIODevice& out;
    QIODevice& err;
    bool errIsTerminal = false;
    // Progress shows only on a terminal, and only once the run has taken this long.
    int progressDelayMs = 1000;
};

// The whole of orvik-tlm, on the command line as the bytes that the program got. Returns
// the exit status: 0 when records were written, 1 when the input holds no beacon line, 2 on
// a usage, open, read or write error.
int runTlm(const QList<QByteArray>& arguments, const TlmStreams& streams);
// The same with the arguments as text, in the encoding of file names.
int runTlm(const QStringList& arguments, const TlmStreams& streams);

} // namespace orvik
