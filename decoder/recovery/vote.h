// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recoverinternal.h"

namespace orvik {
namespace recovery {

// Merges the copies of a group, character by character, into a record whose values are certain
// or left out, each with its reason. Without `values`, a record whose every value is certain
// keeps them in its line alone, its values left NaN.
void vote(const Group& group, RecoveredRecord& out, bool values);

// The vote on frame f's field characters: each winner written into out.line, each place's
// verdict into `at`, and what the vote changed in each copy into out.changes.
void voteFrame(const Group& group, int f, RecoveredRecord& out, std::array<LeftOut, kBeaconLength + 1>& at);

} // namespace recovery
} // namespace orvik
