// SPDX-License-Identifier: GPL-3.0-or-later
#include "csvwriter.h"

#include "decoder/numbertext.h"
#include "platform/services.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace orvik {

namespace {

// An open-addressed table that stops taking new texts when half full, so a lookup stays
// short and a run with ever new values costs no more than one without the table.
constexpr int kCacheBits = 14;
constexpr std::size_t kCacheSize = std::size_t(1) << kCacheBits;
constexpr std::size_t kCacheFill = kCacheSize / 2;

std::size_t slotOf(double value)
{
    return std::size_t((std::bit_cast<std::uint64_t>(value) * 0x9E3779B97F4A7C15u) >> (64 - kCacheBits));
}

// The general text of a double: sign, 15 digits, separator and "e-308" at most.
constexpr std::size_t kNumberRoom = 24;

} // namespace

struct CsvWriter::CachedText {
    std::uint64_t bits = 0;
    std::uint8_t size = 0; // 0: empty slot, as no number text is empty
    char text[23];         // a slot of 32 bytes; longer texts are not kept
};

CsvWriter::CsvWriter(QIODevice& out, std::string decimalPoint)
    : m_out(out)
    , m_decimalPoint(std::move(decimalPoint))
    , m_line(kChannelCount * (kNumberRoom + m_decimalPoint.size() + 1) + 2)
    , m_cache(std::make_unique<CachedText[]>(kCacheSize))
{}

CsvWriter::~CsvWriter() = default;

bool CsvWriter::writeHeader(const QStringList& captions)
{
    if (captions.size() != kChannelCount)
        return false;
    std::string header;
    for (const QString& caption : captions) {
        if (caption.contains(u';') || caption.contains(u'\r') || caption.contains(u'\n'))
            return false;
        header += caption.toStdString();
        header += ';';
    }
    header += "\r\n";
    return m_out.write(header.data(), qint64(header.size())) == qint64(header.size());
}

bool CsvWriter::writeRecord(const Record& record)
{
    char* p = m_line.data();
    for (const double value : record) {
        p = appendNumber(p, value);
        *p++ = ';';
    }
    *p++ = '\r';
    *p++ = '\n';
    return writeLine(std::size_t(p - m_line.data()));
}

char* CsvWriter::appendNumber(char* out, double value)
{
    // Whole numbers below 10^15 read the same in general text as in integer text.
    if (std::fabs(value) < 1e15) {
        const auto whole = static_cast<std::int64_t>(value);
        if (double(whole) == value)
            return std::to_chars(out, out + kNumberRoom, whole).ptr;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    std::size_t i = slotOf(value);
    for (;; i = (i + 1) & (kCacheSize - 1)) {
        const CachedText& slot = m_cache[i];
        if (slot.size == 0)
            break;
        if (slot.bits == bits) {
            // A copy of fixed size needs no branch on the length; the line has room for it.
            std::memcpy(out, slot.text, sizeof slot.text);
            return out + slot.size;
        }
    }
    m_scratch.clear();
    appendGeneralText(m_scratch, value, m_decimalPoint);
    const std::size_t size = std::min(m_scratch.size(), kNumberRoom + m_decimalPoint.size());
    std::memcpy(out, m_scratch.data(), size);
    CachedText& slot = m_cache[i];
    if (m_cached < kCacheFill && size <= sizeof slot.text) {
        slot.bits = bits;
        slot.size = std::uint8_t(size);
        std::memcpy(slot.text, m_scratch.data(), size);
        ++m_cached;
    }
    return out + size;
}

bool CsvWriter::writeLine(std::size_t size)
{
    return m_out.write(m_line.data(), qint64(size)) == qint64(size);
}

bool writeCsv(QIODevice& out, const QStringList& captions, const RecordTable& table,
              const std::string& decimalPoint)
{
    CsvWriter writer(out, decimalPoint);
    if (!writer.writeHeader(captions))
        return false;
    for (int n = 1; n <= table.count(); ++n) {
        if (!writer.writeRecord(table.row(n)))
            return false;
    }
    return true;
}

QString saveCsvFile(const QString& path, const QStringList& captions, const RecordTable& table,
                    const std::string& decimalPoint)
{
    return saveFileAtomically(
        path, [&](QIODevice& out) { return writeCsv(out, captions, table, decimalPoint); },
        QStringLiteral("the captions do not make 31 fields"));
}

} // namespace orvik
