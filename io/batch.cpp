// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch.h"

#include "csvwriter.h"
#include "decoder/beacon.h"
#include "decoder/diagnose.h"
#include "linesplitter.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
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
        LineSplitter splitter;
        bool writeFailed = false;
        const auto onLine = [&](const SplitLine& line) {
            if (!writeFailed && !handleLine(line))
                writeFailed = true;
        };
        for (;;) {
            const qint64 n = in.read(m_buffer.data(), kChunkBytes);
            if (n < 0)
                return StreamResult::ReadFailed;
            if (n == 0)
                break;
            splitter.feed({m_buffer.data(), std::size_t(n)}, onLine);
            if (writeFailed)
                return StreamResult::WriteFailed;
            m_bytes += std::uint64_t(n);
            m_progress.update(m_bytes, m_linesSeen, m_records);
        }
        splitter.finish(onLine);
        return writeFailed ? StreamResult::WriteFailed : StreamResult::Done;
    }

private:
    bool handleLine(const SplitLine& line)
    {
        ++m_lineNumber;
        ++m_linesSeen;
        if (line.cut) {
            if (m_options.check && line.holdsOrv) {
                const QString head = QString::fromUtf8(line.bytes.data(), qsizetype(line.bytes.size()));
                tell("not decoded",
                     diagnoseLine(LineShape{view(head), line.utf16Length, line.trailingBlanks}));
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

    static std::u16string_view view(const QString& s)
    {
        return {reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())};
    }

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
        m_decoded = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        return view(m_decoded);
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
        m_err.write(text.data(), qint64(text.size()));
    }

    const TlmOptions& m_options;
    RecordSink& m_sink;
    QIODevice& m_err;
    Progress& m_progress;
    std::vector<char> m_buffer;
    std::u16string m_wide;
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
    const QByteArray text = ("orvik-tlm: " + message + "\n").toUtf8();
    err.write(text);
}

QString openError(const QFile& file)
{
    // QFile words this one differently from the system; keep the system's wording.
    if (QFileInfo(file.fileName()).isDir())
        return QStringLiteral("Is a directory");
    return file.errorString();
}

bool openInput(QFile& file, const QString& path, const TlmStreams& streams)
{
    file.setFileName(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return true;
    say(streams.err, QStringLiteral("cannot open '%1': %2").arg(path, openError(file)));
    return false;
}

// A regular file is replaced only by complete output. A device or a pipe cannot be
// replaced, and replacing its name with a file would break it: it is written directly.
std::unique_ptr<QFileDevice> openOutput(const QString& path, QString& reason)
{
    const QFileInfo info(path);
    std::unique_ptr<QFileDevice> file;
    if (info.exists() && !info.isFile() && !info.isDir())
        file = std::make_unique<QFile>(path);
    else
        file = std::make_unique<QSaveFile>(path);
    if (file->open(QIODevice::WriteOnly))
        return file;
    reason = file->errorString();
    return nullptr;
}

} // namespace

QString tlmHelpText()
{
    return QStringLiteral(
        "Usage: orvik-tlm [OPTIONS] [FILE...]\n"
        "Decodes every beacon line of the Orvik CW beacon in the FILEs, read in order, or in\n"
        "standard input when no FILE is given. Lines may end in CR LF, LF or CR.\n"
        "\n"
        "  --format csv|jsonl   csv (default): the window's export, a header of captions, \";\"\n"
        "                       after every field, CR LF line ends; jsonl: one JSON object per\n"
        "                       record with \"record\", \"line\" (in its file), \"file\" when\n"
        "                       several FILEs are given, and the 31 values keyed by caption\n"
        "  --decimal-point .|,  the decimal separator of csv numbers (default: the one of the\n"
        "                       regional settings)\n"
        "  -o, --output FILE    write to FILE, replaced only once the output is complete\n"
        "                       (default: standard output)\n"
        "  --check              tell on standard error why lines that look like beacons were\n"
        "                       not decoded, and which decoded fields hold no hex digits\n"
        "  --dedupe             leave out beacon lines that repeat an earlier one, letter case\n"
        "                       aside\n"
        "  -h, --help           show this help\n"
        "  --version            show the version\n"
        "\n"
        "Exit status: 0 records written, 1 no beacon line found, 2 error.\n");
}

bool parseTlmArguments(const QStringList& arguments, TlmOptions& options, QString& error)
{
    QCommandLineParser parser;
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("file"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("format"));
    const QCommandLineOption decimalPoint(QStringLiteral("decimal-point"), {}, QStringLiteral("separator"));
    const QCommandLineOption check(QStringLiteral("check"));
    const QCommandLineOption dedupe(QStringLiteral("dedupe"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({output, format, decimalPoint, check, dedupe, help, version});
    if (!parser.parse(arguments.isEmpty() ? QStringList{QStringLiteral("orvik-tlm")} : arguments)) {
        error = parser.errorText();
        return false;
    }

    options = TlmOptions();
    options.help = parser.isSet(help);
    options.version = parser.isSet(version);
    options.check = parser.isSet(check);
    options.dedupe = parser.isSet(dedupe);
    options.outputPath = parser.value(output);
    options.inputs = parser.positionalArguments();
    if (parser.isSet(output) && options.outputPath.isEmpty()) {
        error = QStringLiteral("the output file name is empty");
        return false;
    }
    const QString formatName = parser.isSet(format) ? parser.value(format) : QStringLiteral("csv");
    if (formatName == QLatin1String("csv")) {
        options.format = TlmFormat::Csv;
    } else if (formatName == QLatin1String("jsonl")) {
        options.format = TlmFormat::JsonLines;
    } else {
        error = QStringLiteral("unknown format '%1' (csv or jsonl)").arg(formatName);
        return false;
    }
    if (parser.isSet(decimalPoint)) {
        const QString sep = parser.value(decimalPoint);
        if (sep != QLatin1String(".") && sep != QLatin1String(",")) {
            error = QStringLiteral("the decimal point must be '.' or ',', not '%1'").arg(sep);
            return false;
        }
        options.decimalPoint = sep.toStdString();
    }
    return true;
}

int runTlm(const QStringList& arguments, const TlmStreams& streams)
{
    TlmOptions options;
    QString error;
    if (!parseTlmArguments(arguments, options, error)) {
        say(streams.err, error + QStringLiteral(" (try 'orvik-tlm --help')"));
        return 2;
    }
    if (options.help) {
        streams.out.write(tlmHelpText().toUtf8());
        return 0;
    }
    if (options.version) {
        streams.out.write("orvik-tlm " ORVIK_VERSION "\n");
        return 0;
    }
    if (options.decimalPoint.empty())
        options.decimalPoint = QLocale::system().decimalPoint().toStdString();

    // Every input is tried before any output is made, so a wrong name leaves nothing behind.
    std::uint64_t totalBytes = 0;
    for (const QString& path : std::as_const(options.inputs)) {
        QFile file;
        if (!openInput(file, path, streams))
            return 2;
        totalBytes += file.isSequential() ? 0 : std::uint64_t(file.size());
    }

    std::unique_ptr<QFileDevice> outFile;
    QIODevice* out = &streams.out;
    const QString outName = options.outputPath.isEmpty() ? QStringLiteral("to standard output")
                                                         : QStringLiteral("'%1'").arg(options.outputPath);
    if (!options.outputPath.isEmpty()) {
        QString reason;
        outFile = openOutput(options.outputPath, reason);
        if (!outFile) {
            say(streams.err, QStringLiteral("cannot open '%1': %2").arg(options.outputPath, reason));
            return 2;
        }
        out = outFile.get();
    }
    const auto writeError = [&] {
        const QFileDevice* device = qobject_cast<const QFileDevice*>(out);
        const QString reason =
            device && device->error() != QFileDevice::NoError ? device->errorString() : out->errorString();
        say(streams.err, QStringLiteral("cannot write %1: %2").arg(outName, reason));
        return 2;
    };

    std::unique_ptr<RecordSink> sink;
    if (options.format == TlmFormat::Csv)
        sink = std::make_unique<CsvSink>(*out, options.decimalPoint);
    else
        sink = std::make_unique<JsonLinesSink>(*out, options.inputs.size() > 1);
    if (!sink->begin())
        return writeError();

    if (options.inputs.isEmpty() && !streams.in.isSequential())
        totalBytes = std::uint64_t(streams.in.size());
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
            writeError();
            return false;
        }
        return true;
    };
    if (options.inputs.isEmpty()) {
        if (!readOne(streams.in, stdinName()))
            return 2;
    }
    for (const QString& path : std::as_const(options.inputs)) {
        QFile file;
        if (!openInput(file, path, streams))
            return 2;
        if (!readOne(file, path))
            return 2;
    }
    progress.clear();

    // An uncommitted QSaveFile throws its output away when it goes, on every early return.
    if (auto* saveFile = qobject_cast<QSaveFile*>(out)) {
        if (!saveFile->commit())
            return writeError();
    } else if (auto* file = qobject_cast<QFileDevice*>(out); file && !file->flush()) {
        return writeError();
    }
    return run.records() > 0 ? 0 : 1;
}

} // namespace orvik
