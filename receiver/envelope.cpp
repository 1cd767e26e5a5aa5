// SPDX-License-Identifier: GPL-3.0-or-later
#include "envelope.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace orvik::receiver {

namespace {

// Key-down stretches needed to tell dots from dashes.
constexpr std::size_t kFewestStretches = 8;
// No dot is shorter: one at 100 WPM. A shorter stretch is a spike of the noise.
constexpr double kShortestElement = 0.012;
// The key goes down where the power rises this far over the threshold, up where it falls as
// far below, so that noise on an edge does not cut an element in two.
constexpr float kHysteresis = 2.0f;

// The tone's frequency at time t, between the frames of the path.
double toneAt(const Waterfall& waterfall, const TonePath& tone, double t)
{
    const double x = t / waterfall.hopSeconds() - 2.0;
    const auto last = double(tone.hz.size() - 1);
    const double at = std::clamp(x, 0.0, last);
    const auto k = std::size_t(at);
    const std::size_t k2 = std::min(k + 1, tone.hz.size() - 1);
    const double w = at - double(k);
    return tone.hz[k] * (1 - w) + tone.hz[k2] * w;
}

// The threshold halfway, in decibels, between the envelope's quiet and its loud.
float threshold(const std::vector<float>& power)
{
    std::vector<float> sorted(power);
    const auto at = [&](double share) {
        const auto nth = sorted.begin() + std::ptrdiff_t(double(sorted.size() - 1) * share);
        std::nth_element(sorted.begin(), nth, sorted.end());
        return double(*nth);
    };
    const double quiet = std::max(at(0.1), 1e-30);
    const double loud = std::max(at(0.9), quiet);
    return float(std::sqrt(quiet * loud));
}

// The lengths of the key-down stretches, in seconds. Noise spikes shorter than an element
// are no stretch, and dips as short within one do not cut it.
std::vector<double> keyDown(const Envelope& envelope)
{
    const float level = threshold(envelope.power);
    const auto shortest = std::max<std::size_t>(1, std::size_t(kShortestElement * envelope.rate));
    // Runs of the key's state: down where the power rises over the threshold, with hysteresis.
    std::vector<std::pair<bool, std::size_t>> runs;
    bool down = false;
    for (const float p : envelope.power) {
        down = down ? p > level / kHysteresis : p > level * kHysteresis;
        if (runs.empty() || runs.back().first != down)
            runs.push_back({down, 0});
        ++runs.back().second;
    }
    std::vector<double> stretches;
    std::size_t length = 0; // of the stretch being gathered, in samples
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto [isDown, n] = runs[i];
        const bool shortDip = !isDown && n < shortest && length > 0 && i + 1 < runs.size();
        if (isDown || shortDip) {
            length += n;
            continue;
        }
        if (length >= shortest)
            stretches.push_back(double(length) / envelope.rate);
        length = 0;
    }
    return stretches;
}

} // namespace

Envelope envelopeAlong(std::span<const float> samples, double sampleRate, const Waterfall& waterfall,
                       const TonePath& tone, double rate, double bandwidthHz)
{
    Envelope out;
    out.rate = rate;
    if (tone.hz.empty() || samples.empty())
        return out;
    const auto dump = std::max<std::size_t>(1, std::size_t(sampleRate / rate));
    // A moving sum over about one over the bandwidth narrows the mixed-down tone to it.
    const auto span = std::max<std::size_t>(1, std::size_t(rate / bandwidthHz));
    std::vector<std::complex<double>> mixed(samples.size() / dump);
    double phase = 0;
    for (std::size_t k = 0; k < mixed.size(); ++k) {
        const double hz = toneAt(waterfall, tone, (double(k) + 0.5) * double(dump) / sampleRate);
        const double turn = 2 * std::numbers::pi * hz / sampleRate;
        std::complex<double> sum;
        for (std::size_t i = k * dump; i < (k + 1) * dump; ++i) {
            sum += double(samples[i]) * std::polar(1.0, -phase);
            phase = std::fmod(phase + turn, 2 * std::numbers::pi);
        }
        mixed[k] = sum;
    }
    out.power.resize(mixed.size());
    std::complex<double> window;
    for (std::size_t k = 0; k < mixed.size(); ++k) {
        window += mixed[k];
        if (k >= span)
            window -= mixed[k - span];
        out.power[k] = float(std::norm(window));
    }
    return out;
}

double unitSeconds(const Envelope& envelope)
{
    if (envelope.power.empty())
        return 0;
    std::vector<double> stretches = keyDown(envelope);
    if (stretches.size() < kFewestStretches)
        return 0;
    // The split of the lengths, in their logarithms, that leaves each group tightest: dots below,
    // dashes above; each dash counts as three units.
    std::sort(stretches.begin(), stretches.end());
    std::vector<double> logs(stretches.size());
    std::transform(stretches.begin(), stretches.end(), logs.begin(), [](double s) { return std::log(s); });
    std::size_t best = 1;
    double bestSpread = 1e300;
    for (std::size_t split = 1; split < logs.size(); ++split) {
        const auto spread = [](auto from, auto to) {
            const double n = double(to - from);
            double sum = 0;
            double squares = 0;
            for (auto it = from; it != to; ++it) {
                sum += *it;
                squares += *it * *it;
            }
            return squares - sum * sum / n;
        };
        const double s = spread(logs.begin(), logs.begin() + std::ptrdiff_t(split)) +
                         spread(logs.begin() + std::ptrdiff_t(split), logs.end());
        if (s < bestSpread) {
            bestSpread = s;
            best = split;
        }
    }
    double units = 0;
    double seconds = 0;
    for (std::size_t i = 0; i < stretches.size(); ++i) {
        units += i < best ? 1.0 : 3.0;
        seconds += stretches[i];
    }
    return seconds / units;
}

} // namespace orvik::receiver
