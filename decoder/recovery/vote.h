// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recoverinternal.h"

namespace orvik {
namespace recovery {

// Merges the copies of a group, character by character, into a record whose values are certain
// or left out, each with its reason. Without `values`, a record whose every value is certain
// keeps them in its line alone, its values left NaN.
void vote(const Group& group, RecoveredRecord& out, bool values);

} // namespace recovery
} // namespace orvik
