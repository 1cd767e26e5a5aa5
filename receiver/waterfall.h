// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The power of a recording across the band, frame after frame: what the receiver looks for
// its tone in, and what a waterfall draws.

#include <cstddef>
#include <span>
#include <vector>

namespace orvik::receiver {

class Waterfall {
public:
    // Frames of about `frameSeconds`, rounded to a power of two samples, every quarter frame.
    Waterfall(std::span<const float> samples, double sampleRate, double frameSeconds = 0.04);

    std::size_t frames() const { return m_frames; }
    std::size_t bins() const { return m_bins; }
    double binHz() const { return m_binHz; }
    double hopSeconds() const { return m_hopSeconds; }
    // The power of bin b in frame t; the frame centred on t * hopSeconds() + a half frame.
    float power(std::size_t t, std::size_t b) const { return m_power[t * m_bins + b]; }
    double frameCentre(std::size_t t) const { return (double(t) + 2.0) * m_hopSeconds; }

private:
    std::size_t m_frames = 0;
    std::size_t m_bins = 0;
    double m_binHz = 0;
    double m_hopSeconds = 0;
    std::vector<float> m_power;
};

} // namespace orvik::receiver
