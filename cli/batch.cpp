// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "archiveadds.h"
#include "archiverun.h"
#include "archiveverify.h"
#include "beaconrun.h"
#include "format/recordwriter.h"
#include "fromarchive.h"
#include "linesinks.h"
#include "platform/filemessage.h"
#include "platform/version.h"
#include "runs/recoverrun.h"
#include "runs/tlmreport.h"
#include "tlmarguments.h"
#include "tlmfiles.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <functional>
#include <memory>

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
    report.say(standardOutputError(out.errorString()));
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

// "17 records from 20 lines; 3 lines not decoded; --check tells why"
QString notDecodedText(std::uint64_t records, std::uint64_t lines, std::uint64_t notDecoded, bool checked)
{
    return countedText(qint64(records), "record", "records") + QStringLiteral(" from ") +
           countedText(qint64(lines), "line", "lines") + QStringLiteral("; ") +
           countedText(qint64(notDecoded), "line", "lines") +
           (checked ? QStringLiteral(" not decoded, told above")
                    : QStringLiteral(" not decoded; --check tells why"));
}

// The inputs of a run, each checked before any output is made.
struct Inputs {
    QList<QByteArray> names; // "-" for standard input
    QList<QByteArray> ids;   // of each input and of an archive read, to tell one used as output
    std::uint64_t totalBytes = 0;
};

const QByteArray kStdinMark("-");

// Every input is checked before any output is made, so a wrong name leaves nothing behind;
// each is opened only when it is read, as a named pipe gives its data only once.
bool inspectInputs(const TlmOptions& options, const TlmStreams& streams, Inputs& in, TlmReport& report)
{
    const bool fromArchive = !options.fromArchive.isEmpty();
    in.names = options.inputs.isEmpty() ? QList<QByteArray>{kStdinMark} : options.inputs;
    if (fromArchive) {
        in.names.clear();
        in.ids.append(inspectOutput(options.fromArchive).identity);
    }
    if (in.names.contains(kStdinMark)) {
        if (!streams.in.isOpen()) {
            report.say(QStringLiteral("standard input is closed"));
            return false;
        }
        in.ids.append(inspectStream(streams.in).identity);
        in.totalBytes += streams.in.isSequential() ? 0 : std::uint64_t(streams.in.size());
    }
    for (const QByteArray& name : in.names) {
        FileFacts facts;
        QString error;
        if (name == kStdinMark)
            continue;
        if (!inspectInput(name, facts, &error)) {
            report.say(error);
            return false;
        }
        in.ids.append(facts.identity);
        in.totalBytes += facts.size;
    }
    return true;
}

// The file of -o, replaced when the run succeeds, or standard output; null once it has told
// why neither can be written.
QIODevice* openRunOutput(const TlmOptions& options, const TlmStreams& streams, const Inputs& in,
                         std::unique_ptr<QFileDevice>& outFile, TlmReport& report)
{
    if (options.outputPath.isEmpty()) {
        if (streams.out.isOpen())
            return &streams.out;
        report.say(QStringLiteral("standard output is closed"));
        return nullptr;
    }
    const QByteArray outId = inspectOutput(options.outputPath).identity;
    if (!outId.isEmpty() && in.ids.contains(outId)) {
        report.say(aboutFile(shownName(options.outputPath), QStringLiteral("is both input and output")));
        return nullptr;
    }
    QString error;
    outFile = openOutput(options.outputPath, streams, &error);
    if (!outFile) {
        report.say(error);
        return nullptr;
    }
    return outFile.get();
}

// Where a run writes, and how it tells that writing failed.
struct RunOutput {
    QIODevice* device;
    OutputBuffer& buffer;
    std::function<int(const QString&)> writeError;
};

int writeFromArchive(const TlmOptions& options, RunOutput& out, TlmReport& report)
{
    Archive archive;
    std::uint64_t records = 0;
    QString error;
    if (!archive.open(shownName(options.fromArchive), Archive::Access::ReadOnly, &error)) {
        report.say(error);
        return 2;
    }
    if (!writeArchiveRecords(archive, options, out.buffer, &records, &error)) {
        if (error.isEmpty())
            return out.writeError(out.buffer.errorString());
        report.say(error);
        return 2;
    }
    return finishOutput(out.device, out.buffer, records, out.writeError);
}

int decodeInputs(const TlmOptions& options, const Inputs& in, const TlmStreams& streams, RunOutput& out,
                 TlmReport& report)
{
    RecordWriter writer(out.buffer, options.format, options.decimalPoint, options.inputs.size() > 1);
    if (!writer.begin())
        return out.writeError(out.buffer.errorString());
    report.setTotalBytes(in.totalBytes);
    WrittenLines written(writer);
    std::unique_ptr<RecoverRun> recover;
    std::unique_ptr<RecoveredLines> recovered;
    if (options.recover) {
        recover = std::make_unique<RecoverRun>(options, out.buffer, report, options.inputs.size() > 1);
        recovered = std::make_unique<RecoveredLines>(*recover);
    }
    BeaconRun run(options, recovered ? static_cast<LineSink&>(*recovered) : written, report);
    run.expectBytes(in.totalBytes);
    const auto readOne = [&](QIODevice& device, const QString& name) {
        const StreamResult result = run.read(device, name);
        if (result == StreamResult::ReadFailed) {
            report.say(fileError(name, FileStep::Read, device.errorString()));
            return false;
        }
        if (result == StreamResult::WriteFailed) {
            out.writeError(out.buffer.errorString());
            return false;
        }
        return true;
    };
    for (const QByteArray& name : in.names) {
        if (name == kStdinMark) {
            if (!readOne(streams.in, stdinName()))
                return 2;
            continue;
        }
        QFile file;
        QString error;
        if (!openInput(file, name, &error)) {
            report.say(error);
            return 2;
        }
        if (!readOne(file, shownName(name)))
            return 2;
    }
    if (recover && !recover->finish())
        return out.writeError(out.buffer.errorString());
    report.flush();
    if (!writer.flush())
        return out.writeError(out.buffer.errorString());
    const int status = finishOutput(out.device, out.buffer, run.records(), out.writeError);
    // A ham who runs the tool on a pass hears of the beacons it could not read.
    if (status != 2 && !options.quiet && !options.recover && run.notDecoded() > 0)
        report.say(notDecodedText(run.records(), run.lines(), run.notDecoded(), options.check));
    return status;
}

} // namespace

int runTlm(const QList<QByteArray>& arguments, const TlmStreams& streams)
{
    TlmReport report(streams.err, streams.errIsTerminal ? TlmReport::Err::Terminal : TlmReport::Err::Piped,
                     streams.progressDelayMs);
    TlmOptions options;
    QString error;
    if (!parseTlmArguments(arguments, options, &error)) {
        report.say(error + QStringLiteral(" (try 'orvik-tlm --help')"));
        return 2;
    }
    if (options.help)
        return show(tlmHelpText().toUtf8(), streams, report);
    if (options.version)
        return show(QByteArray("orvik-tlm ") + kVersion + '\n', streams, report);
    if (options.verify)
        return verifyArchive(shownName(options.archivePath), report);
    if (options.listAdds)
        return listArchiveAdds(shownName(options.archivePath), streams.out, report);
    if (options.undoAdd > 0)
        return undoArchiveAdd(shownName(options.archivePath), options.undoAdd, report);
    if (options.decimalPoint.empty())
        options.decimalPoint = QLocale::system().decimalPoint().toStdString();

    Inputs in;
    if (!inspectInputs(options, streams, in, report))
        return 2;
    if (!options.archivePath.isEmpty())
        return addToArchive(options, in.names, in.ids, in.totalBytes, streams, report);
    std::unique_ptr<QFileDevice> outFile;
    QIODevice* device = openRunOutput(options, streams, in, outFile, report);
    if (!device)
        return 2;
    OutputBuffer buffer(*device);
    RunOutput out{device, buffer, [&](const QString& reason) {
                      report.say(options.outputPath.isEmpty()
                                     ? standardOutputError(reason)
                                     : fileError(shownName(options.outputPath), FileStep::Written, reason));
                      return 2;
                  }};
    return options.fromArchive.isEmpty() ? decodeInputs(options, in, streams, out, report)
                                         : writeFromArchive(options, out, report);
}

int runTlm(const QStringList& arguments, const TlmStreams& streams)
{
    QList<QByteArray> bytes;
    for (const QString& argument : arguments)
        bytes.append(QFile::encodeName(argument));
    return runTlm(bytes, streams);
}

} // namespace orvik
