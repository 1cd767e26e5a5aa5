// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Beacon audio as a receiver hears it: text keyed in Morse on a tone, with the fist, the
// Doppler drift, the fading, the neighbours and the noise of a pass.

#include <cstdint>
#include <string_view>
#include <vector>

namespace orvik::bench {

struct CwSignal {
    double sampleRate = 48000;
    double wpm = 20;
    // The spread of each element's and gap's length, as a share of it: a hand key's fist.
    double fist = 0;
    double toneHz = 700;
    double driftHzPerSecond = 0;
    // Key-down signal power against the noise in 2,500 Hz.
    double snrDb = 20;
    // Fading: the depth from the strongest to the weakest, and its period.
    double fadeDb = 0;
    double fadeSeconds = 8;
    // A steady carrier this far from the tone's first frequency, 0 for none, at this level
    // against the signal; it does not drift.
    double carrierOffsetHz = 0;
    double carrierDb = 0;
    // Silence before the first element and after the last.
    double leadSeconds = 1;
    std::uint64_t seed = 1;
};

struct CwAudio {
    std::vector<float> samples;
    // Each key-down element: its start and end in seconds, and the tone's frequency halfway.
    struct Element {
        double start = 0;
        double end = 0;
        double hz = 0;
    };
    std::vector<Element> elements;
};

CwAudio keyText(std::string_view text, const CwSignal& signal);

} // namespace orvik::bench
