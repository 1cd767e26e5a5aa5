// SPDX-License-Identifier: GPL-3.0-or-later
#include "recoveredadd.h"

#include "recoverrun.h"
#include "tlmarchive.h"
#include "tlmoptions.h"
#include "tlmreport.h"

#include <QBuffer>
#include <QStringList>
#include <algorithm>
#include <utility>
#include <vector>

namespace orvik {

namespace {

// A copy made of whole lines reads in the archive as it read here: taken alone, a stretch of
// a line with other beacons on it could read as a beacon line, where fields stand.
bool readsAlike(const HeardCopy& copy) { return !copy.text.empty() && copy.source.wholeLines(); }

} // namespace

qint64 wholeSecond(qint64 ms) { return ms - ((ms % 1000) + 1000) % 1000; }

// Each copy of a record is kept as it was received, so that copies added later vote with
// them. The archive votes a record from its own copies alone, so a record is kept as the
// recovery read it instead where its copies would read otherwise there: a stretch of a line,
// or a lone copy that could be a miscopy of a neighbouring beacon, whose values the recovery
// left out for that doubt. Its copies are then kept beside it as heard, without a vote, so
// that the same lines added again are there already.
bool addRecoveredRecord(const RecoverRun& run, const RecoveredRecord& record,
                        const QHash<QString, qint64>& receivedOf, ArchiveSink& sink)
{
    const std::span<const HeardCopy> heard = run.heardCopies();
    const bool doubted =
        std::find(record.leftOut.begin(), record.leftOut.end(), LeftOut::Lookalike) != record.leftOut.end();
    const bool asHeard = !doubted && heard.size() == record.copies.size() &&
                         std::all_of(heard.begin(), heard.end(), readsAlike);
    auto follows = ArchiveSink::Follows::AnotherBeacon;
    const auto addHeard = [&](const HeardCopy& copy) {
        const QString name = run.inputName(copy.source.input);
        sink.setInput(name, receivedOf.value(name));
        return sink.addHeard(copy, record.values, std::exchange(follows, ArchiveSink::Follows::ItsBeacon));
    };
    if (asHeard)
        return std::all_of(heard.begin(), heard.end(), addHeard);
    std::vector<const HeardCopy*> kept;
    for (const HeardCopy& copy : heard) {
        if (!copy.text.empty())
            kept.push_back(&copy);
    }
    const QString name = run.inputName(record.copies.front().input);
    sink.setInput(name, receivedOf.value(name));
    return sink.addRecovered(record.line, record.values, record.copies.front(), int(record.copies.size()),
                             int(kept.size())) &&
           std::all_of(kept.begin(), kept.end(), [&](const HeardCopy* copy) { return addHeard(*copy); });
}

bool addRecoveredLines(Archive& archive, const QString& path, std::span<const std::u16string_view> lines,
                       const QString& source, qint64 firstReceivedMs, RecoveredAdd* result, QString* error)
{
    const TlmOptions options;
    QBuffer discarded;
    discarded.open(QIODevice::WriteOnly);
    TlmReport report(discarded, TlmReport::Err::Piped);
    ArchiveSink sink(archive, path);
    sink.nameByInputAlone();
    sink.setInput(source, wholeSecond(firstReceivedMs));
    const QHash<QString, qint64> receivedOf{
        {source, wholeSecond(firstReceivedMs)}
    };
    RecoverRun run(options, discarded, report, false);
    run.keepHeard();
    run.sendTo([&](const RecoveredRecord& record, const QStringList&) {
        return addRecoveredRecord(run, record, receivedOf, sink);
    });
    run.beginInput(source);
    bool ok = true;
    for (std::size_t i = 0; ok && i < lines.size(); ++i)
        ok = run.add(lines[i], i + 1);
    ok = ok && run.finish() && sink.finish();
    if (!ok) {
        sink.abandon();
        *error = sink.error();
    }
    result->counts = sink.counts();
    result->records = run.records();
    result->resets = sink.resets().empty() ? 0 : sink.resets().front().count;
    return ok;
}

} // namespace orvik
