// SPDX-License-Identifier: GPL-3.0-or-later
#include "recoverrun.h"

#include "format/tlmformat.h"

namespace orvik {

namespace {

// The lines no record holds are forgotten this often, in lines kept.
constexpr std::uint64_t kForgetEvery = 4096;

auto firstCopyKey(const RecoveredRecord& record)
{
    const CopySource& s = record.copies.front();
    return std::tuple(s.input, s.line, s.from);
}

} // namespace

RecoverRun::RecoverRun(const TlmOptions& options, QIODevice& out, TlmReport& report, bool withFile)
    : m_options(options)
    , m_report(report)
    , m_text(options.format, options.decimalPoint, m_inputs, withFile)
    , m_block(&out)
{}

RecoverRun::~RecoverRun() = default;

void RecoverRun::beginInput(const QString& name)
{
    m_inputs.append(name);
    m_heard.beginInput();
}

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
    if (m_keepHeard) {
        m_heard.keep(lineNumber, text, m_bytes);
        if (++m_keptSince >= kForgetEvery) {
            m_keptSince = 0;
            const std::optional<CopySource> first = m_recoverer.firstHeld();
            if (first)
                m_heard.forgetBefore(*first);
        }
    }
    m_bytes = {};
    return !m_recoverer.add(text, source) || takeReady(Recoverer::Ready::Passed);
}

bool RecoverRun::finish()
{
    if (!takeReady(Recoverer::Ready::All))
        return false;
    return m_block.flush();
}

bool RecoverRun::takeReady(Recoverer::Ready ready)
{
    // The text written of a record whose every value is certain is its line's.
    const Recoverer::Values values = m_sink ? Recoverer::Values::Numbers : Recoverer::Values::InLine;
    while (m_recoverer.take(m_record, ready, values)) {
        if (m_keepHeard)
            keepHeardOf(m_record);
        if (m_order.take(m_record) ? !handOn(m_record) : !handOnWaiting(Recoverer::Ready::Passed))
            return false;
    }
    return ready != Recoverer::Ready::All || handOnWaiting(Recoverer::Ready::All);
}

bool RecoverRun::handOnWaiting(Recoverer::Ready ready)
{
    while (m_order.next(m_waiting, ready)) {
        if (!handOn(m_waiting))
            return false;
    }
    return true;
}

// A record taken may wait for its place in the order after its lines are forgotten.
void RecoverRun::keepHeardOf(const RecoveredRecord& record)
{
    std::vector<HeardCopy>& copies = m_heardOf[firstCopyKey(record)];
    copies.clear();
    for (const CopySource& s : record.copies)
        copies.push_back(m_heard.copyOf(s));
}

bool RecoverRun::handOn(const RecoveredRecord& record)
{
    if (m_keepHeard) {
        const auto at = m_heardOf.find(firstCopyKey(record));
        m_heardNow.clear();
        if (at != m_heardOf.end()) {
            m_heardNow = std::move(at->second);
            m_heardOf.erase(at);
        }
    }
    const bool tell = m_options.check && RecoveredText::hasNews(record);
    QStringList sources;
    if (m_sink || tell) {
        for (const CopySource& s : record.copies)
            sources << m_text.sourceName(s);
    }
    if (!record.anyValue()) {
        if (tell)
            m_report.tell(RecoveredText::notRecovered(sources));
        return true;
    }
    ++m_records;
    if (tell)
        m_report.tell(m_text.told(record, m_records, sources));
    if (m_sink)
        return m_sink(record, sources);
    m_text.append(m_block, record, m_records);
    return m_block.handOnPiece();
}

} // namespace orvik
