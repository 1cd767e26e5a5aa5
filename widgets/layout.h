// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder/channels.h"

#include <array>
#include <string_view>

namespace orvik::layout {

// Everything here is in twips, relative to the container's client area; geometry.h turns
// twips into pixels.

struct Box {
    int left, top, width, height;
};

inline constexpr int kClientWidth = 9975;
inline constexpr int kClientHeight = 10575;

// Panels of the main window. The frame captions are part of the window, not of a channel.
enum class Panel { Status, Power, Temperatures, Rssi, Time };

struct PanelLayout {
    Panel panel;
    std::string_view name;
    std::string_view caption;
    Box box;
};

// clang-format off
inline constexpr std::array<PanelLayout, 5> kPanels{{
    // panel                name      caption          left   top  width height
    {Panel::Rssi,          "Frame4", "RSSI",         { 120, 4680, 3255,  975}},
    {Panel::Temperatures,  "Frame3", "Temperatures", {6720, 1800, 3135, 3135}},
    {Panel::Power,         "Frame2", "Power",        {3480, 1800, 3135, 3135}},
    {Panel::Status,        "Frame1", "Status",       { 120, 1800, 3255, 2775}},
    {Panel::Time,          "Frame6", "",             {3480, 5040, 6375,  615}},
}};
// clang-format on

inline constexpr Box kPicture2{12240, 2160, 1335, 855};
inline constexpr Box kCommand1{120, 10200, 495, 255};
inline constexpr Box kText2{120, 120, 9735, 1575};
inline constexpr Box kHScroll1{8760, 10200, 1095, 255};
inline constexpr Box kFrame8{120, 5760, 9735, 4335};
inline constexpr Box kMSChart1{120, 240, 9495, 3975}; // inside Frame8
// Label2 grows to the left into the free end of the status line, so that the longest
// position text, "#100 / 100", reads whole.
inline constexpr Box kLabel3{720, 10200, 6765, 255};
inline constexpr Box kLabel2{7590, 10200, 1065, 255};

// Columns shared by every channel row of a panel.
inline constexpr int kOptionLeft = 120, kOptionWidth = 1455, kOptionHeight = 195;
inline constexpr int kValueLeft = 1680, kValueHeight = 285;
inline constexpr int kUnitLeft = 2520, kUnitWidth = 375, kUnitHeight = 255;

// Unit labels of channels 1 to 9 sit on the window itself, right of its client area.
inline constexpr int kOffWindowUnitLeft = 13560, kOffWindowUnitTop = 4080, kOffWindowUnitStep = 255;

struct ChannelRow {
    Panel panel;
    int top; // of the option button and value box, and the unit label in the panel
    int valueWidth;
};

// clang-format off
inline constexpr std::array<ChannelRow, kChannelCount> kChannelRows{{
    {Panel::Time,          240, 4095}, //  0, bold value box; unit label at 5880, 240
    {Panel::Status,        600, 1215}, //  1
    {Panel::Status,        840, 1215}, //  2
    {Panel::Status,       1080, 1215}, //  3
    {Panel::Status,       2280, 1215}, //  4
    {Panel::Status,       1320, 1215}, //  5
    {Panel::Status,       1560, 1215}, //  6
    {Panel::Status,        360, 1215}, //  7
    {Panel::Status,       1800, 1215}, //  8
    {Panel::Status,       2040, 1215}, //  9
    {Panel::Rssi,          360,  735}, // 10
    {Panel::Power,        2040,  735}, // 11
    {Panel::Power,        2520,  735}, // 12
    {Panel::Temperatures, 2040,  735}, // 13
    {Panel::Power,         360,  735}, // 14
    {Panel::Power,         600,  735}, // 15
    {Panel::Power,         840,  735}, // 16
    {Panel::Power,        1080,  735}, // 17
    {Panel::Power,        1320,  735}, // 18
    {Panel::Power,        1560,  735}, // 19
    {Panel::Temperatures,  360,  735}, // 20
    {Panel::Temperatures,  600,  735}, // 21
    {Panel::Temperatures,  840,  735}, // 22
    {Panel::Temperatures, 1080,  735}, // 23
    {Panel::Temperatures, 1320,  735}, // 24
    {Panel::Temperatures, 1560,  735}, // 25
    {Panel::Temperatures, 2520,  735}, // 26
    {Panel::Power,        2280,  735}, // 27
    {Panel::Power,        2760,  735}, // 28
    {Panel::Temperatures, 2280,  735}, // 29
    {Panel::Rssi,          600,  735}, // 30
}};
// clang-format on

inline constexpr Box kTimeUnitLabel{5880, 240, kUnitWidth, kUnitHeight};

// About box, client area and controls.
inline constexpr int kAboutWidth = 4710, kAboutHeight = 4575;
inline constexpr Box kAboutImage1{120, 120, 4500, 1500};
inline constexpr Box kAboutLabel1{240, 1800, 3615, 375};
inline constexpr Box kAboutLabel3{240, 2280, 3015, 255};
inline constexpr Box kAboutLabel8{240, 2640, 735, 255};
inline constexpr Box kAboutFrame1{240, 3000, 3495, 615};
inline constexpr Box kAboutLabel2{120, 240, 3255, 255}; // inside Frame1
inline constexpr Box kAboutLabel6{480, 3840, 855, 255};
inline constexpr Box kAboutLabel4{1440, 3840, 1815, 255};
inline constexpr Box kAboutLabel7{480, 4200, 615, 255};
inline constexpr Box kAboutLabel5{1440, 4200, 1815, 255};

} // namespace orvik::layout
