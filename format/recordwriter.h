// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recordform.h"
#include "tlmformat.h"

#include <QIODevice>
#include <QString>
#include <cstdint>
#include <string>

namespace orvik {

// The records of orvik-tlm as CSV or JSON Lines, made straight from the beacon lines. The
// text is kept in one block and handed on to the output in pieces of about 256 KiB.
// The columns every record of orvik-tlm begins with in JSON Lines: "record", "line", and with
// several inputs "file".
RecordLayout tlmRecordLayout(bool withFile);

class RecordWriter {
public:
    // withFile: JSON objects name the file that the line came from.
    RecordWriter(QIODevice& out, TlmFormat format, std::string decimalPoint, bool withFile);
    ~RecordWriter();

    // The CSV header; nothing for JSON Lines.
    bool begin();
    // Writes record `number`, from line `line` of `file`, a beacon line (isBeaconLine holds).
    // `plain` is cleared when a field holds other characters than hex digits. False when
    // handing on the records before it to the output failed.
    bool write(std::string_view beacon, std::uint64_t number, std::uint64_t line, const QString& file,
               bool& plain);
    bool write(std::u16string_view beacon, std::uint64_t number, std::uint64_t line, const QString& file,
               bool& plain);
    // Takes back the record just written.
    void dropLast() { m_block.truncate(m_lastStart); }
    // Hands on what is kept.
    bool flush();

private:
    template <class CharT>
    bool writeLine(std::basic_string_view<CharT> beacon, std::uint64_t number, std::uint64_t line,
                   const QString& file, bool& plain);

    RecordForm m_form;
    bool m_withFile;
    TextBlock m_block;
    std::size_t m_lastStart = 0;
    QString m_fileName;
    std::string m_fileJson;
    DecimalCounter m_number; // of the record
    DecimalCounter m_line;   // of its line in its file
};

} // namespace orvik
