// SPDX-License-Identifier: GPL-3.0-or-later
#include "recoveredtext.h"

#include "recordwriter.h"

#include <algorithm>
#include <charconv>

namespace orvik {

namespace {

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

namespace {

RecordLayout layoutOf(bool withFile)
{
    RecordLayout layout = tlmRecordLayout(withFile);
    layout.before.insert(layout.before.end(), {{"copies"}, {"lines"}});
    if (withFile)
        layout.before.push_back({"files"});
    layout.after = {{"left_out"}};
    return layout;
}

} // namespace

RecoveredText::RecoveredText(TlmFormat format, std::string decimalPoint, const QStringList& inputs,
                             bool withFile)
    : m_form(format, std::move(decimalPoint), layoutOf(withFile))
    , m_inputs(inputs)
    , m_withFile(withFile)
{}

RecoveredText::~RecoveredText() = default;

void RecoveredText::append(TextBlock& out, const RecoveredRecord& record, std::uint64_t number)
{
    const CopySource& first = record.copies.front();
    RecordText text(m_form, out);
    text.number(number).number(first.line);
    if (m_withFile)
        text.text(inputName(first.input).toStdString());
    text.number(record.copies.size());
    // Every line of every copy once, in the order of the inputs.
    m_lines.clear();
    if (!m_form.isCsv()) {
        for (const CopySource& s : record.copies) {
            for (std::uint64_t line = s.line; line <= s.last(); ++line)
                m_lines.emplace_back(s.input, line);
        }
        std::sort(m_lines.begin(), m_lines.end());
        m_lines.erase(std::unique(m_lines.begin(), m_lines.end()), m_lines.end());
    }
    text.numbers(m_lines.size(), [this](std::size_t i) { return m_lines[i].second; });
    if (m_withFile)
        text.texts(m_lines.size(),
                   [this](std::size_t i) { return inputName(m_lines[i].first).toStdString(); });
    // Every value written has its hex digits in the record's line: the same text as the strict
    // decoder's for them.
    bool plain = true;
    text.values(std::string_view(record.line), plain, record.leftOutMask());
    m_leftOut.clear();
    for (int c = 0; c < kChannelCount && !m_form.isCsv(); ++c) {
        if (!record.written(c))
            m_leftOut.push_back(kChannels[std::size_t(c)].caption);
    }
    text.texts(m_leftOut.size(), [this](std::size_t i) { return m_leftOut[i]; });
    text.end();
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
