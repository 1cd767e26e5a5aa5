// SPDX-License-Identifier: GPL-3.0-or-later
#include "csvwriter.h"

#include "platform/services.h"

namespace orvik {

CsvWriter::CsvWriter(QIODevice& out, std::string decimalPoint)
    : m_form(TlmFormat::Csv, std::move(decimalPoint))
    , m_line(&out)
{}

CsvWriter::~CsvWriter() = default;

bool CsvWriter::writeHeader(const QStringList& captions)
{
    if (captions.size() != kChannelCount)
        return false;
    std::vector<std::string> texts;
    for (const QString& caption : captions) {
        if (caption.contains(u';') || caption.contains(u'\r') || caption.contains(u'\n'))
            return false;
        texts.push_back(caption.toStdString());
    }
    m_line += m_form.header(texts);
    return m_line.flush();
}

bool CsvWriter::writeRecord(const Record& record)
{
    RecordText(m_form, m_line).values(record).end();
    return m_line.flush();
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

bool saveCsvFile(const QString& path, const QStringList& captions, const RecordTable& table,
                 const std::string& decimalPoint, QString* error)
{
    return saveFileAtomically(
        path, [&](QIODevice& out) { return writeCsv(out, captions, table, decimalPoint); },
        QStringLiteral("the captions do not make 31 fields"), error);
}

} // namespace orvik
