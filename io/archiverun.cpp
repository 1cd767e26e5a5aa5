// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiverun.h"

#include "batch.h"
#include "beaconrun.h"
#include "recoverrun.h"
#include "tlmarchive.h"
#include "tlmfiles.h"
#include "tlmreport.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <span>
#include <vector>

namespace orvik {

namespace {

// An add that found no beacon line, of an archive there or none.
QString nothingToAdd(const Archive& archive, const QString& path)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return archive.isOpen() ? QStringLiteral("no beacon line to add to '%1'; it is left as it was").arg(shown)
                            : QStringLiteral("no beacon line to add; '%1' was not made").arg(shown);
}

// Received times are kept to the second: a copied beacon is not timed more finely.
qint64 wholeSecond(qint64 ms) { return ms - ((ms % 1000) + 1000) % 1000; }

// A file there is looked at before any input is read; a missing or empty one is made for the
// first record. The add is named after its inputs.
bool openForAdding(const TlmOptions& options, const QList<QByteArray>& inputs,
                   const QList<QByteArray>& inputIds, Archive& archive, TlmReport& report)
{
    const QByteArray archiveId = inspectOutput(options.archivePath).identity;
    if (!archiveId.isEmpty() && inputIds.contains(archiveId)) {
        report.say(QStringLiteral("'%1' is both input and archive").arg(shownName(options.archivePath)));
        return false;
    }
    QString error;
    const QString archivePath = shownName(options.archivePath);
    if (QFileInfo(archivePath).size() > 0 && !archive.open(archivePath, Archive::Access::ReadWrite, &error)) {
        report.say(error);
        return false;
    }
    QStringList names;
    for (const QByteArray& name : inputs)
        names << (name == "-" ? stdinName() : shownName(name));
    archive.startAdd(names.join(QStringLiteral(", ")));
    return true;
}

// A copy made of whole lines reads in the archive as it read here: taken alone, a stretch of
// a line with other beacons on it could read as a beacon line, where fields stand.
bool readsAlike(const HeardCopy& copy) { return !copy.text.empty() && copy.source.wholeLines(); }

// Each copy of a record is kept as it was received, so that copies added later vote with
// them. The archive votes a record from its own copies alone, so a record is kept as the
// recovery read it instead where its copies would read otherwise there: a stretch of a line,
// or a lone copy that could be a miscopy of a neighbouring beacon, whose values the recovery
// left out for that doubt. Its copies are then kept beside it as heard, without a vote, so
// that the same lines added again are there already.
bool addRecovered(const RecoverRun& run, const RecoveredRecord& record,
                  const QHash<QString, qint64>& receivedOf, ArchiveSink& sink)
{
    const std::span<const HeardCopy> heard = run.heardCopies();
    const bool doubted =
        std::find(record.leftOut.begin(), record.leftOut.end(), LeftOut::Lookalike) != record.leftOut.end();
    const bool asHeard = !doubted && heard.size() == record.copies.size() &&
                         std::all_of(heard.begin(), heard.end(), readsAlike);
    const auto addHeard = [&](const HeardCopy& copy) {
        const QString name = run.inputName(copy.source.input);
        sink.setInput(name, receivedOf.value(name));
        return sink.addHeard(copy, record.values);
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

} // namespace

bool addRecoveredLines(Archive& archive, const QString& path, std::span<const std::u16string_view> lines,
                       const QString& source, qint64 firstReceivedMs, RecoveredAdd* result, QString* error)
{
    const TlmOptions options;
    QBuffer discarded;
    discarded.open(QIODevice::WriteOnly);
    TlmReport report(discarded, false, -1);
    ArchiveSink sink(archive, path);
    sink.nameByInputAlone();
    sink.setInput(source, wholeSecond(firstReceivedMs));
    const QHash<QString, qint64> receivedOf{
        {source, wholeSecond(firstReceivedMs)}
    };
    RecoverRun run(options, discarded, report, false);
    run.keepHeard();
    run.sendTo([&](const RecoveredRecord& record, const QStringList&) {
        return addRecovered(run, record, receivedOf, sink);
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

int addToArchive(const TlmOptions& options, const QList<QByteArray>& inputs,
                 const QList<QByteArray>& inputIds, std::uint64_t totalBytes, const TlmStreams& streams,
                 TlmReport& report)
{
    Archive archive;
    if (!openForAdding(options, inputs, inputIds, archive, report))
        return 2;
    const QString archivePath = shownName(options.archivePath);
    ArchiveSink sink(archive, archivePath);
    report.setTotalBytes(totalBytes);
    BeaconRun run(options, nullptr, &sink, report);
    // With --recover the records come later than their lines, so each takes the received time
    // and name of the input of its first copy.
    std::unique_ptr<RecoverRun> recover;
    QHash<QString, qint64> receivedOf;
    if (options.recover) {
        recover = std::make_unique<RecoverRun>(options, streams.out, report, inputs.size() > 1);
        recover->keepHeard();
        recover->sendTo([&](const RecoveredRecord& record, const QStringList&) {
            return addRecovered(*recover, record, receivedOf, sink);
        });
        run.recoverInto(recover.get());
    }
    const auto tellCounts = [&](const char* after) {
        report.say(addCountsText(sink.counts()) + QLatin1StringView(after));
    };
    const auto fail = [&](const QString& message) {
        sink.abandon();
        report.say(message);
        if (sink.counts().added + sink.counts().alreadyThere > 0)
            tellCounts(" before that");
        return 2;
    };
    for (const QByteArray& name : inputs) {
        QFile file;
        QIODevice* in = &streams.in;
        QString shown = stdinName();
        qint64 received = options.receivedMs.value_or(QDateTime::currentMSecsSinceEpoch());
        if (name != "-") {
            QString reason;
            if (!openInput(file, name, reason))
                return fail(QStringLiteral("cannot open '%1': %2").arg(shownName(name), reason));
            in = &file;
            shown = shownName(name);
            if (!options.receivedMs)
                received = file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
        }
        sink.setInput(shown, wholeSecond(received));
        receivedOf.insert(shown, wholeSecond(received));
        const StreamResult result = run.read(*in, shown);
        if (result == StreamResult::ReadFailed)
            return fail(QStringLiteral("cannot read '%1': %2").arg(shown, in->errorString()));
        if (result == StreamResult::WriteFailed)
            return fail(sink.error());
    }
    if (recover && !recover->finish())
        return fail(sink.error());
    if (!sink.finish())
        return fail(sink.error());
    report.flush();
    if (run.records() == 0) {
        report.say(nothingToAdd(archive, archivePath));
        return 1;
    }
    for (const ArchiveSink::Resets& r : sink.resets())
        report.say(QStringLiteral("'%1': ").arg(r.input) + resetsText(r.count, r.firstReceivedMs));
    tellCounts("");
    return 0;
}

} // namespace orvik
