// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "linesplitter.h"
#include "runs/tlmoptions.h"
#include "seenlines.h"

#include <QIODevice>
#include <QString>
#include <QStringDecoder>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {

class LineSink;
class TlmReport;

enum class StreamResult { Done, ReadFailed, WriteFailed };

// Turns the lines of the inputs of orvik-tlm into records, one input after the other: UTF-8,
// or UTF-16 told by its byte-order mark, with --check's diagnostics and --dedupe's table. The
// one reader of both runs: with --recover it explains every line as the strict run does, and
// hands each line that is not cut to the recovery.
class BeaconRun {
public:
    // The lines go to `sink`: records written, the archive, or the recovery.
    BeaconRun(const TlmOptions& options, LineSink& sink, TlmReport& report);

    std::uint64_t records() const;
    // Lines read so far, and those of them that look like beacons but were not decoded.
    std::uint64_t lines() const { return m_linesSeen; }
    std::uint64_t notDecoded() const { return m_notDecoded; }

    // Sizes the table of lines seen for an input of this many bytes.
    void expectBytes(std::uint64_t bytes);

    // Reads the input to its end; `name` stands for it in diagnostics and records.
    StreamResult read(QIODevice& in, const QString& name);

private:
    template <class CharT> bool handleLine(const BasicSplitLine<CharT>& line);
    template <class CharT> bool handleText(std::basic_string_view<CharT> text);
    // With --dedupe, a line that repeats an earlier one, letter case aside, gives no record and
    // no vote.
    bool repeats(std::uint64_t hash) { return m_options.dedupe && !m_seen.insert(hash); }
    std::u16string_view toUnits(std::string_view bytes, bool bigEndian);
    static std::u16string_view toUtf16(std::u16string_view units) { return units; }
    std::u16string_view toUtf16(std::string_view bytes);
    void tell(const char* verdict, const std::vector<std::string>& reasons);

    const TlmOptions& m_options;
    LineSink& m_sink;
    bool m_everyLine; // the sink weighs every line, not only beacon lines, and writes later
    TlmReport& m_report;
    std::vector<char> m_buffer;
    // A byte-order mark inside a line is a character of it; only the file's first is dropped.
    QStringDecoder m_utf8{QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    std::u16string m_wide;
    std::u16string m_units;
    int m_oddByte = -1; // of UTF-16 input, the first byte of a unit whose second is to come
    QString m_decoded;
    QString m_name;
    std::string m_nameText; // in UTF-8, for diagnostics
    SeenLines m_seen;
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_linesSeen = 0;
    std::uint64_t m_notDecoded = 0;
    std::uint64_t m_bytes = 0;
};

} // namespace orvik
