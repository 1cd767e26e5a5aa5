// SPDX-License-Identifier: GPL-3.0-or-later
#include "csvwriter.h"

#include "beacontext.h"
#include "platform/services.h"

#include <cmath>

namespace orvik {

CsvWriter::CsvWriter(QIODevice& out, std::string decimalPoint)
    : m_out(out)
    , m_decimalPoint(std::move(decimalPoint))
    , m_line(kChannelCount * (kNumberRoom + m_decimalPoint.size() + 1) + 2)
{}

bool CsvWriter::writeHeader(const QStringList& captions)
{
    if (captions.size() != kChannelCount)
        return false;
    std::string header;
    for (const QString& caption : captions) {
        if (caption.contains(u';') || caption.contains(u'\r') || caption.contains(u'\n'))
            return false;
        header += caption.toStdString();
        header += ';';
    }
    header += "\r\n";
    return m_out.write(header.data(), qint64(header.size())) == qint64(header.size());
}

bool CsvWriter::writeRecord(const Record& record)
{
    char* p = m_line.data();
    for (const double value : record) {
        // A value the recovery left out is an empty field, as orvik-tlm writes it.
        if (!std::isnan(value))
            p = appendCsvNumber(p, value, m_decimalPoint);
        *p++ = ';';
    }
    *p++ = '\r';
    *p++ = '\n';
    const auto size = qint64(p - m_line.data());
    return m_out.write(m_line.data(), size) == size;
}

bool writeCsv(QIODevice& out, const QStringList& captions, const RecordTable& table,
              const std::string& decimalPoint)
{
    CsvWriter writer(out, decimalPoint);
    if (!writer.writeHeader(captions))
        return false;
    for (int n = 1; n <= table.count(); ++n) {
        if (!writer.writeRecord(table.row(n)))
            return false;
    }
    return true;
}

QString saveCsvFile(const QString& path, const QStringList& captions, const RecordTable& table,
                    const std::string& decimalPoint)
{
    return saveFileAtomically(
        path, [&](QIODevice& out) { return writeCsv(out, captions, table, decimalPoint); },
        QStringLiteral("the captions do not make 31 fields"));
}

} // namespace orvik
