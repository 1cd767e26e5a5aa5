// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordform.h"

#include "decoder/channels.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace orvik {

std::vector<int> RecordLayout::everyChannel()
{
    std::vector<int> channels(kChannelCount);
    for (int c = 0; c < kChannelCount; ++c)
        channels[std::size_t(c)] = c;
    return channels;
}

RecordForm::RecordForm(TlmFormat format, std::string decimalPoint, RecordLayout layout)
    : m_format(format)
    , m_decimalPoint(decimalPoint)
    , m_layout(std::move(layout))
    , m_text(format == TlmFormat::Csv ? NumberStyle::Csv : NumberStyle::Json, std::move(decimalPoint))
{
    std::size_t doubles = 0; // room for the layout's values as doubles
    for (const int c : m_layout.channels) {
        std::string key = ",";
        appendJsonString(key, kChannels[std::size_t(c)].caption);
        m_keys.push_back(key + ':');
        doubles += m_keys.back().size() + std::max(kJsonNumberRoom, kNumberRoom + m_decimalPoint.size() + 1);
    }
    // JSON Lines opens the object in the first column's text.
    assert(isCsv() || !m_layout.before.empty());
    const auto prefixes = [this](const std::vector<RecordColumn>& columns, bool afterValues) {
        std::vector<ColumnText> texts;
        for (const RecordColumn& column : columns) {
            std::string prefix;
            if (!isCsv()) {
                prefix.push_back(afterValues || !texts.empty() ? ',' : '{');
                appendJsonString(prefix, column.key);
                prefix += ':';
            }
            ColumnText text{{},
                            std::uint8_t(std::min(prefix.size(), kPrefixRoom)),
                            !isCsv() || !column.csvCaption.empty()};
            assert(prefix.size() <= kPrefixRoom);
            std::copy_n(prefix.begin(), text.size, text.prefix.begin());
            texts.push_back(text);
        }
        return texts;
    };
    m_before = prefixes(m_layout.before, false);
    m_after = prefixes(m_layout.after, true);
    m_room = std::max(m_text.room(), doubles);
}

RecordForm::~RecordForm() = default;

std::string RecordForm::header() const
{
    std::vector<std::string> captions;
    for (const int c : m_layout.channels)
        captions.emplace_back(kChannels[std::size_t(c)].caption);
    return header(captions);
}

std::string RecordForm::header(std::span<const std::string> channelCaptions) const
{
    std::string text;
    if (!isCsv())
        return text;
    const auto add = [&text](std::string_view caption) { text.append(caption).append(";"); };
    for (const RecordColumn& column : m_layout.before) {
        if (!column.csvCaption.empty())
            add(column.csvCaption);
    }
    for (const std::string& caption : channelCaptions)
        add(caption);
    for (const RecordColumn& column : m_layout.after) {
        if (!column.csvCaption.empty())
            add(column.csvCaption);
    }
    text += "\r\n";
    return text;
}

RecordText& RecordText::text(std::string_view text)
{
    if (next()) {
        if (m_form.isCsv())
            m_out += text;
        else
            appendJsonString(m_out, text);
        close();
    }
    return *this;
}

RecordText& RecordText::values(std::span<const double> values)
{
    assert(values.size() == m_form.m_layout.channels.size());
    assert(m_form.isCsv() || m_column > 0);
    char* p = m_out.room(m_form.m_room);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (m_form.isCsv()) {
            if (!std::isnan(values[i]))
                p = appendCsvNumber(p, values[i], m_form.m_decimalPoint);
            *p++ = ';';
        } else {
            const std::string& key = m_form.m_keys[i];
            p = std::copy(key.begin(), key.end(), p);
            p = appendJsonNumber(p, values[i]);
        }
    }
    m_out.commit(p);
    m_afterValues = true;
    m_column = 0;
    return *this;
}

} // namespace orvik
