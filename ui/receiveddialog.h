// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <optional>

class QWidget;

namespace orvik {

// Add to Archive asks when the first beacon of the log was received, in UTC, offering
// `suggestedMs`; `fromLog` says whether the log's text gave it. Empty when cancelled.
std::optional<qint64> askFirstReceived(QWidget* parent, qint64 suggestedMs, double firstOnBoardTime,
                                       bool fromLog);

} // namespace orvik
