// The two gradient styles: bands of vertical gradients whose heights follow `Percent`.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

#include "button/core/button_painter.h"
#include "button/core/paint_math.h"

namespace quorvant::button {

namespace {

constexpr Color kGlossFrameSystem = Rgb(183, 183, 183);
constexpr Color kGlossFrameOther = Rgb(1, 109, 1);
constexpr Color kGlossHoverFrameSystem = Rgb(82, 134, 182);
constexpr Color kGlossPressedFrameSystem = Rgb(203, 130, 62);
constexpr Color kGlossPressedFrameOther = Rgb(84, 157, 84);
constexpr Color kGlossDisabledFace = Rgb(241, 242, 237);
constexpr Color kGlossDisabledFrame = Rgb(204, 204, 202);
constexpr Color kGradientDisabledText = Rgb(171, 168, 153);

constexpr Color kGlassFrame = Rgb(81, 107, 148);
constexpr Color kGlassInnerFrame = Rgb(211, 229, 255);
constexpr Color kGlassSecondFrame = Rgb(201, 216, 255);
constexpr Color kGlassLightLine = Rgb(207, 234, 255);
constexpr Color kGlassDisabledMid = Rgb(198, 218, 255);
constexpr Color kGlassDisabledFrame = Rgb(128, 140, 162);
constexpr Color kGlassDisabledEnd = Rgb(232, 242, 255);
constexpr int kGlassDisabledPercent = 53;
// The flat band of the glass style is this share of the button's height.
constexpr double kGlassFlatShare = 0.27;
constexpr int kGlassFlatPercent = 27;

using Channels = std::array<int, 3>;
using Accumulators = std::array<float, 3>;

Channels ChannelsOf(Color c) { return {RedOf(c), GreenOf(c), BlueOf(c)}; }

Accumulators AccumulatorsOf(Color c) {
  return {static_cast<float>(RedOf(c)), static_cast<float>(GreenOf(c)),
          static_cast<float>(BlueOf(c))};
}

Color ColorOf(const Accumulators& a) { return NearestRgb(a[0], a[1], a[2]); }

// Per-channel steps (end - mid) / divisor; empty when the divisor is zero, which makes
// the band undefined, so the caller skips it.
std::optional<Accumulators> FloatSteps(Color mid, Color end, double divisor) {
  if (divisor == 0) return std::nullopt;
  const Channels m = ChannelsOf(mid), e = ChannelsOf(end);
  Accumulators steps{};
  for (size_t k = 0; k < 3; ++k) steps[k] = static_cast<float>((e[k] - m[k]) / divisor);
  return steps;
}

std::optional<Channels> IntegerSteps(Color mid, Color end, double divisor) {
  if (divisor == 0) return std::nullopt;
  const Channels m = ChannelsOf(mid), e = ChannelsOf(end);
  Channels steps{};
  for (size_t k = 0; k < 3; ++k) steps[k] = Nearest((e[k] - m[k]) / divisor);
  return steps;
}

void Advance(Accumulators& a, const Accumulators& steps) {
  for (size_t k = 0; k < 3; ++k) a[k] = std::clamp(a[k] + steps[k], 0.0f, 255.0f);
}

void Advance(Channels& c, const Channels& steps) {
  for (size_t k = 0; k < 3; ++k) c[k] = std::clamp(c[k] + steps[k], 0, 255);
}

// One pixel of a gloss row: white at i = 0, reaching the end colour at i = divisor.
Color GlossShade(Color end, int i, int divisor) {
  const auto shade = [&](int channel) { return 255 - ((255 - channel) * i) / divisor; };
  return ClampedRgb(shade(RedOf(end)), shade(GreenOf(end)), shade(BlueOf(end)));
}

}  // namespace

void ButtonPainter::PaintGlossGradient(Color mid, Color frame, Color end, int percent, bool solid) {
  const int w = W(), h = H();
  if (solid) {
    Fill(1, 1, w - 2, h - 2, mid);
    PaintRoundFrame(frame, frame);
    return;
  }
  const std::int32_t product = h * percent;
  const double t = product / 100.0;  // height of the top band

  // Top band: mid at its lowest row, about end at row 1.
  if (const auto steps = FloatSteps(mid, end, t - 1)) {
    Accumulators a = AccumulatorsOf(mid);
    for (int y = Nearest(t); y >= 1; --y) {
      Row(y, ColorOf(a));
      Advance(a, *steps);
    }
  }

  // Gloss: row 1 fades from white to end across the width, row 2 within a third of it.
  if (const int divisor = w - 10; divisor != 0) {
    for (int i = 0; i <= w - 4; ++i) Pixel(i + 2, 1, GlossShade(end, i, divisor));
  }
  if (const int divisor = w - (2 * w) / 3 - 2; divisor != 0) {
    for (int i = 0; i <= w - w / 3 - 2; ++i) Pixel(i + 2, 2, GlossShade(end, i, divisor));
  }

  Row(Nearest(t + 1), mid);
  Row(Nearest(t + 2), mid);

  // Lower band: mid just below the top band, about end at the bottom.
  if (const auto steps = FloatSteps(mid, end, h - t - 4)) {
    Accumulators a = AccumulatorsOf(mid);
    for (int y = Nearest(t + 3); y <= h - 4; ++y) {
      Row(y, ColorOf(a));
      Advance(a, *steps);
    }
  }

  // Too low for the shading rows and the frame.
  if (h < 10) return;
  // The shading rows continue the lower band's colour at that height.
  const Color q = canvas_.GetPixel(2, h - 10).value_or(Rgb(0, 0, 0));
  Row(h - 9, q);
  Row(h - 8, q);
  Row(Nearest(t + 5), mid);
  Line(1, h - 3, w - 2, h - 3, q);
  Line(1, h - 2, w - 2, h - 2, q);
  PaintRoundFrame(frame, frame);
}

void ButtonPainter::PaintGlassGradient(Color mid, Color frame, Color end, int percent) {
  const int w = W(), h = H();
  const std::int32_t product = h * percent;
  const double t = product / 100.0;  // height of the top band

  // Top band: mid lightened by 10 at its lowest row, about end at row 3.
  if (const auto steps = IntegerSteps(mid, end, t - 1)) {
    Channels c = ChannelsOf(mid);
    for (int& channel : c) channel += 10;
    for (int n = Nearest(t); n >= 3; --n) {
      Row(n, ClampedRgb(c[0], c[1], c[2]));
      Advance(c, *steps);
    }
  }

  const auto lowerSteps = IntegerSteps(mid, end, h - t - 4);

  // Flat band.
  for (int y = Nearest(t + 1); y <= Nearest(t + kGlassFlatShare * h); ++y) Row(y, mid);

  // Lower band, starting on the flat band's last row.
  if (lowerSteps) {
    Channels c = ChannelsOf(mid);
    for (int& channel : c) channel += 5;
    for (int y = Nearest((percent + kGlassFlatPercent) * h / 100.0); y <= h - 4; ++y) {
      Row(y, ClampedRgb(c[0], c[1], c[2]));
      Advance(c, *lowerSteps);
    }
  }

  Frame(1, 1, w - 2, h - 2, kGlassInnerFrame);
  Frame(2, 2, w - 4, h - 4, kGlassSecondFrame);
  Row(h - 3, kGlassLightLine);
  PaintRoundFrame(frame, frame);
}

void ButtonPainter::GlossUp() {
  const GradientColors& g = props_.gradient;
  const bool system = props_.colorScheme == kSystemColors;
  PaintGlossGradient(g.midColor, system ? kGlossFrameSystem : kGlossFrameOther, g.endColor,
                     props_.percent, false);
  if (flags_.isHovering) {
    PaintGlossGradient(g.mouseMoveMidColor, system ? kGlossHoverFrameSystem : kGlossFrameOther,
                       g.mouseMoveEndColor, props_.percent, false);
  }
  if (flags_.defaultLook) PaintFocusRect();
  CaptionUp(palette_.textColor);
}

void ButtonPainter::GlossDown() {
  const GradientColors& g = props_.gradient;
  if (props_.colorScheme == kSystemColors) {
    PaintGlossGradient(g.mouseDownMidColor, kGlossPressedFrameSystem, g.mouseDownEndColor,
                       props_.percent, false);
  } else {
    PaintGlossGradient(g.mouseDownMidColor, kGlossPressedFrameOther, g.mouseDownEndColor,
                       props_.percent, true);
  }
  CaptionDown(palette_.textColor);
  if (flags_.focusWanted) PaintFocusRect();
}

void ButtonPainter::GlossDisabled() {
  Fill(1, 1, W() - 2, H() - 2, kGlossDisabledFace);
  PaintRoundFrame(kGlossDisabledFrame, kGlossDisabledFrame);
  CaptionUp(kGradientDisabledText);
}

void ButtonPainter::GlassUp() {
  const GradientColors& g = props_.gradient;
  if (flags_.isHovering) {
    PaintGlassGradient(g.mouseMoveMidColor, kGlassFrame, g.mouseMoveEndColor, props_.percent);
  } else {
    PaintGlassGradient(g.midColor, kGlassFrame, g.endColor, props_.percent);
  }
  if (flags_.defaultLook) PaintFocusRect();
  CaptionUp(palette_.textColor);
}

void ButtonPainter::GlassDown() {
  const GradientColors& g = props_.gradient;
  PaintGlassGradient(g.mouseDownMidColor, kGlassFrame, g.mouseDownEndColor, props_.percent);
  CaptionDown(palette_.textColor);
  if (flags_.focusWanted) PaintFocusRect();
}

// Ignores every colour property and `Percent`.
void ButtonPainter::GlassDisabled() {
  PaintGlassGradient(kGlassDisabledMid, kGlassDisabledFrame, kGlassDisabledEnd,
                     kGlassDisabledPercent);
  CaptionUp(kGradientDisabledText);
}

}  // namespace quorvant::button
