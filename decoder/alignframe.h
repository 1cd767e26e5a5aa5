// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "copyframes.h"

#include <string_view>

namespace orvik {

// Gives the characters of a damaged frame a place in a frame of the right length, where the
// cheapest alignment leaves no doubt; both are taken after their tags. Writes them at the
// field positions of `readings`, which has the fields' length; a `ref` too short to hold the
// fields places nothing.
void alignFrame(std::u16string_view ref, std::u16string_view copy, const FrameLayout& layout,
                char16_t* readings);

} // namespace orvik
