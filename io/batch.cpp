// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "archiveadds.h"
#include "archiverun.h"
#include "archiveverify.h"
#include "beaconrun.h"
#include "recordwriter.h"
#include "recoverrun.h"
#include "tlmarchive.h"
#include "tlmfiles.h"
#include "tlmreport.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <memory>

#ifndef ORVIK_VERSION
#define ORVIK_VERSION "0"
#endif

namespace orvik {

namespace {

// Help and version go to standard output, which may fail like any output.
int show(const QByteArray& text, const TlmStreams& streams, TlmReport& report)
{
    if (!streams.out.isOpen()) {
        report.say(QStringLiteral("standard output is closed"));
        return 2;
    }
    OutputBuffer out(streams.out);
    out.write(text);
    if (out.finish())
        return 0;
    report.say(QStringLiteral("cannot write to standard output: %1").arg(out.errorString()));
    return 2;
}

template <class WriteError>
int finishOutput(QIODevice* out, OutputBuffer& buffer, std::uint64_t records, const WriteError& writeError)
{
    // An uncommitted QSaveFile throws its output away when it goes, on every early return;
    // without a record, an older file stays as it was.
    auto* saveFile = qobject_cast<QSaveFile*>(out);
    if (saveFile && records == 0)
        return 1;
    if (!buffer.finish())
        return writeError(buffer.errorString());
    if (saveFile && !saveFile->commit())
        return writeError(saveFile->errorString());
    return records > 0 ? 0 : 1;
}

} // namespace

int runTlm(const QList<QByteArray>& arguments, const TlmStreams& streams)
{
    TlmReport report(streams.err, streams.errIsTerminal, streams.progressDelayMs);
    TlmOptions options;
    QString error;
    if (!parseTlmArguments(arguments, options, error)) {
        report.say(error + QStringLiteral(" (try 'orvik-tlm --help')"));
        return 2;
    }
    if (options.help)
        return show(tlmHelpText().toUtf8(), streams, report);
    if (options.version)
        return show("orvik-tlm " ORVIK_VERSION "\n", streams, report);
    if (options.verify)
        return verifyArchive(shownName(options.archivePath), report);
    if (options.listAdds)
        return listArchiveAdds(shownName(options.archivePath), streams.out, report);
    if (options.undoAdd > 0)
        return undoArchiveAdd(shownName(options.archivePath), options.undoAdd, report);
    if (options.decimalPoint.empty())
        options.decimalPoint = QLocale::system().decimalPoint().toStdString();

    // Every input is checked before any output is made, so a wrong name leaves nothing
    // behind; each is opened only when it is read, as a named pipe gives its data only once.
    const QByteArray stdinMark("-");
    const bool fromArchive = !options.fromArchive.isEmpty();
    QList<QByteArray> inputs = options.inputs.isEmpty() ? QList<QByteArray>{stdinMark} : options.inputs;
    if (fromArchive)
        inputs.clear();
    std::uint64_t totalBytes = 0;
    QList<QByteArray> inputIds;
    if (fromArchive)
        inputIds.append(inspectOutput(options.fromArchive).identity);
    if (inputs.contains(stdinMark)) {
        if (!streams.in.isOpen()) {
            report.say(QStringLiteral("standard input is closed"));
            return 2;
        }
        inputIds.append(inspectStream(streams.in).identity);
        totalBytes += streams.in.isSequential() ? 0 : std::uint64_t(streams.in.size());
    }
    for (const QByteArray& name : inputs) {
        FileFacts facts;
        QString reason;
        if (name == stdinMark)
            continue;
        if (!inspectInput(name, facts, reason)) {
            report.say(QStringLiteral("cannot open '%1': %2").arg(shownName(name), reason));
            return 2;
        }
        inputIds.append(facts.identity);
        totalBytes += facts.size;
    }
    if (!options.archivePath.isEmpty())
        return addToArchive(options, inputs, inputIds, totalBytes, streams, report);

    std::unique_ptr<QFileDevice> outFile;
    QIODevice* out = &streams.out;
    const QString outName = options.outputPath.isEmpty()
                                ? QStringLiteral("to standard output")
                                : QStringLiteral("'%1'").arg(shownName(options.outputPath));
    if (!options.outputPath.isEmpty()) {
        const QByteArray outId = inspectOutput(options.outputPath).identity;
        if (!outId.isEmpty() && inputIds.contains(outId)) {
            report.say(QStringLiteral("'%1' is both input and output").arg(shownName(options.outputPath)));
            return 2;
        }
        QString reason;
        outFile = openOutput(options.outputPath, streams, reason);
        if (!outFile) {
            report.say(QStringLiteral("cannot open '%1': %2").arg(shownName(options.outputPath), reason));
            return 2;
        }
        out = outFile.get();
    } else if (!streams.out.isOpen()) {
        report.say(QStringLiteral("standard output is closed"));
        return 2;
    }
    OutputBuffer buffer(*out);
    const auto writeError = [&](const QString& reason) {
        report.say(QStringLiteral("cannot write %1: %2").arg(outName, reason));
        return 2;
    };
    if (fromArchive) {
        Archive archive;
        std::uint64_t records = 0;
        QString error;
        if (!archive.open(shownName(options.fromArchive), Archive::Access::ReadOnly, &error)) {
            report.say(error);
            return 2;
        }
        if (!writeArchiveRecords(archive, options, buffer, &records, &error)) {
            if (error.isEmpty())
                return writeError(buffer.errorString());
            report.say(error);
            return 2;
        }
        return finishOutput(out, buffer, records, writeError);
    }

    RecordWriter writer(buffer, options.format, options.decimalPoint, options.inputs.size() > 1);
    if (!writer.begin())
        return writeError(buffer.errorString());

    report.setTotalBytes(totalBytes);
    BeaconRun run(options, &writer, nullptr, report);
    run.expectBytes(totalBytes);
    std::unique_ptr<RecoverRun> recover;
    if (options.recover) {
        recover = std::make_unique<RecoverRun>(options, buffer, report, options.inputs.size() > 1);
        run.recoverInto(recover.get());
    }
    const auto readOne = [&](QIODevice& in, const QString& name) {
        const StreamResult result = run.read(in, name);
        if (result == StreamResult::ReadFailed) {
            report.say(QStringLiteral("cannot read '%1': %2").arg(name, in.errorString()));
            return false;
        }
        if (result == StreamResult::WriteFailed) {
            writeError(buffer.errorString());
            return false;
        }
        return true;
    };
    for (const QByteArray& name : inputs) {
        if (name == stdinMark) {
            if (!readOne(streams.in, stdinName()))
                return 2;
            continue;
        }
        QFile file;
        QString reason;
        if (!openInput(file, name, reason)) {
            report.say(QStringLiteral("cannot open '%1': %2").arg(shownName(name), reason));
            return 2;
        }
        if (!readOne(file, shownName(name)))
            return 2;
    }
    if (recover && !recover->finish())
        return writeError(buffer.errorString());
    report.flush();
    if (!writer.flush())
        return writeError(buffer.errorString());
    return finishOutput(out, buffer, run.records(), writeError);
}

int runTlm(const QStringList& arguments, const TlmStreams& streams)
{
    QList<QByteArray> bytes;
    for (const QString& argument : arguments)
        bytes.append(QFile::encodeName(argument));
    return runTlm(bytes, streams);
}

} // namespace orvik
