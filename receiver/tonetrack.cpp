// SPDX-License-Identifier: GPL-3.0-or-later
#include "tonetrack.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace orvik::receiver {

namespace {

// A bin's floor over time is the power it exceeds this share of the time: the quietest
// moments, which a keyed tone has even in a run of dashes and a carrier never has.
constexpr double kFloorShare = 0.02;
// A bin whose quietest moments stand this far above the noise holds a carrier.
constexpr double kCarrierOverNoise = 5.0;
// Noise alone exceeds its mean by this much now and then (its power is spread exponentially):
// only more counts as tone.
constexpr double kToneOverNoise = 3.0;
// The cost, in the log power ratio the path gathers, of moving one bin between blocks: a tone
// moves smoothly, noise peaks jump.
constexpr double kMoveCost = 2.0;

// The floor of each bin over stretches of the recording, one stretch per `step` frames.
std::vector<float> floors(const Waterfall& s, std::size_t lo, std::size_t hi, std::size_t window,
                          std::size_t step)
{
    const std::size_t stretches = (s.frames() + step - 1) / step;
    const std::size_t width = hi - lo;
    std::vector<float> out(stretches * width);
    std::vector<float> powers;
    for (std::size_t k = 0; k < stretches; ++k) {
        const std::size_t centre = k * step + step / 2;
        const std::size_t from = centre > window / 2 ? centre - window / 2 : 0;
        const std::size_t to = std::min(s.frames(), from + window);
        for (std::size_t b = lo; b < hi; ++b) {
            powers.clear();
            for (std::size_t t = from; t < to; ++t)
                powers.push_back(s.power(t, b));
            const auto nth = powers.begin() + std::ptrdiff_t(double(powers.size()) * kFloorShare);
            std::nth_element(powers.begin(), nth, powers.end());
            out[k * width + (b - lo)] = std::max(*nth, 1e-30f);
        }
    }
    return out;
}

// Where between place i of `row` and its neighbours the tone stands, by the parabola through
// what they gathered.
double refine(const double* row, std::size_t width, std::size_t i)
{
    if (i == 0 || i + 1 >= width)
        return double(i);
    const double l = row[i - 1];
    const double c = row[i];
    const double r = row[i + 1];
    const double bend = l - 2 * c + r;
    if (bend >= 0)
        return double(i);
    return double(i) + std::clamp(0.5 * (l - r) / bend, -0.5, 0.5);
}

// The noise of each frame, from the median of its bins: the tone takes few of them.
std::vector<double> noiseOf(const Waterfall& s, std::size_t lo, std::size_t hi)
{
    std::vector<double> noise(s.frames());
    std::vector<float> row(hi - lo);
    const auto middle = row.begin() + std::ptrdiff_t(row.size() / 2);
    for (std::size_t t = 0; t < s.frames(); ++t) {
        for (std::size_t b = lo; b < hi; ++b)
            row[b - lo] = s.power(t, b);
        std::nth_element(row.begin(), middle, row.end());
        noise[t] = std::max(1e-30, double(*middle) / std::numbers::ln2);
    }
    return noise;
}

// The bins of the search and how the waterfall's frames are taken together.
struct Grid {
    std::size_t lo = 0;
    std::size_t width = 0;
    std::size_t step = 1;  // frames a floor is kept for
    std::size_t block = 1; // frames the path keeps a bin for
    std::size_t blocks = 0;
};

// Each block's keyed power in each bin, as the log ratios over the noise, or over a carrier,
// that its frames gather.
std::vector<double> gather(const Waterfall& s, const Grid& g, const std::vector<float>& floor,
                           const std::vector<double>& noise)
{
    std::vector<double> gathered(g.blocks * g.width, 0.0);
    for (std::size_t t = 0; t < s.frames(); ++t) {
        const float* f = floor.data() + (t / g.step) * g.width;
        double* out = gathered.data() + (t / g.block) * g.width;
        for (std::size_t i = 0; i < g.width; ++i) {
            const double carrier = double(f[i]) >= kCarrierOverNoise * noise[t] ? double(f[i]) : 0.0;
            const double base = std::max(noise[t], carrier);
            out[i] += std::max(0.0, std::log(double(s.power(t, g.lo + i)) / (kToneOverNoise * base)));
        }
    }
    return gathered;
}

// The path through the blocks that gathers most, moving a bin at most from block to block;
// the tone's frequency at each block's middle, in bins from the search's lowest.
std::vector<double> bestPath(const Grid& g, const std::vector<double>& gathered)
{
    std::vector<double> score(g.width, 0.0);
    std::vector<double> next(g.width);
    std::vector<std::int8_t> from(g.blocks * g.width);
    for (std::size_t k = 0; k < g.blocks; ++k) {
        for (std::size_t i = 0; i < g.width; ++i) {
            int bestD = 0;
            double best = score[i];
            for (const int d : {-1, 1}) {
                const long j = long(i) + d;
                if (j >= 0 && j < long(g.width) && score[std::size_t(j)] - kMoveCost > best) {
                    best = score[std::size_t(j)] - kMoveCost;
                    bestD = d;
                }
            }
            next[i] = best + gathered[k * g.width + i];
            from[k * g.width + i] = std::int8_t(bestD);
        }
        std::swap(score, next);
    }
    std::vector<double> bins(g.blocks);
    auto at = std::size_t(std::max_element(score.begin(), score.end()) - score.begin());
    for (std::size_t k = g.blocks; k-- > 0;) {
        bins[k] = refine(gathered.data() + k * g.width, g.width, at);
        at = std::size_t(long(at) + from[k * g.width + at]);
    }
    return bins;
}

} // namespace

TonePath trackTone(const Waterfall& s, const ToneSearch& search)
{
    TonePath path;
    const auto lo = std::size_t(std::max(1.0, std::floor(search.lowHz / s.binHz())));
    const auto hi = std::min(s.bins(), std::size_t(std::ceil(search.highHz / s.binHz())) + 1);
    if (s.frames() == 0 || hi <= lo + 1)
        return path;
    Grid g;
    g.lo = lo;
    g.width = hi - lo;
    const std::size_t window = std::max<std::size_t>(8, std::size_t(search.floorSeconds / s.hopSeconds()));
    g.step = std::max<std::size_t>(1, window / 4);
    // As long as the fastest drift takes to cross a bin.
    g.block =
        std::max<std::size_t>(1, std::size_t(s.binHz() / (search.mostDriftHzPerSecond * s.hopSeconds())));
    g.blocks = (s.frames() + g.block - 1) / g.block;
    const std::vector<double> noise = noiseOf(s, lo, hi);
    const std::vector<double> bins = bestPath(g, gather(s, g, floors(s, lo, hi, window, g.step), noise));
    // Between the middles of blocks the tone moves evenly.
    path.hz.resize(s.frames());
    path.strength.resize(s.frames());
    for (std::size_t t = 0; t < s.frames(); ++t) {
        const double x = (double(t) + 0.5) / double(g.block) - 0.5;
        const auto k = std::size_t(std::clamp(std::floor(x), 0.0, double(g.blocks - 1)));
        const std::size_t k2 = std::min(k + 1, g.blocks - 1);
        const double w = std::clamp(x - double(k), 0.0, 1.0);
        path.hz[t] = (double(lo) + bins[k] * (1 - w) + bins[k2] * w) * s.binHz();
        const auto b = std::size_t(std::clamp(std::lround(path.hz[t] / s.binHz()), long(lo), long(hi) - 1));
        path.strength[t] = float(double(s.power(t, b)) / noise[t]);
    }
    return path;
}

} // namespace orvik::receiver
