// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

namespace orvik {

// When each beacon line was first decoded in this run, letter case aside.
class DecodeTimes {
public:
    // Notes, at nowMs, the beacon lines of `after` not seen before. Lines equal to those of
    // `before` at the start and at the end are passed over unread, so that a keystroke costs
    // a comparison of the lines, not a lookup of each.
    void update(std::span<const std::u16string_view> before, std::span<const std::u16string_view> after,
                qint64 nowMs);
    // The time noted for a line, or `otherwise`.
    qint64 firstDecoded(std::u16string_view line, qint64 otherwise) const;

private:
    std::unordered_map<std::u16string, qint64> m_first;
    std::u16string m_key;
};

// The archive that the window adds to: ARCHIVE= of conf.ini, a relative path taken from
// baseFolder (the program folder of a portable copy), or else defaultArchivePath().
QString windowArchivePath(const QString& baseFolder, const std::optional<QString>& configured);

// TLM File > Add to Archive: every beacon line of the log, also those past the 100th that the
// window does not show, with the time each was first decoded. Returns the text for the status
// line: what was added, or why nothing was.
QString addLogToArchive(const QString& archivePath, std::span<const std::u16string_view> lines,
                        const DecodeTimes& times);

} // namespace orvik
