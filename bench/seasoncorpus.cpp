// SPDX-License-Identifier: GPL-3.0-or-later
#include "seasoncorpus.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvik::bench {

namespace {

constexpr double kHour = 3600;
constexpr std::uint32_t kClockWrap = 1u << 24;

// Where the fields lie in Beacon::bytes.
enum Byte : std::size_t {
    kCounters = 0,
    kFlags,
    kSurvival,
    kRssi2,
    kBattery3,
    kSolar3,
    kBatteryTemp3,
    kCurrents,
    kPanelTemps = kCurrents + 6,
    kTxTemp = kPanelTemps + 6,
    kBattery6,
    kSolar6,
    kBatteryTemp6,
    kRssi6,
};
static_assert(kRssi6 + 1 == kBytePositions.size());

std::uint8_t byteOf(double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

// What the satellite carries from pass to pass.
struct Satellite {
    std::uint32_t clock = 0; // on-board time at the season's start
    std::uint32_t uplinks = 0;
    std::uint32_t camera = 0;
    std::uint32_t sel = 0;
    std::uint32_t survival = 0;
};

struct Pass {
    double start = 0;   // seconds into the season
    double length = 0;  // seconds
    double peak = 1;    // of the highest elevation
    double eclipse = 2; // fraction of the pass from which the satellite is in shadow
    double season = 0;  // 0 .. 1
};

Beacon beaconAt(const Satellite& sat, const Pass& pass, double t, Random& random)
{
    const double f = t / pass.length;
    const double elevation = std::sin(std::numbers::pi * f) * pass.peak;
    const bool sunlit = f < pass.eclipse;
    // Temperatures climb while the sun shines and fall in shadow, a unit in several minutes.
    const double shade = pass.eclipse * pass.length;
    const double warm = sunlit ? t / 400 : shade / 400 - (t - shade) / 300;
    const double cold = -20 * pass.season;
    const auto jitter = [&] { return random.uniform() < 0.05 ? random.between(-1.2, 1.2) : 0.0; };
    Beacon b;
    b.time = std::uint32_t(std::fmod(double(sat.clock) + pass.start + t, double(kClockWrap)));
    b.bytes[kCounters] = std::uint8_t(((sat.camera & 7) << 5) | (sat.uplinks & 0x1F));
    b.bytes[kFlags] = std::uint8_t((sat.sel & 7) | 0x08 | 0x20 | (sunlit ? 0x80 : 0));
    b.bytes[kSurvival] = std::uint8_t(sat.survival);
    b.bytes[kRssi2] = byteOf(60 + 25 * elevation + jitter());
    b.bytes[kRssi6] = byteOf(55 + 25 * elevation + jitter());
    b.bytes[kBattery3] = byteOf(165 - 12 * pass.season - (sunlit ? 0 : 3));
    b.bytes[kBattery6] = byteOf(200 - 15 * pass.season - (sunlit ? 0 : 3));
    b.bytes[kSolar3] = byteOf(sunlit ? 200 : 8);
    b.bytes[kSolar6] = byteOf(sunlit ? 150 : 5);
    b.bytes[kBatteryTemp3] = byteOf(130 + cold + warm / 2);
    b.bytes[kBatteryTemp6] = byteOf(120 + cold + warm / 2);
    b.bytes[kTxTemp] = byteOf(110 + cold + t / 300);
    for (std::size_t face = 0; face < 6; ++face) {
        // The satellite turns slowly: a turn a day.
        const double turn = 2 * std::numbers::pi * ((pass.start + t) / 86400 + double(face) / 6);
        b.bytes[kCurrents + face] = byteOf(sunlit ? std::max(0.0, 60 * std::sin(turn)) : 0);
        b.bytes[kPanelTemps + face] = byteOf(120 + cold + warm + 4.3 * double(face));
    }
    return b;
}

// The passes of the season and their beacons, into the corpus.
std::vector<std::vector<std::uint32_t>> sendSeason(Corpus& c, const SeasonOptions& o, Random& random)
{
    const LineFormat format = seasonFormat(o.seed, o.varied);
    Satellite sat;
    sat.clock = std::uint32_t(random.below(kClockWrap));
    std::vector<std::vector<std::uint32_t>> passes;
    double start = random.between(4, 7) * kHour;
    while (c.sent.size() < o.beacons) {
        Pass pass;
        pass.start = std::round(start);
        pass.length = std::round(random.between(360, 900));
        pass.peak = random.between(0.3, 1.0);
        pass.eclipse = passes.size() % 2 == 1 ? random.between(0.3, 0.7) : 2.0;
        pass.season = double(c.sent.size()) / double(std::max<std::size_t>(1, o.beacons));
        sat.uplinks += random.uniform() < 0.4;
        sat.camera += random.uniform() < 0.05;
        sat.sel += random.uniform() < 0.02;
        ++sat.survival;
        passes.emplace_back();
        for (double t = 0; t <= pass.length && c.sent.size() < o.beacons; t += o.period) {
            passes.back().push_back(std::uint32_t(c.sent.size()));
            c.addBeacon(beaconAt(sat, pass, t, random), format, std::uint32_t(passes.size() - 1));
        }
        // Hours between passes, and a longer gap each night.
        start += pass.length + random.between(1.5, 4) * kHour + (passes.size() % 5 == 0 ? 6 * kHour : 0);
    }
    return passes;
}

} // namespace

LineFormat seasonFormat(std::uint64_t seed, bool varied)
{
    if (!varied)
        return blankFormat('0');
    Random random(seed ^ 0xA5A5F00Du);
    LineFormat f;
    for (char& s : f.separators)
        s = filler(random);
    for (char& t : f.tail)
        t = filler(random);
    return f;
}

Corpus makeSeason(const SeasonOptions& o)
{
    Random random(o.seed);
    Corpus c;
    const std::vector<std::vector<std::uint32_t>> passes = sendSeason(c, o, random);
    // Each station's log, pass by pass.
    std::vector<std::vector<std::vector<Heard>>> logs(std::size_t(std::max(1, o.stations)));
    for (std::size_t s = 0; s < logs.size(); ++s) {
        Random station(o.seed * 1000 + s + 1);
        for (const std::vector<std::uint32_t>& pass : passes) {
            logs[s].emplace_back();
            if (station.uniform() < 0.1)
                continue; // a pass this station did not hear
            for (std::size_t i = 0; i < pass.size(); ++i) {
                const double low = 1 - std::sin(std::numbers::pi * (double(i) + 0.5) / double(pass.size()));
                if (station.uniform() < 0.04 + 0.16 * low)
                    continue;
                std::string text = c.sent[pass[i]];
                if (station.uniform() < timeMiscopyRate(o.rate))
                    text = withTimeMiscopied(std::move(text), station);
                logs[s].back().push_back({pass[i], hear(text, o.rate, station)});
            }
        }
    }
    const auto add = [&c](std::vector<Heard>& log) {
        for (Heard& h : log)
            c.addCopy(h.beacon, std::move(h.text));
    };
    for (std::size_t p = 0; p < passes.size() && o.merge == Merge::Interleave; ++p) {
        for (auto& log : logs)
            add(log[p]);
    }
    for (std::size_t s = 0; s < logs.size() && o.merge == Merge::Concatenate; ++s) {
        for (auto& pass : logs[s])
            add(pass);
    }
    return c;
}

} // namespace orvik::bench
