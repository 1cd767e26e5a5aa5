// SPDX-License-Identifier: GPL-3.0-or-later
#include "recoveredtext.h"

#include "recordwriter.h"

#include <algorithm>
#include <charconv>

namespace orvik {

namespace {

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

bool wrapped(const RecoveredRecord& record)
{
    return std::any_of(record.copies.begin(), record.copies.end(),
                       [](const CopySource& s) { return s.last() != s.line; });
}

} // namespace

RecoveredText::RecoveredText(TlmFormat format, std::string decimalPoint, const QStringList& inputs,
                             bool withFile)
    : m_format(format)
    , m_text(format == TlmFormat::Csv ? NumberStyle::Csv : NumberStyle::Json, std::move(decimalPoint))
    , m_inputs(inputs)
    , m_withFile(withFile)
    , m_scratch(std::make_unique_for_overwrite<char[]>(m_text.room() + 2))
{}

RecoveredText::~RecoveredText() = default;

void RecoveredText::append(std::string& out, const RecoveredRecord& record, std::uint64_t number)
{
    if (m_format == TlmFormat::JsonLines) {
        appendJson(out, record, number);
        return;
    }
    char* p = appendValues(m_scratch.get(), record);
    *p++ = '\r';
    *p++ = '\n';
    out.append(m_scratch.get(), p);
}

// Every value written has its hex digits in the record's line: the same text as the strict
// decoder's for them.
char* RecoveredText::appendValues(char* out, const RecoveredRecord& record) const
{
    bool plain = true;
    const std::uint32_t leftOut = record.leftOutMask();
    return leftOut == 0 ? m_text.append(out, std::string_view(record.line), plain)
                        : m_text.append(out, std::string_view(record.line), plain, leftOut);
}

void RecoveredText::appendJson(std::string& out, const RecoveredRecord& record, std::uint64_t number)
{
    out += "{\"record\":";
    appendNumber(out, number);
    out += ",\"line\":";
    appendNumber(out, record.copies.front().line);
    if (m_withFile) {
        out += ",\"file\":";
        appendJsonString(out, inputName(record.copies.front().input).toStdString());
    }
    out += ",\"copies\":";
    appendNumber(out, record.copies.size());
    // Every line of every copy once, in the order of the inputs.
    m_lines.clear();
    for (const CopySource& s : record.copies) {
        for (std::uint64_t line = s.line; line <= s.last(); ++line)
            m_lines.emplace_back(s.input, line);
    }
    std::sort(m_lines.begin(), m_lines.end());
    m_lines.erase(std::unique(m_lines.begin(), m_lines.end()), m_lines.end());
    out += ",\"lines\":[";
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (i > 0)
            out += ',';
        appendNumber(out, m_lines[i].second);
    }
    out += ']';
    if (m_withFile) {
        out += ",\"files\":[";
        for (std::size_t i = 0; i < m_lines.size(); ++i) {
            if (i > 0)
                out += ',';
            appendJsonString(out, inputName(m_lines[i].first).toStdString());
        }
        out += ']';
    }
    out.append(m_scratch.get(), appendValues(m_scratch.get(), record));
    out += ",\"left_out\":[";
    bool first = true;
    for (int c = 0; c < kChannelCount; ++c) {
        if (record.written(c))
            continue;
        if (!first)
            out += ',';
        first = false;
        appendJsonString(out, captionOf(c));
    }
    out += "]}\n";
}

QString RecoveredText::sourceName(const CopySource& source) const
{
    const QString name = QStringLiteral("%1:%2").arg(inputName(source.input)).arg(source.line);
    return source.last() == source.line ? name : QStringLiteral("%1-%2").arg(name).arg(source.last());
}

bool RecoveredText::hasNews(const RecoveredRecord& record)
{
    return record.copies.size() > 1 || !record.changes.empty() || record.leftOutMask() != 0 ||
           wrapped(record) || record.lookalike.line != 0;
}

std::string RecoveredText::told(const RecoveredRecord& record, std::uint64_t number,
                                const QStringList& sources) const
{
    std::string text;
    const std::string first = sources.first().toStdString();
    if (record.copies.size() > 1 || !record.changes.empty() || record.leftOutMask() != 0 || wrapped(record)) {
        text = first + ": recovered record " + std::to_string(number) + " from " +
               sources.join(QStringLiteral(", ")).toStdString();
        for (std::size_t i = 0; i < record.changes.size(); ++i) {
            const VoteChange& c = record.changes[i];
            text += i == 0 ? "; vote changed " : ", ";
            text += sources[qsizetype(c.copy)].toStdString() + " position " + std::to_string(c.position) +
                    " " + shownChar(c.from) + " to " + shownChar(c.to);
        }
        bool firstLeftOut = true;
        for (int c = 0; c < kChannelCount; ++c) {
            if (record.written(c))
                continue;
            text += firstLeftOut ? "; left out: " : ", ";
            firstLeftOut = false;
            text += "channel " + std::to_string(c) + " \"" + captionOf(c) + "\" (" +
                    std::string(leftOutText(record.leftOut[std::size_t(c)])) + ")";
        }
        text += '\n';
    }
    if (record.lookalike.line != 0) {
        text += first + ": record " + std::to_string(number) + " stands alone: it could be a copy of the " +
                "record at " + sourceName(record.lookalike).toStdString() +
                " or the beacon next to it, so what the two disagree on is left out\n";
    }
    return text;
}

std::string RecoveredText::notRecovered(const QStringList& sources)
{
    return sources.first().toStdString() + ": not recovered: no value is certain in " +
           sources.join(QStringLiteral(", ")).toStdString() + "\n";
}

} // namespace orvik
