// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "io/batch.h"

#include <QBuffer>
#include <QByteArray>
#include <QStringList>

// A beacon line whose values are known, lines made from it, and orvik-tlm run in memory.
inline const QByteArray kGood =
    "orv1 01e240 orv2 e55a0080 orv3 a0c880 orv4 0a141e28323c orv5 6e6f70717273 orv6 7480ff6e40" +
    QByteArray(31, '0');

// The good line with `text` written over it from position `pos`, counted from 1.
inline QByteArray over(int pos, const QByteArray& text)
{
    return QByteArray(kGood).replace(pos - 1, text.size(), text);
}

// The good line with on-board time n.
inline QByteArray beacon(int n)
{
    return QByteArray(kGood).replace(5, 6, QByteArray::number(n, 16).rightJustified(6, '0'));
}

struct Run {
    int status;
    QByteArray out;
    QByteArray err;
};

// The whole of orvik-tlm on the arguments after the program name, with `input` as its
// standard input.
inline Run runInMemory(const QStringList& args, const QByteArray& input = QByteArray())
{
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QBuffer err;
    err.open(QIODevice::WriteOnly);
    const int status =
        orvik::runTlm(QStringList{"orvik-tlm"} + args, orvik::TlmStreams{in, out, err, false, 0});
    return {status, out.data(), err.data()};
}
