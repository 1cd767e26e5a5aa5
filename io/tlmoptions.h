// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <string>

namespace orvik {

enum class TlmFormat { Csv, JsonLines };

// File names stay in the bytes of the command line: a name that is no valid UTF-8 still
// names its file.
struct TlmOptions {
    TlmFormat format = TlmFormat::Csv;
    std::string decimalPoint; // UTF-8; empty: the separator of the user's regional settings
    QByteArray outputPath;    // empty: standard output
    bool check = false;
    bool dedupe = false;
    bool help = false;
    bool version = false;
    QList<QByteArray> inputs; // empty: standard input; "-" stands for it among them
};

// Reads the command line, whose first argument is the program, with the rules and words of
// QCommandLineParser. False, with a one-line message, on a usage error.
bool parseTlmArguments(const QList<QByteArray>& arguments, TlmOptions& options, QString& error);

QString tlmHelpText();

} // namespace orvik
