#pragma once

#include <cstdint>

#include "common/core/color.h"

namespace quorvant::button {

// Where the 3D palette comes from (`ColorScheme`); any other number behaves like
// kSystemColors.
inline constexpr std::int32_t kSystemColors = 1;
inline constexpr std::int32_t kFromBackColor = 2;
inline constexpr std::int32_t kFixedGrey = 3;

// The visual styles (`ButtonType`).
inline constexpr std::int32_t kXpStyle = 1;
inline constexpr std::int32_t kClassic3D = 2;
inline constexpr std::int32_t kGlossGradient = 3;
inline constexpr std::int32_t kGlassGradient = 4;
inline constexpr std::int32_t kOfficeXp = 5;

// Colour variants of the XP style (`XpType`).
inline constexpr std::int32_t kXpBlue = 1;
inline constexpr std::int32_t kXpOlive = 2;
inline constexpr std::int32_t kXpSilver = 3;

// The platform's current colours of the six elements the palette may come from.
struct SystemColors {
  Color buttonFace = 0;
  Color buttonText = 0;
  Color buttonShadow = 0;
  Color buttonHighlight = 0;
  Color light3d = 0;
  Color darkShadow3d = 0;
};

// What the drawing uses instead of the colour properties.
struct ButtonPalette {
  Color faceColor = 0;
  Color lightColor = 0;
  Color highlightColor = 0;
  Color shadowColor = 0;
  Color darkShadowColor = 0;
  Color textColor = 0;
  friend bool operator==(const ButtonPalette&, const ButtonPalette&) = default;
};

// The six colours of the gradient styles: normal, hovered and pressed.
struct GradientColors {
  Color midColor = 0;
  Color endColor = 0;
  Color mouseMoveMidColor = 0;
  Color mouseMoveEndColor = 0;
  Color mouseDownMidColor = 0;
  Color mouseDownEndColor = 0;
  friend bool operator==(const GradientColors&, const GradientColors&) = default;
};

struct OfficeXpColors {
  Color fillColor = 0;
  Color frameColor = 0;
  Color mousemoveFillColor = 0;
  Color mousemoveFrameColor = 0;
  friend bool operator==(const OfficeXpColors&, const OfficeXpColors&) = default;
};

inline constexpr GradientColors kDefaultGradient{Rgb(116, 200, 115), Rgb(215, 246, 215),
                                                 Rgb(53, 163, 51),   Rgb(245, 252, 244),
                                                 Rgb(132, 208, 133), Rgb(0, 0, 0)};
// Set when a button becomes a glass button, so it starts out blue.
inline constexpr GradientColors kGlassPreset{Rgb(124, 171, 255), Rgb(191, 211, 255),
                                             Rgb(157, 203, 255), Rgb(209, 231, 255),
                                             Rgb(100, 153, 255), Rgb(191, 211, 255)};
inline constexpr std::int16_t kGlassPresetPercent = 53;
// A glass button on the system palette turns neutral grey.
inline constexpr GradientColors kGreyPreset{Rgb(197, 197, 197), Rgb(238, 238, 238),
                                            Rgb(123, 167, 211), Rgb(210, 245, 251),
                                            Rgb(227, 167, 105), Rgb(252, 220, 199)};

inline constexpr OfficeXpColors kDefaultOfficeXp{Rgb(222, 222, 160), Rgb(188, 188, 66),
                                                 Rgb(220, 220, 186), Rgb(127, 128, 1)};
inline constexpr OfficeXpColors kFixedGreyOfficeXp{Rgb(236, 233, 216), Rgb(172, 169, 154),
                                                   Rgb(193, 210, 238), Rgb(49, 105, 198)};

// Adds delta to red and green; blue gets delta too, or, when proportionalBlue, its own
// share blue * delta / 192 (truncated), which keeps bluish faces from washing out.
// Each channel is clamped to 0..255.
Color ShiftColor(Color color, int delta, bool proportionalBlue = false);

// Adds a delta per channel and clamps each channel to 0 .. the ceiling's channel.
Color ShiftColorClamped(Color color, int redDelta, int greenDelta, int blueDelta, Color ceiling);

// The colours a scheme may overwrite besides the palette itself.
struct SchemeInputs {
  std::int32_t colorScheme = kSystemColors;
  std::int32_t buttonType = kXpStyle;
  Color backColor = 0;
  Color foreColor = 0;
};

// Derives the palette for the scheme. The fixed-grey scheme also resets the four
// OfficeXp colours; the system scheme turns a glass button's gradient to the grey preset.
ButtonPalette ApplyColorScheme(const SchemeInputs& inputs, const SystemColors& system,
                               GradientColors& gradient, OfficeXpColors& officeXp);

}  // namespace quorvant::button
