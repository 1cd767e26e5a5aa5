// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "decoder/beacon.h"
#include "decoder/diagnose.h"
#include "linesplitter.h"
#include "recordwriter.h"
#include "recoverrun.h"
#include "seenlines.h"
#include "tlmarchive.h"
#include "tlmfiles.h"
#include "tlmreport.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#ifndef ORVIK_VERSION
#define ORVIK_VERSION "0"
#endif

namespace orvik {

namespace {

constexpr qint64 kChunkBytes = 256 * 1024;
// A UTF-8 line longer than this cannot be 120 UTF-16 code units long.
constexpr std::size_t kMaxBeaconBytes = 3 * kBeaconLength;

QString stdinName() { return QStringLiteral("<stdin>"); }

enum class StreamResult { Done, ReadFailed, WriteFailed };

enum class Encoding { Unknown, Utf8, Utf16Le, Utf16Be };

// A byte-order mark counts only at the start of a file; UTF-8 is taken without one.
Encoding takeByteOrderMark(std::string_view& bytes)
{
    const auto take = [&](std::string_view mark) {
        if (!bytes.starts_with(mark))
            return false;
        bytes.remove_prefix(mark.size());
        return true;
    };
    if (take("\xFF\xFE"))
        return Encoding::Utf16Le;
    if (take("\xFE\xFF"))
        return Encoding::Utf16Be;
    take("\xEF\xBB\xBF");
    return Encoding::Utf8;
}

// A line of ASCII bytes is its own UTF-16 text, one unit a byte.
bool isAscii(std::string_view bytes)
{
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        high |= word;
    }
    for (; i < bytes.size(); ++i)
        high |= static_cast<unsigned char>(bytes[i]);
    return (high & 0x8080808080808080u) == 0;
}

// Turns the lines of the inputs into records, one input after the other.
class BeaconRun {
public:
    // Records go to the writer, or with --archive to the sink.
    BeaconRun(const TlmOptions& options, RecordWriter* writer, ArchiveSink* sink, TlmReport& report)
        : m_options(options)
        , m_writer(writer)
        , m_sink(sink)
        , m_report(report)
        , m_buffer(std::size_t(kChunkBytes))
    {
        m_wide.reserve(kMaxBeaconBytes);
    }

    std::uint64_t records() const { return m_recover ? m_recover->records() : m_records; }
    // With --recover every line goes to the recovery, which makes and hands on the records.
    void recoverInto(RecoverRun* recover) { m_recover = recover; }

    // Sizes the table of lines seen for an input of this many bytes.
    void expectBytes(std::uint64_t bytes)
    {
        if (m_options.dedupe)
            m_seen.reserve(std::size_t(std::min(bytes / kBytesPerLine, kMostLinesReserved)));
    }

    StreamResult read(QIODevice& in, const QString& name)
    {
        m_name = name;
        m_nameText = name.toStdString();
        m_lineNumber = 0;
        m_oddByte = -1;
        LineSplitter bytes;
        Utf16LineSplitter units;
        bool writeFailed = false;
        const auto onLine = [&](const auto& line) {
            if (!writeFailed && !handleLine(line))
                writeFailed = true;
        };
        Encoding encoding = Encoding::Unknown;
        std::size_t held = 0; // bytes read before the byte-order mark can be told
        for (;;) {
            const qint64 n = in.read(m_buffer.data() + held, kChunkBytes - qint64(held));
            if (n < 0)
                return StreamResult::ReadFailed;
            m_bytes += std::uint64_t(n);
            held += std::size_t(n);
            if (encoding == Encoding::Unknown && n > 0 && held < 3)
                continue;
            std::string_view chunk(m_buffer.data(), held);
            held = 0;
            if (encoding == Encoding::Unknown)
                encoding = takeByteOrderMark(chunk);
            if (encoding == Encoding::Utf8)
                bytes.feed(chunk, onLine);
            else
                units.feed(toUnits(chunk, encoding == Encoding::Utf16Be), onLine);
            if (writeFailed)
                return StreamResult::WriteFailed;
            if (n == 0)
                break;
            m_report.progress(m_bytes, m_linesSeen, records());
        }
        // A last odd byte is no whole unit; it stands for one replacement character.
        if (m_oddByte >= 0)
            units.feed(u"\uFFFD", onLine);
        bytes.finish(onLine);
        units.finish(onLine);
        return writeFailed ? StreamResult::WriteFailed : StreamResult::Done;
    }

private:
    static constexpr std::uint64_t kBytesPerLine = kBeaconLength + 1;
    // About 500 MB of beacon lines; a larger input lets the table grow as it fills.
    static constexpr std::uint64_t kMostLinesReserved = 1 << 22;

    template <class CharT> bool handleLine(const BasicSplitLine<CharT>& line)
    {
        ++m_lineNumber;
        ++m_linesSeen;
        if (line.cut) {
            if (m_options.check && line.holdsOrv) {
                const LineShape shape{toUtf16(line.bytes), line.utf16Length, line.trailingBlanks};
                tell("not decoded", diagnoseLine(shape));
            }
            return true;
        }
        if (m_recover)
            return m_recover->add(line.bytes, m_lineNumber, m_name);
        if constexpr (std::is_same_v<CharT, char>) {
            if (line.bytes.size() == std::size_t(kBeaconLength) && isAscii(line.bytes))
                return handleText(line.bytes);
        }
        const bool mayBeBeacon =
            line.bytes.size() >= std::size_t(kBeaconLength) && line.bytes.size() <= kMaxBeaconBytes;
        if (!mayBeBeacon && !m_options.check)
            return true;
        return handleText(toUtf16(line.bytes));
    }

    // The line as the window holds it: UTF-16 units, or ASCII bytes that stand for them.
    template <class CharT> bool handleText(std::basic_string_view<CharT> text)
    {
        if (!isBeaconLine(text)) {
            if (m_options.check && looksLikeBeaconAttempt(toUtf16(text)))
                tell("not decoded", diagnoseLine(toUtf16(text)));
            return true;
        }
        std::uint64_t hash = 0;
        if (m_options.dedupe) {
            hash = m_seen.hashOf(text);
            m_seen.prefetch(hash);
        }
        bool plain = true;
        if (m_sink) {
            if (!m_sink->add(text, m_lineNumber, plain))
                return false;
        } else if (!m_writer->write(text, m_records + 1, m_lineNumber, m_name, plain)) {
            return false;
        }
        // The table is read once the record is made, so that its memory comes meanwhile.
        if (m_options.dedupe && !m_seen.insert(hash)) {
            m_writer->dropLast();
            return true;
        }
        ++m_records;
        // A line of hex digits in every field draws no diagnostic, so only the others are examined.
        if (m_options.check && !plain)
            tell("decoded, but check", diagnoseLine(toUtf16(text)));
        return true;
    }

    // Every unit as it stands, an unpaired surrogate too, as the window keeps it.
    std::u16string_view toUnits(std::string_view bytes, bool bigEndian)
    {
        m_units.clear();
        for (const char ch : bytes) {
            const auto b = static_cast<unsigned char>(ch);
            if (m_oddByte < 0) {
                m_oddByte = b;
                continue;
            }
            m_units.push_back(bigEndian ? char16_t(m_oddByte << 8 | b) : char16_t(b << 8 | m_oddByte));
            m_oddByte = -1;
        }
        return m_units;
    }

    static std::u16string_view toUtf16(std::u16string_view units) { return units; }

    // UTF-16 code units, as the window counts them; plain ASCII needs no decoder.
    std::u16string_view toUtf16(std::string_view bytes)
    {
        if (isAscii(bytes)) {
            m_wide.assign(bytes.begin(), bytes.end());
            return m_wide;
        }
        m_decoded = m_utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        return {reinterpret_cast<const char16_t*>(m_decoded.utf16()), std::size_t(m_decoded.size())};
    }

    void tell(const char* verdict, const std::vector<std::string>& reasons)
    {
        std::string text = m_nameText + ":" + std::to_string(m_lineNumber) + ": " + verdict + ": ";
        for (std::size_t i = 0; i < reasons.size(); ++i)
            text += (i == 0 ? "" : "; ") + reasons[i];
        text += '\n';
        m_report.tell(text);
    }

    const TlmOptions& m_options;
    RecordWriter* m_writer;
    ArchiveSink* m_sink;
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
    RecoverRun* m_recover = nullptr;
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_linesSeen = 0;
    std::uint64_t m_records = 0;
    std::uint64_t m_bytes = 0;
};

QString shownName(const QByteArray& name) { return QFile::decodeName(name); }

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

// Received times are kept to the second: a copied beacon is not timed more finely.
qint64 wholeSecond(qint64 ms) { return ms - ((ms % 1000) + 1000) % 1000; }

// orvik-tlm --archive: the inputs decoded into the archive.
int addToArchive(const TlmOptions& options, const QList<QByteArray>& inputs,
                 const QList<QByteArray>& inputIds, std::uint64_t totalBytes, const TlmStreams& streams,
                 TlmReport& report)
{
    const QByteArray archiveId = inspectOutput(options.archivePath).identity;
    if (!archiveId.isEmpty() && inputIds.contains(archiveId)) {
        report.say(QStringLiteral("'%1' is both input and archive").arg(shownName(options.archivePath)));
        return 2;
    }
    Archive archive;
    QString error;
    if (!archive.open(shownName(options.archivePath), Archive::Access::ReadWrite, &error)) {
        report.say(error);
        return 2;
    }
    ArchiveSink sink(archive);
    report.setTotalBytes(totalBytes);
    BeaconRun run(options, nullptr, &sink, report);
    // With --recover the records come later than their lines, so each takes the received time
    // and name of the input of its first copy.
    std::unique_ptr<RecoverRun> recover;
    QHash<QString, qint64> receivedOf;
    if (options.recover) {
        recover = std::make_unique<RecoverRun>(options, streams.out, report, inputs.size() > 1);
        recover->sendTo([&](const RecoveredRecord& record, const QStringList&) {
            const QString name = recover->inputName(record.copies.front().input);
            sink.setInput(name, receivedOf.value(name));
            return sink.addRecovered(record.line, record.values, record.copies.front().line);
        });
        run.recoverInto(recover.get());
    }
    const auto tellCounts = [&](const char* after) {
        report.say(QStringLiteral("%1 added, %2 already there%3")
                       .arg(sink.counts().added)
                       .arg(sink.counts().alreadyThere)
                       .arg(QLatin1StringView(after)));
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
    tellCounts("");
    return run.records() > 0 ? 0 : 1;
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
