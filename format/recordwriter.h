// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "beacontext.h"
#include "tlmformat.h"

#include <QIODevice>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

namespace orvik {

// The records of orvik-tlm as CSV or JSON Lines, made straight from the beacon lines. The
// text is kept in one block and handed on to the output in pieces of about 256 KiB.
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
    void dropLast() { m_size = m_lastStart; }
    // Hands on what is kept.
    bool flush();

private:
    template <class CharT>
    bool writeLine(std::basic_string_view<CharT> beacon, std::uint64_t number, std::uint64_t line,
                   const QString& file, bool& plain);
    char* room(std::size_t size);

    QIODevice& m_out;
    TlmFormat m_format;
    std::string m_decimalPoint;
    bool m_withFile;
    BeaconText m_text;
    std::unique_ptr<char[]> m_block;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
    std::size_t m_lastStart = 0;
    QString m_fileName;
    std::string m_fileJson;
};

// The text as a JSON string, in double quotes.
void appendJsonString(std::string& out, std::string_view text);

} // namespace orvik
