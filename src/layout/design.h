// The window's controls as designed: place, size, colours, texts, pictures.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "platform/controls.h"

namespace tolvane::layout {

constexpr float kTwipsPerPixel = 15.0f;
constexpr float px(float twips) { return twips / kTwipsPerPixel; }

// Every control of the window, in design order.
std::vector<platform::ControlState> designedControls();

// The sixteen palette colours, Pcolor(0) to Pcolor(15), 0x00BBGGRR.
extern const std::array<ColorRef, 16> kPalette;
constexpr ColorRef kStartColor = 0x000000FF;      // Pcolor(16) at start: red
constexpr ColorRef kFrameColor = 0x00EC7A00;      // selection frame, handles, labels' text
constexpr ColorRef kPanelColor = 0x00FFEEDE;
constexpr ColorRef kPanelFrameColor = 0x00FF8080;

// Toolbar buttons by Index: tooltip texts.
extern const std::array<std::string_view, 9> kToolTips;
// Font sizes offered by Combo1.
extern const std::array<std::string_view, 9> kFontSizes;

constexpr std::string_view kCaption = "Tolvane";
constexpr std::string_view kLabelFace = "宋体";
constexpr float kLabelPoints = 10.5f;

}  // namespace tolvane::layout
