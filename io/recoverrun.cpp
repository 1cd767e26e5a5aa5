// SPDX-License-Identifier: GPL-3.0-or-later
#include "recoverrun.h"

#include "recordwriter.h"

#include <algorithm>
#include <charconv>

namespace orvik {

namespace {

constexpr std::size_t kPiece = 256 * 1024;

void appendNumber(std::string& out, std::uint64_t n)
{
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
}

std::string captionOf(int channel) { return std::string(kChannels[std::size_t(channel)].caption); }

// A character as the report shows it: printable ASCII as it stands, anything else as U+XXXX.
std::string shownChar(char16_t c)
{
    if (c >= 0x20 && c < 0x7F)
        return std::string("\"") + char(c) + "\"";
    char buf[8];
    const auto end = std::to_chars(buf, buf + sizeof buf, unsigned(c), 16).ptr;
    std::string hex(buf, end);
    for (char& h : hex)
        h = char(std::toupper(static_cast<unsigned char>(h)));
    return "U+" + std::string(4 - std::min<std::size_t>(4, hex.size()), '0') + hex;
}

} // namespace

RecoverRun::RecoverRun(const TlmOptions& options, QIODevice& out, TlmReport& report, bool withFile)
    : m_options(options)
    , m_out(out)
    , m_report(report)
    , m_withFile(withFile)
    , m_text(options.format == TlmFormat::Csv ? NumberStyle::Csv : NumberStyle::Json, options.decimalPoint)
{
    m_block.reserve(kPiece + 4096);
    m_scratch = std::make_unique_for_overwrite<char[]>(m_text.room() + 2);
}

RecoverRun::~RecoverRun() = default;

void RecoverRun::beginInput(const QString& name) { m_inputs.append(name); }

bool RecoverRun::add(std::string_view asciiLine, std::uint64_t lineNumber)
{
    return addText(asciiLine, lineNumber);
}

bool RecoverRun::add(std::u16string_view line, std::uint64_t lineNumber) { return addText(line, lineNumber); }

// Whether a line is a copy at all, of whatever length, is the recovery's to tell; the reader
// has explained it already.
template <class CharT> bool RecoverRun::addText(std::basic_string_view<CharT> text, std::uint64_t lineNumber)
{
    const CopySource source{std::uint32_t(m_inputs.size() - 1), lineNumber};
    return !m_recoverer.add(text, source) || takeReady(false);
}

bool RecoverRun::finish()
{
    if (!takeReady(true))
        return false;
    const auto size = qint64(m_block.size());
    const bool written = size == 0 || m_out.write(m_block.data(), size) == size;
    m_block.clear();
    return written;
}

QString RecoverRun::sourceName(const CopySource& source) const
{
    return QStringLiteral("%1:%2").arg(m_inputs.value(qsizetype(source.input))).arg(source.line);
}

bool RecoverRun::takeReady(bool all)
{
    // The text written of a record whose every value is certain is its line's.
    while (m_recoverer.take(m_record, all, bool(m_sink))) {
        if (!handOn(m_record))
            return false;
    }
    return true;
}

bool RecoverRun::handOn(const RecoveredRecord& record)
{
    QStringList sources;
    if (m_sink || m_options.check) {
        for (const CopySource& s : record.copies)
            sources << sourceName(s);
    }
    if (!record.anyValue()) {
        if (m_options.check) {
            m_report.tell(sources.first().toStdString() + ": not recovered: no value is certain in " +
                          sources.join(QStringLiteral(", ")).toStdString() + "\n");
        }
        return true;
    }
    ++m_records;
    if (m_options.check)
        tellRecord(record, sources);
    if (m_sink)
        return m_sink(record, sources);
    if (m_options.format == TlmFormat::Csv)
        appendCsv(record);
    else
        appendJson(record);
    if (m_block.size() < kPiece)
        return true;
    const auto size = qint64(m_block.size());
    const bool written = m_out.write(m_block.data(), size) == size;
    m_block.clear();
    return written;
}

void RecoverRun::appendCsv(const RecoveredRecord& record)
{
    // Every value written has its hex digits in the record's line: the same text as the
    // strict decoder's for them.
    bool plain = true;
    const std::uint32_t leftOut = record.leftOutMask();
    char* p = leftOut == 0 ? m_text.append(m_scratch.get(), std::string_view(record.line), plain)
                           : m_text.append(m_scratch.get(), std::string_view(record.line), plain, leftOut);
    *p++ = '\r';
    *p++ = '\n';
    m_block.append(m_scratch.get(), p);
}

void RecoverRun::appendJson(const RecoveredRecord& record)
{
    m_block += "{\"record\":";
    appendNumber(m_block, m_records);
    m_block += ",\"line\":";
    appendNumber(m_block, record.copies.front().line);
    if (m_withFile) {
        m_block += ",\"file\":";
        appendJsonString(m_block, m_inputs.value(qsizetype(record.copies.front().input)).toStdString());
    }
    m_block += ",\"copies\":";
    appendNumber(m_block, record.copies.size());
    m_block += ",\"lines\":[";
    for (std::size_t i = 0; i < record.copies.size(); ++i) {
        if (i > 0)
            m_block += ',';
        appendNumber(m_block, record.copies[i].line);
    }
    m_block += ']';
    if (m_withFile) {
        m_block += ",\"files\":[";
        for (std::size_t i = 0; i < record.copies.size(); ++i) {
            if (i > 0)
                m_block += ',';
            appendJsonString(m_block, m_inputs.value(qsizetype(record.copies[i].input)).toStdString());
        }
        m_block += ']';
    }
    bool plain = true;
    const std::uint32_t leftOut = record.leftOutMask();
    m_block.append(m_scratch.get(),
                   leftOut == 0
                       ? m_text.append(m_scratch.get(), std::string_view(record.line), plain)
                       : m_text.append(m_scratch.get(), std::string_view(record.line), plain, leftOut));
    m_block += ",\"left_out\":[";
    bool first = true;
    for (int c = 0; c < kChannelCount; ++c) {
        if (record.written(c))
            continue;
        if (!first)
            m_block += ',';
        first = false;
        appendJsonString(m_block, captionOf(c));
    }
    m_block += "]}\n";
}

void RecoverRun::tellRecord(const RecoveredRecord& record, const QStringList& sources)
{
    if (record.copies.size() < 2 && record.changes.empty() && record.leftOutMask() == 0)
        return;
    std::string text = sources.first().toStdString() + ": recovered record " + std::to_string(m_records) +
                       " from " + sources.join(QStringLiteral(", ")).toStdString();
    for (std::size_t i = 0; i < record.changes.size(); ++i) {
        const VoteChange& c = record.changes[i];
        text += i == 0 ? "; vote changed " : ", ";
        text += sources[qsizetype(c.copy)].toStdString() + " position " + std::to_string(c.position) + " " +
                shownChar(c.from) + " to " + shownChar(c.to);
    }
    bool first = true;
    for (int c = 0; c < kChannelCount; ++c) {
        if (record.written(c))
            continue;
        text += first ? "; left out: " : ", ";
        first = false;
        text += "channel " + std::to_string(c) + " \"" + captionOf(c) + "\" (" +
                std::string(leftOutText(record.leftOut[std::size_t(c)])) + ")";
    }
    text += '\n';
    m_report.tell(text);
}

} // namespace orvik
