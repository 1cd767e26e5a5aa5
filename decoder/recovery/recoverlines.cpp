// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder/recover.h"

namespace orvik {

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
