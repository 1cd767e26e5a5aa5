// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <optional>
#include <span>
#include <string_view>

namespace orvik {

// A date and time that the log's text gives before its first beacon line, such as a header
// "# Orvik pass 2026-12-08 19:53 UTC": "YYYY-MM-DD HH:MM", with seconds or a "T" between, and
// taken as UTC, as amateurs log. Milliseconds since the epoch.
std::optional<qint64> timeInLog(std::span<const std::u16string_view> lines);

} // namespace orvik
