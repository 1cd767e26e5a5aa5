// SPDX-License-Identifier: GPL-3.0-or-later
#include "tlmarchive.h"

#include "decoder/beacon.h"

#include <QThread>
#include <algorithm>

namespace orvik {

namespace {

// A slice this long keeps another program's wait for the archive well under its busy timeout.
constexpr qint64 kSliceMs = 250;
// Between slices the write lock is left free this long, for another program that waits for it.
constexpr qint64 kLockFreeMs = 3;
constexpr int kRecordsBetweenClockReads = 1024;
constexpr int kMostLinesPerSlice = 8192;

} // namespace

ArchiveSink::ArchiveSink(Archive& archive, const QString& path)
    : m_archive(archive)
    , m_path(path)
{}

void ArchiveSink::setInput(const QString& name, qint64 firstReceivedMs)
{
    m_sourcePrefix = name.toStdString() + ':';
    m_input = name;
    // Records come input by input, or with --recover mostly so: the last one is looked at first.
    for (std::size_t i = m_clocks.size(); i-- > 0;) {
        if (m_clocks[i].input == name) {
            m_clock = i;
            return;
        }
    }
    m_clocks.push_back({name, PassClock(firstReceivedMs)});
    m_clock = m_clocks.size() - 1;
}

std::vector<ArchiveSink::Resets> ArchiveSink::resets() const
{
    std::vector<Resets> out;
    for (const Clock& c : m_clocks) {
        if (c.addedAfterReset)
            out.push_back({c.input, c.clock.resets(), c.clock.firstMs()});
    }
    return out;
}

bool ArchiveSink::add(std::string_view asciiLine, std::uint64_t lineNumber, bool& plain)
{
    m_wide.assign(asciiLine.begin(), asciiLine.end());
    m_entry.line.assign(asciiLine);
    return add(m_wide, lineNumber, plain, false);
}

bool ArchiveSink::add(std::u16string_view line, std::uint64_t lineNumber, bool& plain, bool keepLine)
{
    if (!decodeCertain(line, m_entry.values))
        plain = false;
    m_entry.bytes = false;
    if (keepLine)
        keepLineAsReceived(line, m_bytes);
    m_bytes = {};
    m_entry.copies = 1;
    m_entry.role = ReceptionRole::Copy;
    m_entry.sameBeacon = false;
    return addEntry(lineNumber);
}

bool ArchiveSink::addHeard(const HeardCopy& copy, const std::array<double, kChannelCount>& values,
                           Follows follows)
{
    keepLineAsReceived(copy.text, copy.bytes);
    m_entry.values = values;
    m_entry.copies = 1;
    m_entry.role = m_heardToCome > 0 ? ReceptionRole::Heard : ReceptionRole::Copy;
    m_entry.sameBeacon = follows == Follows::ItsBeacon && m_entry.role == ReceptionRole::Copy;
    m_heardToCome = std::max(m_heardToCome - 1, 0);
    return addEntry(copy.source.line);
}

// The line's UTF-8, or the bytes it came as where they are no valid UTF-8.
void ArchiveSink::keepLineAsReceived(std::u16string_view line, std::string_view bytes)
{
    m_entry.line = QStringView(line.data(), qsizetype(line.size())).toUtf8().toStdString();
    m_entry.bytes = !bytes.empty() && bytes != m_entry.line;
    if (m_entry.bytes)
        m_entry.line.assign(bytes);
}

bool ArchiveSink::addRecovered(std::string_view line, const std::array<double, kChannelCount>& values,
                               const CopySource& first, int copies, int heard)
{
    m_entry.line.assign(line);
    m_entry.bytes = false;
    m_entry.values = values;
    m_entry.copies = copies;
    m_entry.role = heard > 0 ? ReceptionRole::StandIn : ReceptionRole::Copy;
    m_entry.sameBeacon = false;
    m_heardToCome = heard;
    // Two beacons of one line could recover alike, and would be one reception.
    return addEntry(first.line, first.from == 0 ? 0 : first.from + 1);
}

bool ArchiveSink::addEntry(std::uint64_t lineNumber, std::uint32_t column)
{
    if (!m_begun) {
        if (!m_archive.isOpen() && !m_archive.open(m_path, Archive::Access::ReadWrite, &m_error))
            return false;
        if (m_committed.isValid() && !m_committed.hasExpired(kLockFreeMs))
            QThread::msleep(unsigned(kLockFreeMs - m_committed.elapsed()));
        if (!m_archive.beginAdding(&m_error))
            return false;
        m_begun = true;
        m_sliceLines = 0;
        m_slice.start();
    }
    m_entry.source =
        !m_numbered ? m_input
                    : QString::fromStdString(m_sourcePrefix + std::to_string(lineNumber) +
                                             (column == 0 ? std::string() : ':' + std::to_string(column)));
    Clock& clock = m_clocks[m_clock];
    m_entry.receivedMs = clock.clock.date(m_entry.values[kOnBoardTimeChannel]);
    const qint64 added = m_pending.added;
    if (!m_archive.addOne(m_entry, &m_pending, &m_error)) {
        // The archive took the slice back.
        m_begun = false;
        m_pending = ArchiveAddResult();
        return false;
    }
    clock.addedAfterReset = clock.addedAfterReset || (clock.clock.resets() > 0 && m_pending.added > added);
    // A stand-in and the copies heard after it go into one slice, which joins them.
    if (m_heardToCome > 0)
        return true;
    // The copies of a slice are joined to records when it is committed, under the write lock:
    // a slice holds no more than that takes a fraction of the other programs' patience.
    if (++m_sliceLines >= kMostLinesPerSlice)
        return finish();
    if (++m_sinceCheck < kRecordsBetweenClockReads)
        return true;
    m_sinceCheck = 0;
    return !m_slice.hasExpired(kSliceMs) || finish();
}

bool ArchiveSink::finish()
{
    if (!m_begun)
        return true;
    m_begun = false;
    m_sliceLines = 0;
    const ArchiveAddResult slice = m_pending;
    m_pending = ArchiveAddResult();
    ArchiveAddResult records;
    if (!m_archive.commitAdding(&records, &m_error))
        return false;
    m_committed.start();
    m_counts.added += slice.added;
    m_counts.alreadyThere += slice.alreadyThere;
    m_counts.records += records.records;
    m_counts.number = records.number > 0 ? records.number : m_counts.number;
    return true;
}

void ArchiveSink::abandon()
{
    m_archive.rollbackAdding();
    m_begun = false;
    m_sliceLines = 0;
    m_heardToCome = 0;
    m_pending = ArchiveAddResult();
}

} // namespace orvik
