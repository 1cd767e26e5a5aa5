// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <string>

namespace orvik {

enum class TlmFormat { Csv, JsonLines };

struct TlmOptions {
    TlmFormat format = TlmFormat::Csv;
    std::string decimalPoint; // UTF-8; empty: the separator of the user's regional settings
    QString outputPath;       // empty: standard output
    bool check = false;
    bool dedupe = false;
    bool help = false;
    bool version = false;
    QStringList inputs; // empty: standard input
};

// Reads the command line, whose first argument is the program. False, with a one-line
// message, on a usage error.
bool parseTlmArguments(const QStringList& arguments, TlmOptions& options, QString& error);

struct TlmStreams {
    QIODevice& in;
    QIODevice& out;
    QIODevice& err;
    bool errIsTerminal = false;
    // Progress shows only on a terminal, and only once the run has taken this long.
    int progressDelayMs = 1000;
};

// The whole of orvik-tlm. Returns the exit status: 0 when records were written, 1 when the
// input holds no beacon line, 2 on a usage, open, read or write error.
int runTlm(const QStringList& arguments, const TlmStreams& streams);

QString tlmHelpText();

} // namespace orvik
