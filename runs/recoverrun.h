// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recover.h"
#include "format/recoveredtext.h"
#include "heardlines.h"
#include "recordorder.h"
#include "tlmoptions.h"
#include "tlmreport.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace orvik {

// orvik-tlm --recover: the lines of the inputs gathered into records, each value certain or
// left out, written as CSV (an empty cell for a value left out) or JSON Lines (null, with
// "copies", "lines" and "left_out"). With --check, standard error tells for each record that
// merged copies, changed characters or left a value out, which lines it took, what the vote
// changed and why each value is missing.
class RecoverRun {
public:
    // withFile: several inputs, so that a line is named by its file too.
    RecoverRun(const TlmOptions& options, QIODevice& out, TlmReport& report, bool withFile);
    ~RecoverRun();
    RecoverRun(const RecoverRun&) = delete;
    RecoverRun& operator=(const RecoverRun&) = delete;

    // Instead of being written, each record goes here: the record, and the names of the
    // copies it took, "<file>:<line>" or "<file>:<line>-<last>". False stops the run.
    using RecordSink = std::function<bool(const RecoveredRecord&, const QStringList& sources)>;
    void sendTo(RecordSink sink) { m_sink = std::move(sink); }

    // The lines are kept as they came while a record may take them, so that the sink can
    // have each record's copies as received (heardCopies()).
    void keepHeard() { m_keepHeard = true; }
    // During a RecordSink call, the copies of its record as received; empty unless keepHeard().
    std::span<const HeardCopy> heardCopies() const { return m_heardNow; }

    // The lines that follow come from the input `name`, named so in diagnostics and records.
    void beginInput(const QString& name);
    // The bytes the next line came as, when they are no ASCII.
    void keepBytes(std::string_view bytes) { m_bytes = bytes; }
    // One line of that input, without its line end: ASCII bytes that stand for UTF-16 units,
    // or the units. False when handing on records failed.
    bool add(std::string_view asciiLine, std::uint64_t lineNumber);
    bool add(std::u16string_view line, std::uint64_t lineNumber);
    // Writes the records still open.
    bool finish();

    std::uint64_t records() const { return m_records; }
    // The name of input number `input` of a CopySource.
    QString inputName(std::uint32_t input) const { return m_inputs.value(qsizetype(input)); }

private:
    template <class CharT> bool addText(std::basic_string_view<CharT> text, std::uint64_t lineNumber);
    bool takeReady(Recoverer::Ready ready);
    bool handOnWaiting(Recoverer::Ready ready);
    bool handOn(const RecoveredRecord& record);
    void keepHeardOf(const RecoveredRecord& record);

    const TlmOptions& m_options;
    TlmReport& m_report;
    RecordSink m_sink;
    Recoverer m_recoverer;
    QStringList m_inputs;
    RecoveredText m_text;
    TextBlock m_block; // the text kept before it is handed on
    RecordOrder m_order;
    RecoveredRecord m_record;
    RecoveredRecord m_waiting; // one that waited for its place in the order
    std::uint64_t m_records = 0;
    bool m_keepHeard = false;
    HeardLines m_heard;
    std::string_view m_bytes;
    std::uint64_t m_keptSince = 0; // lines kept since the lines no record holds were forgotten
    // The copies of records taken, as received, by the first copy's input, line and column.
    std::map<std::tuple<std::uint32_t, std::uint64_t, std::uint32_t>, std::vector<HeardCopy>> m_heardOf;
    std::vector<HeardCopy> m_heardNow;
};

} // namespace orvik
