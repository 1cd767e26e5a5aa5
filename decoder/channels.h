// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orvik {

// One step of a conversion formula, applied to the running value from left to right.
struct Step {
    char op = 0; // '*', '/', '+' or '-'
    double k = 0;
};

// A conversion evaluated strictly left to right in double precision: v*4.5/255*74.9/18.7
// is (((v*4.5)/255)*74.9)/18.7, never a folded constant, so results stay bit-identical.
struct Formula {
    std::array<Step, 4> steps{};
    int size = 0;

    constexpr Formula then(char op, double k) const
    {
        Formula f = *this;
        f.steps[std::size_t(f.size++)] = Step{op, k};
        return f;
    }
    constexpr Formula mul(double k) const { return then('*', k); }
    constexpr Formula div(double k) const { return then('/', k); }
    constexpr Formula add(double k) const { return then('+', k); }
    constexpr Formula sub(double k) const { return then('-', k); }

    constexpr double apply(double x) const
    {
        for (int i = 0; i < size; ++i) {
            const Step s = steps[std::size_t(i)];
            switch (s.op) {
            case '*': x = x * s.k; break;
            case '/': x = x / s.k; break;
            case '+': x = x + s.k; break;
            case '-': x = x - s.k; break;
            }
        }
        return x;
    }
};

inline constexpr Formula v{};

struct Channel {
    int frame;          // 1..6, the frame that carries the field
    int pos;            // first character of the field, counted from 1
    int len;            // characters in the field
    std::uint32_t mask; // 0: the whole value
    Formula formula;
    std::string_view caption;
    std::string_view unit; // UTF-8
    bool whole = false;    // shown as a whole number: time, counters and status words
};

inline constexpr int kChannelCount = 31;
inline constexpr int kBeaconLength = 120;

// clang-format off
inline constexpr std::array<Channel, kChannelCount> kChannels{{
    // frame pos len mask  conversion                                  caption              unit        whole
    {1,   6, 6, 0x00, v,                                             "OBC Time",          "",          true},
    {2,  18, 2, 0x1F, v,                                             "Uplink Counter",    "C",         true},
    {2,  18, 2, 0xE0, v.div(32),                                     "Camera Counter",    "C",         true},
    {2,  20, 2, 0x07, v,                                             "SEL Counter",       "C",         true},
    {2,  20, 2, 0x08, v.div(8),                                      "Antenna",           "C",         true},
    {2,  20, 2, 0x30, v.div(16),                                     "CW Duty",           "C",         true},
    {2,  20, 2, 0x40, v,                                             "Start Cause",       "C",         true},
    {2,  20, 2, 0x80, v,                                             "Charge Status",     "C",         true},
    {2,  22, 2, 0x00, v,                                             "OBC Survial",       "C",         true},
    {2,  22, 2, 0x00, v,                                             "TNC Survival",      "",          true},
    {2,  24, 2, 0x00, v.mul(4.8011718).div(255),                     "RSSI (orv2)",       "dB\u00B5", false},
    {3,  32, 2, 0x00, v.mul(0.0752884),                              "Battery Volt*",     "V",        false},
    {3,  34, 2, 0x00, v.mul(0.0753968),                              "SolarArray Volt*",  "V",        false},
    {3,  36, 2, 0x00, v.mul(0.6945).sub(75),                         "Battery Temp*",     "C",        false},
    {4,  44, 2, 0x00, v.mul(2.3957).add(2.7037),                     "SolarCurr +X",      "mA",       false},
    {4,  46, 2, 0x00, v.mul(2.3823).add(2.3217),                     "SolarCurr -X",      "mA",       false},
    {4,  48, 2, 0x00, v.mul(2.4234).add(1.6915),                     "SolarCurr +Y",      "mA",       false},
    {4,  50, 2, 0x00, v.mul(2.3724).add(3.2306),                     "SolarCurr -Y",      "mA",       false},
    {4,  52, 2, 0x00, v.mul(2.384).add(2.1696),                      "SolarCurr +Z",      "mA",       false},
    {4,  54, 2, 0x00, v.mul(2.4341).add(4.7714),                     "SolarCurr -Z",      "mA",       false},
    {5,  62, 2, 0x00, v.mul(0.5896).sub(65.614),                     "PanelTemp +X",      "C",        false},
    {5,  64, 2, 0x00, v.mul(0.5916).sub(66.133),                     "PanelTemp -X",      "C",        false},
    {5,  66, 2, 0x00, v.mul(0.5862).sub(65.813),                     "PanelTemp +Y",      "C",        false},
    {5,  68, 2, 0x00, v.mul(0.5846).sub(66.28),                      "PanelTemp -Y",      "C",        false},
    {5,  70, 2, 0x00, v.mul(0.588).sub(64.903),                      "PanelTemp +Z",      "C",        false},
    {5,  72, 2, 0x00, v.mul(0.5932).sub(66.483),                     "PanelTemp -Z",      "C",        false},
    {6,  80, 2, 0x00, v.mul(0.5811).sub(67.055),                     "FM TX Temp",        "C",        false},
    {6,  82, 2, 0x00, v.mul(4.5).div(255),                           "Battery Volt",      "V",        false},
    {6,  84, 2, 0x00, v.mul(4.5).div(255).mul(74.9).div(18.7),       "SolarArray Volt",   "V",        false},
    {6,  86, 2, 0x00, v.mul(0.5948).sub(67.203),                     "Battery Temp",      "C",        false},
    {6,  88, 2, 0x00, v.mul(4.8011718).div(255),                     "RSSI (orv6)",       "dB\u00B5", false},
}};
// clang-format on

// The channel charted when a log is first decoded.
inline constexpr int kFirstChartedChannel = 11;
static_assert(kChannels[kFirstChartedChannel].caption == "Battery Volt*");

// The channel of the on-board time, which counts seconds.
inline constexpr int kOnBoardTimeChannel = 0;
static_assert(kChannels[kOnBoardTimeChannel].caption == "OBC Time");

// The frame tags and where they start, counted from 1.
struct FrameTag {
    int pos;
    std::u16string_view tag;
};

// clang-format off
inline constexpr std::array<FrameTag, 6> kFrameTags{{
    { 1, u"orv1"}, {13, u"orv2"}, {27, u"orv3"}, {39, u"orv4"}, {57, u"orv5"}, {75, u"orv6"},
}};
// clang-format on

} // namespace orvik
