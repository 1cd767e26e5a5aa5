// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A season of generated passes as archive entries: real beacon lines, decoded by the decoder.
// Each day brings up to six passes of 6 to 16 minutes with a beacon every 20 to 30 seconds.
// The battery sags slowly, temperatures follow the season and swing within a pass, the
// signal rises and falls with the satellite's elevation, the transmitter warms while it sends.

#include "decoder/beacon.h"
#include "archive/archive.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik::season {

class Random {
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed ? seed : 1)
    {}
    std::uint64_t next()
    {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Du;
    }
    double uniform() { return double(next() >> 11) / double(1ull << 53); }
    double between(double a, double b) { return a + (b - a) * uniform(); }

private:
    std::uint64_t m_state;
};

// The raw field that a channel's conversion turns nearest to `value`.
inline int rawFor(int channel, double value)
{
    const Channel& ch = kChannels[std::size_t(channel)];
    const double at0 = ch.formula.apply(0);
    const double at255 = ch.formula.apply(255);
    const double raw = (value - at0) / (at255 - at0) * 255;
    return std::clamp(int(std::lround(raw)), 0, 255);
}

// A beacon line whose two-digit fields hold the given raw bytes; `obc` is the on-board time.
inline std::string beaconLine(std::uint32_t obc, std::uint32_t flags,
                              const std::array<int, kChannelCount>& raw)
{
    std::string line = "orv1 000000 orv2 00000000 orv3 000000 orv4 000000000000 orv5 000000000000 orv6 "
                       "00000000000000000000000000000000000000000";
    static const char hex[] = "0123456789abcdef";
    const auto put = [&](int pos, int len, std::uint32_t v) {
        for (int i = len - 1; i >= 0; --i, v >>= 4)
            line[std::size_t(pos - 1 + i)] = hex[v & 15];
    };
    put(6, 6, obc & 0xFFFFFF);
    put(18, 8, flags);
    for (int c = 10; c < kChannelCount; ++c)
        put(kChannels[std::size_t(c)].pos, 2, std::uint32_t(raw[std::size_t(c)]));
    return line;
}

struct Options {
    QDate first;
    int days = 100;
    std::uint64_t seed = 14;
};

inline std::vector<ArchiveEntry> generate(const Options& o)
{
    std::vector<ArchiveEntry> out;
    Random rng(o.seed);
    const qint64 start = QDateTime(o.first, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    // The on-board clock started 40 days before the season.
    const qint64 clockStart = start - 40LL * 86400 * 1000;
    std::uint32_t uplinks = 0;
    for (int day = 0; day < o.days; ++day) {
        const double season = double(day) / std::max(1, o.days - 1); // 0 .. 1
        // Two windows of visibility a day, three orbits of 95 minutes each, drifting.
        for (int k = 0; k < 6; ++k) {
            if (rng.uniform() < 0.25)
                continue; // a pass nobody copied
            const double drift = std::fmod(day * 7.0, 95.0);
            const double startMin = (k < 3 ? 8 * 60 : 19 * 60) + (k % 3) * 95 + drift + rng.between(-5, 5);
            const double duration = rng.between(6, 16) * 60; // seconds
            const double interval = rng.between(20, 30);
            const double peak = rng.between(0.4, 1.0); // of the highest elevation
            const bool evening = k >= 3;
            const double eclipseAt = evening ? rng.between(0.2, 0.8) : 2.0;
            ++uplinks;
            for (double t = 0; t <= duration; t += interval) {
                const double f = t / duration; // 0 .. 1 through the pass
                const double elevation = std::sin(M_PI * f) * peak;
                const bool sunlit = f < eclipseAt;
                const qint64 at = start + qint64((day * 1440.0 + startMin) * 60000.0 + t * 1000.0);
                std::array<int, kChannelCount> raw{};
                const double noise = rng.between(-1, 1);
                const double battery =
                    4.12 - 0.22 * season - 0.06 * season * season - (sunlit ? 0 : 0.05) + 0.012 * noise;
                const double cold = 9 - 13 * season; // the season's mean temperature
                const double swing = sunlit ? 6 * f : 6 * eclipseAt - 9 * (f - eclipseAt);
                raw[10] = rawFor(10, 0.4 + 3.6 * elevation + 0.15 * rng.between(-1, 1));
                raw[30] = rawFor(30, 0.3 + 3.7 * elevation + 0.15 * rng.between(-1, 1));
                raw[11] = rawFor(11, battery + 0.01 * rng.between(-1, 1));
                raw[27] = rawFor(27, battery);
                raw[12] = rawFor(12, sunlit ? 5.6 + 0.3 * noise : 0.2);
                raw[28] = rawFor(28, sunlit ? 5.5 + 0.3 * noise : 0.15);
                raw[13] = rawFor(13, cold + 2 + swing * 0.4);
                raw[29] = rawFor(29, cold + 1.5 + swing * 0.4 + 0.3 * noise);
                for (int c = 14; c <= 19; ++c) {
                    const double face = std::sin(2 * M_PI * (f * 1.7 + c * 0.37 + day * 0.11));
                    raw[std::size_t(c)] = rawFor(c, sunlit ? std::max(0.0, 280 * face) + 4 : 4);
                }
                for (int c = 20; c <= 25; ++c) {
                    const double face = std::sin(2 * M_PI * (f * 0.8 + c * 0.29));
                    raw[std::size_t(c)] = rawFor(c, cold - 4 + swing + 8 * face);
                }
                raw[26] = rawFor(26, cold + 6 + 9 * f + 0.4 * noise);
                const auto obc = std::uint32_t((at - clockStart) / 1000);
                const std::uint32_t flags = ((uplinks & 0x1F) << 24) | (0x0A << 16) | (0x00 << 8);
                const std::string line = beaconLine(obc, flags, raw);
                ArchiveEntry e;
                e.line = line;
                decodeBeaconLine(std::u16string(line.begin(), line.end()), e.values);
                e.receivedMs = at;
                e.source = QStringLiteral("season:%1").arg(out.size() + 1);
                out.push_back(std::move(e));
            }
        }
    }
    return out;
}

} // namespace orvik::season
