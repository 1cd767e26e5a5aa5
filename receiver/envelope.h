// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The key's envelope: the power of the recording along the tone it follows, mixed down and
// narrowed to the keying's own bandwidth, and the length of a Morse unit read from it.

#include "tonetrack.h"

#include <span>
#include <vector>

namespace orvik::receiver {

struct Envelope {
    double rate = 0;          // samples a second
    std::vector<float> power; // at each
};

// The power within about `bandwidthHz` of the tone, `rate` times a second.
Envelope envelopeAlong(std::span<const float> samples, double sampleRate, const Waterfall& waterfall,
                       const TonePath& tone, double rate = 500, double bandwidthHz = 100);

// The length of a dot, in seconds, from the key-down stretches of the envelope: dots and dashes
// fall in two groups a factor of three apart. 0 where the envelope holds too few to tell.
double unitSeconds(const Envelope& envelope);

} // namespace orvik::receiver
