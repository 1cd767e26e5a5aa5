// SPDX-License-Identifier: GPL-3.0-or-later
#include "beaconrun.h"

#include "decoder/beacon.h"
#include "decoder/diagnose.h"
#include "linesinks.h"
#include "runs/tlmreport.h"
#include "tlmfiles.h"

#include <algorithm>
#include <type_traits>

namespace orvik {

namespace {

// A UTF-8 line longer than this cannot be 120 UTF-16 code units long.
constexpr std::size_t kMaxBeaconBytes = 3 * kBeaconLength;

constexpr std::uint64_t kBytesPerLine = kBeaconLength + 1;
// About 500 MB of beacon lines; a larger input lets the table grow as it fills.
constexpr std::uint64_t kMostLinesReserved = 1 << 22;

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

} // namespace

BeaconRun::BeaconRun(const TlmOptions& options, LineSink& sink, TlmReport& report)
    : m_options(options)
    , m_sink(sink)
    , m_everyLine(sink.takes() == LineSink::Takes::EveryLine)
    , m_report(report)
    , m_buffer(std::size_t(kIoPiece))
{
    m_wide.reserve(kMaxBeaconBytes);
}

std::uint64_t BeaconRun::records() const { return m_sink.records(); }

void BeaconRun::expectBytes(std::uint64_t bytes)
{
    if (m_options.dedupe)
        m_seen.reserve(std::size_t(std::min(bytes / kBytesPerLine, kMostLinesReserved)));
}

StreamResult BeaconRun::read(QIODevice& in, const QString& name)
{
    m_name = name;
    m_nameText = name.toStdString();
    m_lineNumber = 0;
    m_oddByte = -1;
    m_sink.beginInput(name);
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
        const qint64 wanted = qint64(kIoPiece) - qint64(held);
        const qint64 n = readSome(in, m_buffer.data() + held, wanted);
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
        // A pipe that has given all it holds may keep the next lines for minutes: what came is
        // added now, rather than holding the archive until then.
        if (!writeFailed && n > 0 && n < wanted && in.isSequential() && !moreWaiting(in))
            writeFailed = !m_sink.pause();
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

template <class CharT> bool BeaconRun::handleLine(const BasicSplitLine<CharT>& line)
{
    ++m_lineNumber;
    ++m_linesSeen;
    if (line.cut) {
        m_notDecoded += line.holdsOrv;
        if (m_options.check && line.holdsOrv) {
            const LineShape shape{toUtf16(line.bytes), line.utf16Length, line.trailingBlanks};
            tell("not decoded", diagnoseLine(shape));
        }
        return true;
    }
    // The recovery takes every line that is not cut, whatever its length.
    if constexpr (std::is_same_v<CharT, char>) {
        const bool sized = line.bytes.size() == std::size_t(kBeaconLength);
        if ((sized || m_everyLine) && isAscii(line.bytes))
            return handleText(line.bytes);
    }
    const bool mayBeBeacon =
        line.bytes.size() >= std::size_t(kBeaconLength) && line.bytes.size() <= kMaxBeaconBytes;
    if (!mayBeBeacon && !m_options.check && !m_everyLine) {
        if constexpr (std::is_same_v<CharT, char>)
            m_notDecoded += isAscii(line.bytes) ? looksLikeBeaconAttempt(line.bytes)
                                                : looksLikeBeaconAttempt(toUtf16(line.bytes));
        else
            m_notDecoded += looksLikeBeaconAttempt(line.bytes);
        return true;
    }
    // The archive keeps a line's bytes as they came where they are no valid UTF-8.
    if constexpr (std::is_same_v<CharT, char>)
        m_sink.keepBytes(line.bytes);
    const bool handled = handleText(toUtf16(line.bytes));
    m_sink.keepBytes({});
    return handled;
}

// The line as the window holds it: UTF-16 units, or ASCII bytes that stand for them. The
// strict and the recovering run explain it alike; then it is written, or handed to the recovery.
template <class CharT> bool BeaconRun::handleText(std::basic_string_view<CharT> text)
{
    if (!isBeaconLine(text)) {
        const bool attempt = looksLikeBeaconAttempt(text);
        m_notDecoded += attempt;
        if (m_options.check && attempt)
            tell("not decoded", diagnoseLine(toUtf16(text)));
        if (!m_everyLine || repeats(m_options.dedupe ? m_seen.hashOf(text) : 0))
            return true;
        bool plain = true;
        return m_sink.take(text, m_lineNumber, plain);
    }
    std::uint64_t hash = 0;
    if (m_options.dedupe) {
        hash = m_seen.hashOf(text);
        m_seen.prefetch(hash);
    }
    const bool takesBack = m_sink.takesBack();
    if (!takesBack && repeats(hash))
        return true;
    bool plain = true;
    // A sink that writes its records later cannot tell now, so the line is examined here.
    if (m_everyLine && m_options.check && !fieldsAreHex(toUtf16(text)))
        tell("decoded, but check", diagnoseLine(toUtf16(text)));
    if (!m_sink.take(text, m_lineNumber, plain))
        return false;
    if (takesBack && repeats(hash)) {
        m_sink.takeBack();
        return true;
    }
    // A line of hex digits in every field draws no diagnostic, so only the others are examined.
    if (m_options.check && !plain)
        tell("decoded, but check", diagnoseLine(toUtf16(text)));
    return true;
}

// Every unit as it stands, an unpaired surrogate too, as the window keeps it.
std::u16string_view BeaconRun::toUnits(std::string_view bytes, bool bigEndian)
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

// UTF-16 code units, as the window counts them; plain ASCII needs no decoder.
std::u16string_view BeaconRun::toUtf16(std::string_view bytes)
{
    if (isAscii(bytes)) {
        m_wide.assign(bytes.begin(), bytes.end());
        return m_wide;
    }
    m_decoded = m_utf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return {reinterpret_cast<const char16_t*>(m_decoded.utf16()), std::size_t(m_decoded.size())};
}

void BeaconRun::tell(const char* verdict, const std::vector<std::string>& reasons)
{
    std::string text = m_nameText + ":" + std::to_string(m_lineNumber) + ": " + verdict + ": ";
    for (std::size_t i = 0; i < reasons.size(); ++i)
        text += (i == 0 ? "" : "; ") + reasons[i];
    text += '\n';
    m_report.tell(text);
}

} // namespace orvik
