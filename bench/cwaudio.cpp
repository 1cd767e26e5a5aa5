// SPDX-License-Identifier: GPL-3.0-or-later
#include "cwaudio.h"

#include "receiver/morse.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace orvik::bench {

namespace {

// Each element rises and falls over this long, as a keyer's shaping does, so the tone does not
// click across the band.
constexpr double kEdgeSeconds = 0.005;

struct Timeline {
    std::vector<CwAudio::Element> down; // frequencies filled in later
    double end = 0;
};

Timeline keyTimes(std::string_view text, const CwSignal& signal)
{
    std::mt19937_64 random(signal.seed);
    std::normal_distribution<double> spread(0.0, signal.fist);
    const double unit = morse::unitSeconds(signal.wpm);
    const auto lasting = [&](int units) { return std::max(0.2, 1.0 + spread(random)) * unit * units; };
    Timeline line;
    double at = signal.leadSeconds;
    bool afterChar = false;
    for (const char c : text) {
        const std::string_view code = morse::code(c);
        if (code.empty()) { // a blank, or a character Morse has no code for: a word gap
            if (afterChar)
                at += lasting(morse::kWordGapUnits - morse::kCharGapUnits);
            afterChar = false;
            continue;
        }
        for (std::size_t i = 0; i < code.size(); ++i) {
            if (i > 0)
                at += lasting(morse::kElementGapUnits);
            const double length = lasting(code[i] == '.' ? morse::kDotUnits : morse::kDashUnits);
            line.down.push_back({at, at + length, 0});
            at += length;
        }
        at += lasting(morse::kCharGapUnits);
        afterChar = true;
    }
    line.end = at + signal.leadSeconds;
    return line;
}

// The key's level at time t: raised-cosine edges on each element.
double keyLevel(const std::vector<CwAudio::Element>& down, std::size_t& next, double t)
{
    while (next < down.size() && down[next].end + kEdgeSeconds < t)
        ++next;
    if (next >= down.size() || t < down[next].start - kEdgeSeconds)
        return 0;
    const CwAudio::Element& e = down[next];
    const auto edge = [](double x) {
        return 0.5 - 0.5 * std::cos(std::numbers::pi * std::clamp(x, 0.0, 1.0));
    };
    return std::min(edge((t - e.start + kEdgeSeconds) / (2 * kEdgeSeconds)),
                    edge((e.end + kEdgeSeconds - t) / (2 * kEdgeSeconds)));
}

} // namespace

CwAudio keyText(std::string_view text, const CwSignal& signal)
{
    Timeline line = keyTimes(text, signal);
    CwAudio audio;
    const auto count = std::size_t(line.end * signal.sampleRate);
    audio.samples.resize(count);
    // Key-down power A^2 / 2 against noise of density N0 over 2,500 Hz: the noise's variance
    // spreads N0 over the whole band to half the sample rate.
    const double amplitude = 0.1;
    const double signalPower = amplitude * amplitude / 2;
    const double noiseIn2500 = signalPower / std::pow(10.0, signal.snrDb / 10);
    const double sigma = std::sqrt(noiseIn2500 / 2500.0 * (signal.sampleRate / 2));
    const double carrier = amplitude * std::pow(10.0, signal.carrierDb / 20);
    std::mt19937_64 random(signal.seed ^ 0x9e3779b97f4a7c15u);
    std::normal_distribution<double> noise(0.0, sigma);
    const double twoPi = 2 * std::numbers::pi;
    double phase = 0;
    double carrierPhase = 0;
    std::size_t next = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / signal.sampleRate;
        const double hz = signal.toneHz + signal.driftHzPerSecond * t;
        phase = std::fmod(phase + twoPi * hz / signal.sampleRate, twoPi);
        // Fading as a slow swing of the level in decibels, between 0 and -fadeDb.
        const double fade =
            std::pow(10.0, -signal.fadeDb * (0.5 - 0.5 * std::cos(twoPi * t / signal.fadeSeconds)) / 20);
        double v = amplitude * fade * keyLevel(line.down, next, t) * std::sin(phase) + noise(random);
        if (signal.carrierOffsetHz != 0) {
            carrierPhase = std::fmod(
                carrierPhase + twoPi * (signal.toneHz + signal.carrierOffsetHz) / signal.sampleRate, twoPi);
            v += carrier * std::sin(carrierPhase);
        }
        audio.samples[i] = float(v);
    }
    for (CwAudio::Element& e : line.down)
        e.hz = signal.toneHz + signal.driftHzPerSecond * (e.start + e.end) / 2;
    audio.elements = std::move(line.down);
    return audio;
}

} // namespace orvik::bench
