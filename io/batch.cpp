// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "csvwriter.h"
#include "decoder/beacon.h"
#include "decoder/diagnose.h"
#include "linesplitter.h"
#include "tlmfiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <charconv>
#include <cmath>
#include <functional>
#include <memory>
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

QStringList channelCaptions()
{
    QStringList captions;
    for (const Channel& ch : kChannels)
        captions << QString::fromUtf8(ch.caption.data(), qsizetype(ch.caption.size()));
    return captions;
}

void appendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            const auto res = std::to_chars(buf, buf + sizeof buf, unsigned(c), 16);
            out += "\\u";
            out.append(std::size_t(4 - (res.ptr - buf)), '0');
            out.append(buf, res.ptr);
        } else {
            out += ch;
        }
    }
    out += '"';
}

class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual bool begin() = 0;
    virtual bool write(const Record& record, std::uint64_t number, std::uint64_t line,
                       const QString& file) = 0;
};

class CsvSink : public RecordSink {
public:
    CsvSink(QIODevice& out, std::string decimalPoint)
        : m_writer(out, std::move(decimalPoint))
    {}
    bool begin() override { return m_writer.writeHeader(channelCaptions()); }
    bool write(const Record& record, std::uint64_t, std::uint64_t, const QString&) override
    {
        return m_writer.writeRecord(record);
    }

private:
    CsvWriter m_writer;
};

// One JSON object a line; the values round-trip exactly, so they equal the decoded doubles.
class JsonLinesSink : public RecordSink {
public:
    JsonLinesSink(QIODevice& out, bool withFile)
        : m_out(out)
        , m_withFile(withFile)
    {
        for (const Channel& ch : kChannels) {
            std::string key = ",";
            appendJsonString(key, ch.caption);
            m_keys.push_back(key + ":");
        }
    }
    bool begin() override { return true; }
    bool write(const Record& record, std::uint64_t number, std::uint64_t line, const QString& file) override
    {
        m_line = "{\"record\":";
        appendInteger(number);
        m_line += ",\"line\":";
        appendInteger(line);
        if (m_withFile) {
            if (file != m_fileName) {
                m_fileName = file;
                m_fileJson.clear();
                appendJsonString(m_fileJson, file.toStdString());
            }
            m_line += ",\"file\":";
            m_line += m_fileJson;
        }
        for (std::size_t c = 0; c < record.size(); ++c) {
            m_line += m_keys[c];
            appendValue(record[c]);
        }
        m_line += "}\n";
        return m_out.write(m_line.data(), qint64(m_line.size())) == qint64(m_line.size());
    }

private:
    void appendInteger(std::uint64_t n)
    {
        char buf[24];
        m_line.append(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
    }
    void appendValue(double v)
    {
        if (!std::isfinite(v)) {
            m_line += "null";
            return;
        }
        char buf[32];
        m_line.append(buf, std::to_chars(buf, buf + sizeof buf, v == 0 ? 0.0 : v).ptr);
    }

    QIODevice& m_out;
    bool m_withFile;
    std::vector<std::string> m_keys;
    std::string m_line;
    QString m_fileName;
    std::string m_fileJson;
};

// Remembers 64-bit hashes in one open-addressed table: about 16 bytes a line.
class HashSet64 {
public:
    // True when the hash was not there yet.
    bool insert(std::uint64_t hash)
    {
        if (hash == 0)
            hash = 1; // 0 marks an empty slot
        if ((m_count + 1) * 10 > m_slots.size() * 7)
            grow();
        if (!place(m_slots, hash))
            return false;
        ++m_count;
        return true;
    }

private:
    static bool place(std::vector<std::uint64_t>& table, std::uint64_t hash)
    {
        const std::size_t mask = table.size() - 1;
        for (std::size_t i = (hash * 0x9E3779B97F4A7C15u) >> 20 & mask;; i = (i + 1) & mask) {
            if (table[i] == hash)
                return false;
            if (table[i] == 0) {
                table[i] = hash;
                return true;
            }
        }
    }
    void grow()
    {
        std::vector<std::uint64_t> bigger(m_slots.empty() ? 1024 : m_slots.size() * 2, 0);
        for (const std::uint64_t h : m_slots) {
            if (h != 0)
                place(bigger, h);
        }
        m_slots.swap(bigger);
    }

    std::vector<std::uint64_t> m_slots;
    std::size_t m_count = 0;
};

class Progress {
public:
    Progress(QIODevice& err, bool enabled, int delayMs, std::uint64_t totalBytes)
        : m_err(err)
        , m_enabled(enabled)
        , m_delayMs(delayMs)
        , m_totalBytes(totalBytes)
    {
        m_timer.start();
    }

    void update(std::uint64_t bytes, std::uint64_t lines, std::uint64_t records)
    {
        if (!m_enabled || m_timer.elapsed() < m_nextMs)
            return;
        if (!m_shown && m_timer.elapsed() < m_delayMs)
            return;
        m_nextMs = m_timer.elapsed() + 250;
        std::string text =
            "orvik-tlm: " + std::to_string(lines) + " lines, " + std::to_string(records) + " records";
        if (m_totalBytes > 0)
            text += ", " + std::to_string(std::min<std::uint64_t>(100, bytes * 100 / m_totalBytes)) + " %";
        const std::size_t width = text.size();
        if (width < m_width)
            text.append(m_width - width, ' ');
        m_width = width;
        text.insert(0, 1, '\r');
        m_err.write(text.data(), qint64(text.size()));
        m_shown = true;
    }

    void clear()
    {
        if (!m_shown)
            return;
        const std::string blank = "\r" + std::string(m_width, ' ') + "\r";
        m_err.write(blank.data(), qint64(blank.size()));
        m_shown = false;
        m_width = 0;
        m_nextMs = 0;
    }

private:
    QIODevice& m_err;
    bool m_enabled;
    qint64 m_delayMs;
    std::uint64_t m_totalBytes;
    QElapsedTimer m_timer;
    qint64 m_nextMs = 0;
    bool m_shown = false;
    std::size_t m_width = 0;
};

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

// Turns the lines of the inputs into records, one input after the other.
class BeaconRun {
public:
    BeaconRun(const TlmOptions& options, RecordSink& sink, QIODevice& err, Progress& progress)
        : m_options(options)
        , m_sink(sink)
        , m_err(err)
        , m_progress(progress)
        , m_buffer(std::size_t(kChunkBytes))
    {
        m_wide.reserve(kMaxBeaconBytes);
    }

    std::uint64_t records() const { return m_records; }

    StreamResult read(QIODevice& in, const QString& name)
    {
        m_name = name;
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
            m_progress.update(m_bytes, m_linesSeen, m_records);
        }
        // A last odd byte is no whole unit; it stands for one replacement character.
        if (m_oddByte >= 0)
            units.feed(u"\uFFFD", onLine);
        bytes.finish(onLine);
        units.finish(onLine);
        return writeFailed ? StreamResult::WriteFailed : StreamResult::Done;
    }

private:
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
        const bool mayBeBeacon =
            line.bytes.size() >= std::size_t(kBeaconLength) && line.bytes.size() <= kMaxBeaconBytes;
        if (!mayBeBeacon && !m_options.check)
            return true;

        const std::u16string_view text = toUtf16(line.bytes);
        if (!isBeaconLine(text)) {
            if (m_options.check && looksLikeBeaconAttempt(text))
                tell("not decoded", diagnoseLine(text));
            return true;
        }
        if (m_options.dedupe && !m_seen.insert(foldedHash(text)))
            return true;
        decodeBeaconLine(text, m_record);
        ++m_records;
        if (m_options.check) {
            const std::vector<std::string> reasons = diagnoseLine(text);
            if (!reasons.empty())
                tell("decoded, but check", reasons);
        }
        return m_sink.write(m_record, m_records, m_lineNumber, m_name);
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
        m_wide.resize(bytes.size());
        unsigned char high = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            high |= b;
            m_wide[i] = b;
        }
        if (high < 0x80)
            return m_wide;
        m_decoded = m_utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        return {reinterpret_cast<const char16_t*>(m_decoded.utf16()), std::size_t(m_decoded.size())};
    }

    std::uint64_t foldedHash(std::u16string_view text)
    {
        m_folded.assign(text);
        for (char16_t& c : m_folded) {
            if (c < 0x80)
                c = (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
            else
                c = char16_t(QChar::toLower(char32_t(c)));
        }
        return std::hash<std::u16string_view>()(m_folded);
    }

    void tell(const char* verdict, const std::vector<std::string>& reasons)
    {
        std::string text = m_name.toStdString() + ":" + std::to_string(m_lineNumber) + ": " + verdict + ": ";
        for (std::size_t i = 0; i < reasons.size(); ++i)
            text += (i == 0 ? "" : "; ") + reasons[i];
        text += '\n';
        m_progress.clear();
        if (m_err.isOpen())
            m_err.write(text.data(), qint64(text.size()));
    }

    const TlmOptions& m_options;
    RecordSink& m_sink;
    QIODevice& m_err;
    Progress& m_progress;
    std::vector<char> m_buffer;
    // A byte-order mark inside a line is a character of it; only the file's first is dropped.
    QStringDecoder m_utf8{QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom};
    std::u16string m_wide;
    std::u16string m_units;
    int m_oddByte = -1; // of UTF-16 input, the first byte of a unit whose second is to come
    std::u16string m_folded;
    QString m_decoded;
    QString m_name;
    Record m_record{};
    HashSet64 m_seen;
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_linesSeen = 0;
    std::uint64_t m_records = 0;
    std::uint64_t m_bytes = 0;
};

void say(QIODevice& err, const QString& message)
{
    if (err.isOpen())
        err.write(("orvik-tlm: " + message + "\n").toUtf8());
}

QString shownName(const QByteArray& name) { return QFile::decodeName(name); }

// Help and version go to standard output, which may fail like any output.
int show(const QByteArray& text, const TlmStreams& streams)
{
    if (!streams.out.isOpen()) {
        say(streams.err, QStringLiteral("standard output is closed"));
        return 2;
    }
    OutputBuffer out(streams.out);
    out.write(text);
    if (out.finish())
        return 0;
    say(streams.err, QStringLiteral("cannot write to standard output: %1").arg(out.errorString()));
    return 2;
}

} // namespace

int runTlm(const QList<QByteArray>& arguments, const TlmStreams& streams)
{
    TlmOptions options;
    QString error;
    if (!parseTlmArguments(arguments, options, error)) {
        say(streams.err, error + QStringLiteral(" (try 'orvik-tlm --help')"));
        return 2;
    }
    if (options.help)
        return show(tlmHelpText().toUtf8(), streams);
    if (options.version)
        return show("orvik-tlm " ORVIK_VERSION "\n", streams);
    if (options.decimalPoint.empty())
        options.decimalPoint = QLocale::system().decimalPoint().toStdString();

    // Every input is checked before any output is made, so a wrong name leaves nothing
    // behind; each is opened only when it is read, as a named pipe gives its data only once.
    const QByteArray stdinMark("-");
    const QList<QByteArray> inputs = options.inputs.isEmpty() ? QList<QByteArray>{stdinMark} : options.inputs;
    std::uint64_t totalBytes = 0;
    QList<QByteArray> inputIds;
    if (inputs.contains(stdinMark)) {
        if (!streams.in.isOpen()) {
            say(streams.err, QStringLiteral("standard input is closed"));
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
            say(streams.err, QStringLiteral("cannot open '%1': %2").arg(shownName(name), reason));
            return 2;
        }
        inputIds.append(facts.identity);
        totalBytes += facts.size;
    }

    std::unique_ptr<QFileDevice> outFile;
    QIODevice* out = &streams.out;
    const QString outName = options.outputPath.isEmpty()
                                ? QStringLiteral("to standard output")
                                : QStringLiteral("'%1'").arg(shownName(options.outputPath));
    if (!options.outputPath.isEmpty()) {
        const QByteArray outId = inspectOutput(options.outputPath).identity;
        if (!outId.isEmpty() && inputIds.contains(outId)) {
            say(streams.err,
                QStringLiteral("'%1' is both input and output").arg(shownName(options.outputPath)));
            return 2;
        }
        QString reason;
        outFile = openOutput(options.outputPath, streams, reason);
        if (!outFile) {
            say(streams.err,
                QStringLiteral("cannot open '%1': %2").arg(shownName(options.outputPath), reason));
            return 2;
        }
        out = outFile.get();
    } else if (!streams.out.isOpen()) {
        say(streams.err, QStringLiteral("standard output is closed"));
        return 2;
    }
    OutputBuffer buffer(*out);
    const auto writeError = [&](const QString& reason) {
        say(streams.err, QStringLiteral("cannot write %1: %2").arg(outName, reason));
        return 2;
    };

    std::unique_ptr<RecordSink> sink;
    if (options.format == TlmFormat::Csv)
        sink = std::make_unique<CsvSink>(buffer, options.decimalPoint);
    else
        sink = std::make_unique<JsonLinesSink>(buffer, options.inputs.size() > 1);
    if (!sink->begin())
        return writeError(buffer.errorString());

    Progress progress(streams.err, streams.errIsTerminal, streams.progressDelayMs, totalBytes);
    BeaconRun run(options, *sink, streams.err, progress);
    const auto readOne = [&](QIODevice& in, const QString& name) {
        const StreamResult result = run.read(in, name);
        if (result == StreamResult::ReadFailed) {
            progress.clear();
            say(streams.err, QStringLiteral("cannot read '%1': %2").arg(name, in.errorString()));
            return false;
        }
        if (result == StreamResult::WriteFailed) {
            progress.clear();
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
            progress.clear();
            say(streams.err, QStringLiteral("cannot open '%1': %2").arg(shownName(name), reason));
            return 2;
        }
        if (!readOne(file, shownName(name)))
            return 2;
    }
    progress.clear();

    // An uncommitted QSaveFile throws its output away when it goes, on every early return;
    // without a record, an older file stays as it was.
    auto* saveFile = qobject_cast<QSaveFile*>(out);
    if (saveFile && run.records() == 0)
        return 1;
    if (!buffer.finish())
        return writeError(buffer.errorString());
    if (saveFile && !saveFile->commit())
        return writeError(saveFile->errorString());
    return run.records() > 0 ? 0 : 1;
}

int runTlm(const QStringList& arguments, const TlmStreams& streams)
{
    QList<QByteArray> bytes;
    for (const QString& argument : arguments)
        bytes.append(QFile::encodeName(argument));
    return runTlm(bytes, streams);
}

} // namespace orvik
