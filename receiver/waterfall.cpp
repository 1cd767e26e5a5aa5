// SPDX-License-Identifier: GPL-3.0-or-later
#include "waterfall.h"

#include <bit>
#include <cmath>
#include <fftw3.h>
#include <memory>
#include <mutex>
#include <numbers>

namespace orvik::receiver {

namespace {

struct FftwFree {
    void operator()(void* p) const { fftwf_free(p); }
};
// FFTW's planner keeps state of its own: plans are made and destroyed one at a time.
std::mutex& plannerLock()
{
    static std::mutex lock;
    return lock;
}
struct PlanDestroy {
    void operator()(fftwf_plan_s* p) const
    {
        const std::lock_guard guard(plannerLock());
        fftwf_destroy_plan(p);
    }
};
fftwf_plan_s* makePlan(int size, float* in, fftwf_complex* out)
{
    const std::lock_guard guard(plannerLock());
    return fftwf_plan_dft_r2c_1d(size, in, out, FFTW_ESTIMATE);
}

} // namespace

Waterfall::Waterfall(std::span<const float> samples, double sampleRate, double frameSeconds)
{
    const std::size_t size = std::bit_ceil(std::size_t(std::max(16.0, sampleRate * frameSeconds)));
    const std::size_t hop = size / 4;
    m_bins = size / 2 + 1;
    m_binHz = sampleRate / double(size);
    m_hopSeconds = double(hop) / sampleRate;
    m_frames = samples.size() >= size ? (samples.size() - size) / hop + 1 : 0;
    m_power.resize(m_frames * m_bins);
    if (m_frames == 0)
        return;
    std::unique_ptr<float, FftwFree> in(fftwf_alloc_real(size));
    std::unique_ptr<fftwf_complex, FftwFree> out(fftwf_alloc_complex(m_bins));
    const std::unique_ptr<fftwf_plan_s, PlanDestroy> plan(makePlan(int(size), in.get(), out.get()));
    std::vector<float> window(size);
    for (std::size_t i = 0; i < size; ++i)
        window[i] = float(0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(size)));
    for (std::size_t t = 0; t < m_frames; ++t) {
        const float* frame = samples.data() + t * hop;
        for (std::size_t i = 0; i < size; ++i)
            in.get()[i] = frame[i] * window[i];
        fftwf_execute(plan.get());
        for (std::size_t b = 0; b < m_bins; ++b) {
            const fftwf_complex& c = out.get()[b];
            m_power[t * m_bins + b] = c[0] * c[0] + c[1] * c[1];
        }
    }
}

} // namespace orvik::receiver
