// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/recordtable.h"

#include <QString>

namespace orvik {

// The status line's account of a decode: how many records came from how many lines, which
// lines were not decoded, which records hold doubtful values and how many beacon lines were
// left out. listed caps each list of numbers; what it cuts off is told as "…".
QString logSummary(const LogReport& report, int records, int listed);

// What an export of the records leaves out, to follow "has been written"; empty when
// nothing is left out.
QString exportNote(const LogReport& report, int records);

} // namespace orvik
