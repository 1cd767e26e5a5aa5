// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordwriter.h"

namespace orvik {

RecordLayout tlmRecordLayout(bool withFile)
{
    RecordLayout layout;
    layout.before = {{"record"}, {"line"}};
    if (withFile)
        layout.before.push_back({"file"});
    return layout;
}

RecordWriter::RecordWriter(QIODevice& out, TlmFormat format, std::string decimalPoint, bool withFile)
    : m_form(format, std::move(decimalPoint), tlmRecordLayout(withFile))
    , m_withFile(withFile)
    , m_block(&out)
{}

RecordWriter::~RecordWriter() = default;

bool RecordWriter::begin()
{
    m_block += m_form.header();
    return m_block.flush();
}

bool RecordWriter::write(std::string_view beacon, std::uint64_t number, std::uint64_t line,
                         const QString& file, bool& plain)
{
    return writeLine(beacon, number, line, file, plain);
}

bool RecordWriter::write(std::u16string_view beacon, std::uint64_t number, std::uint64_t line,
                         const QString& file, bool& plain)
{
    return writeLine(beacon, number, line, file, plain);
}

template <class CharT>
bool RecordWriter::writeLine(std::basic_string_view<CharT> beacon, std::uint64_t number, std::uint64_t line,
                             const QString& file, bool& plain)
{
    // A piece is handed on only before the next record, so that the last can be taken back.
    if (!m_block.handOnPiece())
        return false;
    m_lastStart = m_block.size();
    RecordText record(m_form, m_block);
    // CSV writes the values alone: its columns are not worked out for every line.
    if (m_form.isCsv()) {
        record.values(beacon, plain).end();
        return true;
    }
    record.number(m_number.at(number)).number(m_line.at(line));
    if (m_withFile) {
        if (m_fileJson.empty() || file != m_fileName) {
            m_fileName = file;
            m_fileJson.clear();
            appendJsonString(m_fileJson, file.toStdString());
        }
        record.encoded(m_fileJson);
    }
    record.values(beacon, plain).end();
    return true;
}

bool RecordWriter::flush()
{
    m_lastStart = 0;
    return m_block.flush();
}

} // namespace orvik
