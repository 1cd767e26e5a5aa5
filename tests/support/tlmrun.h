// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// orvik-tlm run in the test's own process on bytes given as its standard input.
#include "cli/batch.h"

#include <QBuffer>
#include <QByteArray>
#include <QLocale>
#include <QStringList>

namespace testsupport {

struct TlmResult {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// The run with `options`, its numbers written with the decimal point of the regional settings,
// as the window writes them.
inline TlmResult runTlmOn(QByteArray input, const QStringList& options)
{
    QBuffer in(&input);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QBuffer err;
    err.open(QIODevice::WriteOnly);
    const QStringList arguments =
        QStringList{"orvik-tlm", "--decimal-point", QLocale::system().decimalPoint()} + options;
    TlmResult result;
    result.code = orvik::runTlm(arguments, orvik::TlmStreams{in, out, err});
    result.out = out.data();
    result.err = err.data();
    return result;
}

} // namespace testsupport
