// SPDX-License-Identifier: GPL-3.0-or-later
// The orvik-tlm input path on any bytes as standard input, with and without --check.
#include "cli/batch.h"
#include "cli/linesplitter.h"
#include "decoder/beacon.h"
#include "decoder/recordtable.h"
#include "format/csvwriter.h"
#include "platform/services.h"
#include "tests/support/logtext.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace orvik {
namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run runOn(const QByteArray& input, const QStringList& options)
{
    Run run;
    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer out(&run.out);
    out.open(QIODevice::WriteOnly);
    QBuffer err(&run.err);
    err.open(QIODevice::WriteOnly);
    const TlmStreams streams{in, out, err};
    run.status = runTlm(QStringList{QStringLiteral("orvik-tlm")} + options, streams);
    return run;
}

[[noreturn]] void fail(const char* what, const Run& run)
{
    std::fprintf(stderr, "orvik-tlm: %s (status %d)\n--- out:\n%s\n--- err:\n%s\n", what, run.status,
                 run.out.left(4096).constData(), run.err.left(4096).constData());
    std::abort();
}

// A memory buffer never fails to read or write, so only 0 (records) and 1 (none) can come.
void checkStatus(const Run& run, qsizetype records)
{
    if (run.status != 0 && run.status != 1)
        fail("unexpected exit status", run);
    if ((run.status == 0) != (records > 0))
        fail("exit status disagrees with the records written", run);
}

struct Line {
    std::string bytes;
    bool cut = false;
    std::uint64_t utf16Length = 0;
    std::uint64_t trailingBlanks = 0;
    bool holdsOrv = false;
};

std::vector<Line> split(std::string_view input, std::size_t held, std::size_t chunk)
{
    std::vector<Line> lines;
    LineSplitter splitter(held);
    const auto onLine = [&](const SplitLine& l) {
        lines.push_back({std::string(l.bytes), l.cut, l.utf16Length, l.trailingBlanks, l.holdsOrv});
    };
    for (std::size_t pos = 0; pos < input.size(); pos += chunk)
        splitter.feed(input.substr(pos, chunk), onLine);
    splitter.finish(onLine);
    return lines;
}

[[noreturn]] void failSplit(const char* what, std::size_t line, std::size_t chunk)
{
    std::fprintf(stderr, "LineSplitter: %s (line %zu, chunks of %zu bytes)\n", what, line, chunk);
    std::abort();
}

std::uint64_t trailingBlanks(std::string_view s)
{
    std::uint64_t n = 0;
    while (n < s.size() && (s[s.size() - 1 - n] == ' ' || s[s.size() - 1 - n] == '\t'))
        ++n;
    return n;
}

bool holdsOrv(const std::string& s) { return QByteArray::fromStdString(s).toLower().contains("orv"); }

// Lines do not depend on where chunks end; a line longer than the held part is cut, and what
// is known of it matches the whole line.
void checkSplitter(std::string_view input)
{
    const std::vector<Line> whole = split(input, input.size() + 1, input.size() + 1);
    constexpr std::size_t kHeld = 16;
    for (const std::size_t chunk : {std::size_t(1), std::size_t(7), input.size() / 3 + 1}) {
        const std::vector<Line> lines = split(input, kHeld, chunk);
        if (lines.size() != whole.size())
            failSplit("line count depends on the chunks", lines.size(), chunk);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const Line& full = whole[i];
            const Line& l = lines[i];
            if (full.cut || full.bytes.find_first_of("\r\n") != std::string::npos)
                failSplit("a line holds a line end", i, chunk);
            if (l.cut != (full.bytes.size() > kHeld))
                failSplit("cut disagrees with the line length", i, chunk);
            if (l.bytes != full.bytes.substr(0, kHeld))
                failSplit("held bytes differ", i, chunk);
            if (!l.cut)
                continue;
            if (l.trailingBlanks != trailingBlanks(full.bytes))
                failSplit("trailing blanks differ", i, chunk);
            if (l.holdsOrv != holdsOrv(full.bytes))
                failSplit("orv seen wrongly", i, chunk);
            const QString text = QString::fromStdString(full.bytes);
            if (text.toStdString() == full.bytes && l.utf16Length != std::uint64_t(text.size()))
                failSplit("UTF-16 length differs", i, chunk);
        }
    }
}

// What the window makes of the input: its beacon lines, and its export when they fit its 100
// rows. The text is as the window would hold it: UTF-16 after its byte-order mark, else UTF-8
// without the mark that may start it.
struct WindowView {
    qsizetype beaconLines = 0;
    QByteArray csv;
};

WindowView windowView(const QByteArray& input)
{
    const bool utf16 = input.startsWith("\xFF\xFE") || input.startsWith("\xFE\xFF");
    const QString text =
        utf16 ? QString(QStringDecoder(QStringDecoder::Utf16, QStringDecoder::Flag::Stateless)(input))
              : QString::fromUtf8(input);
    WindowView view;
    QString log;
    for (const QStringView line : splitTextLines(text)) {
        const std::u16string_view units(reinterpret_cast<const char16_t*>(line.utf16()),
                                        std::size_t(line.size()));
        const bool beacon = isBeaconLine(units);
        // orvik-tlm tests a line of ASCII bytes as it stands.
        const QByteArray bytes = line.toLatin1();
        if (!utf16 && std::all_of(line.begin(), line.end(), [](QChar c) { return c.unicode() < 0x80; }) &&
            isBeaconLine(std::string_view(bytes.constData(), std::size_t(bytes.size()))) != beacon) {
            std::fprintf(stderr, "isBeaconLine: the bytes and the UTF-16 text disagree\n");
            std::abort();
        }
        if (beacon) {
            ++view.beaconLines;
            log.append(line).append(u"\r\n");
        }
    }
    if (view.beaconLines <= RecordTable::kMaxRecords) {
        RecordTable table;
        testsupport::parseCrLfLog({reinterpret_cast<const char16_t*>(log.utf16()), std::size_t(log.size())},
                                  table);
        QStringList captions;
        for (const Channel& ch : kChannels)
            captions << QString::fromUtf8(ch.caption.data(), qsizetype(ch.caption.size()));
        QBuffer buffer(&view.csv);
        buffer.open(QIODevice::WriteOnly);
        writeCsv(buffer, captions, table, ".");
    }
    return view;
}

} // namespace
} // namespace orvik

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using orvik::Run;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList csv{QStringLiteral("--decimal-point"), QStringLiteral(".")};

    // CSV: a header line, then a CR LF-ended line a record.
    const Run plain = orvik::runOn(input, csv);
    orvik::checkStatus(plain, plain.out.count("\r\n") - 1);
    const orvik::WindowView window = orvik::windowView(input);
    if (plain.out.count("\r\n") - 1 != window.beaconLines)
        orvik::fail("records differ from the beacon lines of the input", plain);
    if (!window.csv.isEmpty() && plain.out != window.csv)
        orvik::fail("records differ from the window's export", plain);
    // Without --check, at most the closing count of lines not decoded, of the records written.
    const qsizetype records = plain.out.count("\r\n") - 1;
    const QByteArray count =
        "orvik-tlm: " + QByteArray::number(records) + (records == 1 ? " record from " : " records from ");
    if (!plain.err.isEmpty() &&
        !(plain.err.startsWith(count) && plain.err.count('\n') == 1 && plain.err.contains(" not decoded; ")))
        orvik::fail("diagnostics without --check", plain);
    if (!orvik::runOn(input, csv + QStringList{QStringLiteral("--quiet")}).err.isEmpty())
        orvik::fail("diagnostics with --quiet", plain);

    // --check only explains; the records stay the same.
    const Run checked = orvik::runOn(input, csv + QStringList{QStringLiteral("--check")});
    orvik::checkStatus(checked, checked.out.count("\r\n") - 1);
    if (checked.out != plain.out)
        orvik::fail("--check changed the records", checked);

    const Run jsonl = orvik::runOn(input, {QStringLiteral("--format"), QStringLiteral("jsonl"),
                                           QStringLiteral("--check"), QStringLiteral("--dedupe")});
    const qsizetype kept = jsonl.out.count('\n');
    orvik::checkStatus(jsonl, kept);
    if (kept > plain.out.count("\r\n") - 1)
        orvik::fail("--dedupe kept more records than there are", jsonl);

    // Now and then one line grows past what a line keeps, so --check explains a cut line.
    if (size % 16 == 0) {
        QByteArray stretched = input;
        stretched.insert(std::min<qsizetype>(input.size(), 130), QByteArray(70 * 1024, ' '));
        const Run cut = orvik::runOn(stretched, csv + QStringList{QStringLiteral("--check")});
        orvik::checkStatus(cut, cut.out.count("\r\n") - 1);
    }

    orvik::checkSplitter({input.constData(), std::size_t(input.size())});
    return 0;
}
