// SPDX-License-Identifier: GPL-3.0-or-later
#include "io/batch.h"

#include <QCoreApplication>
#include <QFile>
#include <unistd.h>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QFile in;
    QFile out;
    QFile err;
    in.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    out.open(STDOUT_FILENO, QIODevice::WriteOnly);
    err.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    const orvik::TlmStreams streams{in, out, err, isatty(STDERR_FILENO) == 1};
    return orvik::runTlm(QCoreApplication::arguments(), streams);
}
