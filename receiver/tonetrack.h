// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Finding the beacon's tone and following it as Doppler moves it: the path through the
// waterfall that gathers most power above the noise, moving no faster than a pass can move
// it, and passing over carriers, whose quietest moments are loud.

#include "waterfall.h"

#include <vector>

namespace orvik::receiver {

struct ToneSearch {
    double lowHz = 300;
    double highHz = 2000;
    // Near closest approach an untuned pass moves the tone by tens of hertz a second.
    double mostDriftHzPerSecond = 60;
    // A bin whose quietest moments over this long stand well above the noise holds a carrier:
    // only what rises above it there counts as tone.
    double floorSeconds = 8;
};

struct TonePath {
    std::vector<double> hz;      // of each frame
    std::vector<float> strength; // each frame's power on the path over the frame's noise
};

TonePath trackTone(const Waterfall& s, const ToneSearch& search = {});

} // namespace orvik::receiver
