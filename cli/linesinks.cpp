// SPDX-License-Identifier: GPL-3.0-or-later
#include "linesinks.h"

#include "format/recordwriter.h"
#include "runs/recoverrun.h"
#include "runs/tlmarchive.h"

namespace orvik {

bool WrittenLines::take(std::string_view line, std::uint64_t lineNumber, bool& plain)
{
    return m_writer.write(line, ++m_records, lineNumber, m_name, plain);
}

bool WrittenLines::take(std::u16string_view line, std::uint64_t lineNumber, bool& plain)
{
    return m_writer.write(line, ++m_records, lineNumber, m_name, plain);
}

void WrittenLines::takeBack()
{
    m_writer.dropLast();
    --m_records;
}

void ArchivedLines::keepBytes(std::string_view bytes) { m_archive.keepBytes(bytes); }

template <class Line> bool ArchivedLines::add(Line line, std::uint64_t lineNumber, bool& plain)
{
    if (!m_archive.add(line, lineNumber, plain))
        return false;
    ++m_records;
    return true;
}

bool ArchivedLines::take(std::string_view line, std::uint64_t lineNumber, bool& plain)
{
    return add(line, lineNumber, plain);
}

bool ArchivedLines::take(std::u16string_view line, std::uint64_t lineNumber, bool& plain)
{
    return add(line, lineNumber, plain);
}

bool ArchivedLines::pause() { return m_archive.finish(); }

void RecoveredLines::beginInput(const QString& name) { m_recover.beginInput(name); }

void RecoveredLines::keepBytes(std::string_view bytes) { m_recover.keepBytes(bytes); }

bool RecoveredLines::take(std::string_view line, std::uint64_t lineNumber, bool&)
{
    return m_recover.add(line, lineNumber);
}

bool RecoveredLines::take(std::u16string_view line, std::uint64_t lineNumber, bool&)
{
    return m_recover.add(line, lineNumber);
}

std::uint64_t RecoveredLines::records() const { return m_recover.records(); }

} // namespace orvik
