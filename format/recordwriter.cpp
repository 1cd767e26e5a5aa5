// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordwriter.h"

#include "csvwriter.h"

#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cstring>

namespace orvik {

namespace {

// The JSON text before the values: {"record":N,"line":N,"file":
constexpr std::size_t kJsonHeadRoom = 64;

char* appendText(char* out, std::string_view text) { return std::copy(text.begin(), text.end(), out); }

char* appendInteger(char* out, std::uint64_t n) { return std::to_chars(out, out + 24, n).ptr; }

} // namespace

void appendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            const auto res = std::to_chars(buf, buf + sizeof buf, unsigned(c), 16);
            out += "\\u";
            out.append(std::size_t(4 - (res.ptr - buf)), '0');
            out.append(buf, res.ptr);
        } else {
            out += ch;
        }
    }
    out += '"';
}

RecordWriter::RecordWriter(QIODevice& out, TlmFormat format, std::string decimalPoint, bool withFile)
    : m_out(out)
    , m_format(format)
    , m_decimalPoint(decimalPoint)
    , m_withFile(withFile)
    , m_text(format == TlmFormat::Csv ? NumberStyle::Csv : NumberStyle::Json, std::move(decimalPoint))
{}

RecordWriter::~RecordWriter() = default;

bool RecordWriter::begin()
{
    if (m_format != TlmFormat::Csv)
        return true;
    QStringList captions;
    for (const Channel& ch : kChannels)
        captions << QString::fromUtf8(ch.caption.data(), qsizetype(ch.caption.size()));
    return CsvWriter(m_out, m_decimalPoint).writeHeader(captions);
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
    if (m_size >= kIoPiece && !flush())
        return false;
    m_lastStart = m_size;
    char* p = nullptr;
    if (m_format == TlmFormat::Csv) {
        p = m_text.append(room(m_text.room() + 2), beacon, plain);
        p = appendText(p, "\r\n");
    } else {
        if (m_withFile && (m_fileJson.empty() || file != m_fileName)) {
            m_fileName = file;
            m_fileJson = ",\"file\":";
            appendJsonString(m_fileJson, file.toStdString());
        }
        const std::string_view fileJson = m_withFile ? std::string_view(m_fileJson) : std::string_view();
        p = room(kJsonHeadRoom + fileJson.size() + m_text.room() + 2);
        p = appendText(p, "{\"record\":");
        p = appendInteger(p, number);
        p = appendText(p, ",\"line\":");
        p = appendInteger(p, line);
        p = appendText(p, fileJson);
        p = m_text.append(p, beacon, plain);
        p = appendText(p, "}\n");
    }
    m_size = std::size_t(p - m_block.get());
    return true;
}

char* RecordWriter::room(std::size_t size)
{
    // Less than a piece is kept before a line, so the block grows only for a longer file name.
    if (m_capacity - m_size < size) {
        const std::size_t capacity = kIoPiece + size;
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        if (m_size > 0)
            std::memcpy(bigger.get(), m_block.get(), m_size);
        m_block = std::move(bigger);
        m_capacity = capacity;
    }
    return m_block.get() + m_size;
}

bool RecordWriter::flush()
{
    const auto size = qint64(m_size);
    m_size = 0;
    return size == 0 || m_out.write(m_block.get(), size) == size;
}

} // namespace orvik
