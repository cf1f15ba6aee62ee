// The window's controls as designed: place, size, colours, texts, pictures.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "platform/controls.h"

namespace tolvane::layout {

// The layout tables give places and sizes in fifteenths of a pixel, which
// keeps every designed value a whole number.
constexpr float kUnitsPerPixel = 15.0f;
constexpr float px(float units) { return units / kUnitsPerPixel; }

// Every control of the window, in design order.
std::vector<platform::ControlState> designedControls();

// The sixteen palette colours, Swatch(0) to Swatch(15), 0x00BBGGRR.
extern const std::array<ColorRef, 16> kPalette;
constexpr ColorRef kStartColor = 0x000000FF;      // the colour at start, shown by Swatch(16): red
constexpr float kStartTextSize = 11;              // the text size at start, shown by SizeBox
constexpr ColorRef kFrameColor = 0x00EC7A00;      // selection frame, handles, labels' text
constexpr ColorRef kPanelColor = 0x00FFEEDE;
constexpr ColorRef kPanelFrameColor = 0x00FF8080;

// Toolbar buttons by Index: tooltip texts.
extern const std::array<std::string_view, 9> kToolTips;
// Font sizes offered by SizeList.
extern const std::array<std::string_view, 9> kFontSizes;

constexpr std::string_view kCaption = "Tolvane";
constexpr std::string_view kLabelFace = "宋体";
constexpr float kLabelPoints = 10.5f;

}  // namespace tolvane::layout
