// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/batch.h"
#include "support/referenceline.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A beacon line whose values are known, lines made from it, and orvik-tlm run in memory.
inline const QByteArray kGood = testsupport::referenceBytes();

// The good line with `text` written over it from position `pos`, counted from 1.
inline QByteArray over(int pos, const QByteArray& text)
{
    return QByteArray(kGood).replace(pos - 1, text.size(), text);
}

using testsupport::beaconBytes;
// The good line with on-board time n.
inline QByteArray beacon(int n) { return beaconBytes(n); }

// Text as Windows saves it in "Unicode": UTF-16 after a byte-order mark. Every unit is
// written as it stands, an unpaired surrogate too.
inline QByteArray utf16(const QString& text, bool bigEndian)
{
    QByteArray bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
    }
    return bytes;
}

struct Run {
    int status;
    QByteArray out;
    QByteArray err;
};

// The whole of orvik-tlm on the arguments after the program name, with `input` as its
// standard input. A device given stands in for that stream; its bytes are not returned.
inline Run runInMemory(const QStringList& args, const QByteArray& input = QByteArray(), bool terminal = false,
                       QIODevice* in = nullptr, QIODevice* out = nullptr, QIODevice* err = nullptr)
{
    QBuffer inBuffer;
    inBuffer.setData(input);
    inBuffer.open(QIODevice::ReadOnly);
    QBuffer outBuffer;
    outBuffer.open(QIODevice::WriteOnly);
    QBuffer errBuffer;
    errBuffer.open(QIODevice::WriteOnly);
    const orvik::TlmStreams streams{in ? *in : inBuffer, out ? *out : outBuffer, err ? *err : errBuffer,
                                    terminal, 0};
    const int status = orvik::runTlm(QStringList{"orvik-tlm"} + args, streams);
    return {status, outBuffer.data(), errBuffer.data()};
}

// The same in a folder: DIR in an argument stands for it.
inline Run runIn(const QTemporaryDir& dir, QStringList args, const QByteArray& input = QByteArray())
{
    for (QString& arg : args)
        arg.replace(QStringLiteral("DIR"), dir.path());
    return runInMemory(args, input);
}
