// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/channels.h"
#include "decoder/recordtable.h"
#include "format/csvwriter.h"
#include "support/logtext.h"

#include <QBuffer>
#include <QStringList>

// What the window exports for the same log: the channel captions, then its records.
inline QByteArray windowExport(const QByteArray& log, const std::string& decimalPoint = ".")
{
    QStringList captions;
    for (const orvik::Channel& ch : orvik::kChannels)
        captions << QString::fromUtf8(ch.caption.data(), qsizetype(ch.caption.size()));
    const QString text = QString::fromUtf8(log);
    orvik::RecordTable table;
    testsupport::parseCrLfLog({reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())},
                              table);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return orvik::writeCsv(buffer, captions, table, decimalPoint) ? buffer.data() : QByteArray("failed");
}
