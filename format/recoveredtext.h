// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recover.h"
#include "recordform.h"
#include "tlmformat.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvik {

// How orvik-tlm --recover writes a record and tells what it did: CSV with an empty cell for a
// value left out, JSON Lines with null and "copies", "lines" and "left_out", and the lines of
// --check. Inputs are named by their number in CopySource::input.
class RecoveredText {
public:
    // withFile: several inputs were given, so that JSON names the file of each line.
    RecoveredText(TlmFormat format, std::string decimalPoint, const QStringList& inputs, bool withFile);
    ~RecoveredText();
    RecoveredText(const RecoveredText&) = delete;
    RecoveredText& operator=(const RecoveredText&) = delete;

    // Appends record `number`, a line of CSV or JSON Lines.
    void append(TextBlock& out, const RecoveredRecord& record, std::uint64_t number);

    // "<file>:<line>", or "<file>:<line>-<last>" for a copy wrapped over lines.
    QString sourceName(const CopySource& source) const;
    // Whether --check tells anything of the record: not when one copy on one line gave it whole.
    static bool hasNews(const RecoveredRecord& record);
    // What --check tells of record `number`, whose copies are named `sources`.
    std::string told(const RecoveredRecord& record, std::uint64_t number, const QStringList& sources) const;
    // What --check tells of copies that gave no certain value.
    static std::string notRecovered(const QStringList& sources);

private:
    QString inputName(std::uint32_t input) const { return m_inputs.value(qsizetype(input)); }

    RecordForm m_form;
    const QStringList& m_inputs;
    bool m_withFile;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> m_lines; // input and line of each line taken
    std::vector<std::string_view> m_leftOut;                      // captions of the values left out
};

} // namespace orvik
