// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runs/tlmoptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace orvik {

// Reads the command line, whose first argument is the program, with the rules and words of
// QCommandLineParser. False, with a one-line message, on a usage error.
bool parseTlmArguments(const QList<QByteArray>& arguments, TlmOptions& options, QString* error);

QString tlmHelpText();

} // namespace orvik
