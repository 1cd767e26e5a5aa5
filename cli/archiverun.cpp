// SPDX-License-Identifier: GPL-3.0-or-later
#include "archiverun.h"

#include "batch.h"
#include "beaconrun.h"
#include "linesinks.h"
#include "platform/filemessage.h"
#include "runs/addtexts.h"
#include "runs/recoveredadd.h"
#include "runs/recoverrun.h"
#include "runs/tlmarchive.h"
#include "runs/tlmreport.h"
#include "tlmfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <memory>

namespace orvik {

namespace {

// An add that found no beacon line, of an archive there or none.
QString nothingToAdd(const Archive& archive, const QString& path)
{
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return archive.isOpen() ? QStringLiteral("no beacon line to add to '%1'; it is left as it was").arg(shown)
                            : QStringLiteral("no beacon line to add; '%1' was not made").arg(shown);
}

// A file there is looked at before any input is read; a missing or empty one is made for the
// first record. The add is named after its inputs.
bool openForAdding(const TlmOptions& options, const QList<QByteArray>& inputs,
                   const QList<QByteArray>& inputIds, Archive& archive, TlmReport& report)
{
    const QByteArray archiveId = inspectOutput(options.archivePath).identity;
    if (!archiveId.isEmpty() && inputIds.contains(archiveId)) {
        report.say(aboutFile(shownName(options.archivePath), QStringLiteral("is both input and archive")));
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

} // namespace

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
    ArchivedLines archived(sink);
    // With --recover the records come later than their lines, so each takes the received time
    // and name of the input of its first copy.
    std::unique_ptr<RecoverRun> recover;
    std::unique_ptr<RecoveredLines> recovered;
    QHash<QString, qint64> receivedOf;
    if (options.recover) {
        recover = std::make_unique<RecoverRun>(options, streams.out, report, inputs.size() > 1);
        recover->keepHeard();
        recover->sendTo([&](const RecoveredRecord& record, const QStringList&) {
            return addRecoveredRecord(*recover, record, receivedOf, sink);
        });
        recovered = std::make_unique<RecoveredLines>(*recover, [&sink] { return sink.finish(); });
    }
    BeaconRun run(options, recovered ? static_cast<LineSink&>(*recovered) : archived, report);
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
            QString error;
            if (!openInput(file, name, &error))
                return fail(error);
            in = &file;
            shown = shownName(name);
            if (!options.receivedMs)
                received = file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
        }
        sink.setInput(shown, wholeSecond(received));
        receivedOf.insert(shown, wholeSecond(received));
        const StreamResult result = run.read(*in, shown);
        if (result == StreamResult::ReadFailed)
            return fail(fileError(shown, FileStep::Read, in->errorString()));
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
