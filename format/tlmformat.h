// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>

namespace orvik {

enum class TlmFormat { Csv, JsonLines };

// orvik-tlm reads its input and writes its output in pieces of this size: few system calls, and
// a piece still fits the cache.
inline constexpr std::size_t kIoPiece = 256 * 1024;

} // namespace orvik
