// SPDX-License-Identifier: GPL-3.0-or-later
// The recovery as the rest of the program meets it: Recoverer, which hands every call to its
// engine, and the records of lines in one go.
#include "decoder/recover.h"
#include "engine.h"

namespace orvik {

Recoverer::Recoverer(std::size_t window)
    : m_engine(std::make_unique<recovery::Engine>(window))
{}

Recoverer::~Recoverer() = default;

bool Recoverer::add(std::u16string_view line, CopySource source) { return m_engine->add(line, source); }

bool Recoverer::add(std::string_view asciiLine, CopySource source)
{
    return m_engine->add(asciiLine, source);
}

bool Recoverer::take(RecoveredRecord& out, Ready ready, Values values)
{
    return m_engine->take(out, ready, values);
}

std::optional<CopySource> Recoverer::firstHeld() const { return m_engine->firstHeld(); }

namespace {

std::vector<RecoveredRecord> recoverAll(std::span<const std::u16string_view> lines, bool apart)
{
    Recoverer recoverer(lines.size() + 1);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (apart)
            addKeptCopy(recoverer, lines[i], std::uint32_t(i));
        else
            recoverer.add(lines[i], CopySource{0, i + 1});
    }
    std::vector<RecoveredRecord> records;
    RecoveredRecord record;
    while (recoverer.take(record, Recoverer::Ready::All))
        records.push_back(record);
    return records;
}

} // namespace

std::vector<RecoveredRecord> recoverLines(std::span<const std::u16string_view> lines)
{
    return recoverAll(lines, false);
}

std::vector<RecoveredRecord> recoverCopies(std::span<const std::u16string_view> copies)
{
    return recoverAll(copies, true);
}

} // namespace orvik
