#include "button/core/color_scheme.h"

#include <algorithm>

namespace quorvant::button {

namespace {

int ClampChannel(int value, int ceiling = 255) { return std::clamp(value, 0, ceiling); }

}  // namespace

Color ShiftColor(Color color, int delta, bool proportionalBlue) {
  const int red = static_cast<int>(color % 256);
  const int green = static_cast<int>((color / 256) % 256);
  const int blue = static_cast<int>((color / 65536) % 256);
  const int shiftedBlue = proportionalBlue ? blue + (blue * delta) / 192 : blue + delta;
  return Rgb(ClampChannel(red + delta), ClampChannel(green + delta), ClampChannel(shiftedBlue));
}

Color ShiftColorClamped(Color color, int redDelta, int greenDelta, int blueDelta, Color ceiling) {
  return Rgb(ClampChannel(RedOf(color) + redDelta, RedOf(ceiling)),
             ClampChannel(GreenOf(color) + greenDelta, GreenOf(ceiling)),
             ClampChannel(BlueOf(color) + blueDelta, BlueOf(ceiling)));
}

ButtonPalette ApplyColorScheme(const SchemeInputs& inputs, const SystemColors& system,
                               GradientColors& gradient, OfficeXpColors& officeXp) {
  ButtonPalette palette;
  switch (inputs.colorScheme) {
    case kFromBackColor: {
      const Color face = inputs.backColor;
      palette.faceColor = face;
      palette.shadowColor = ShiftColor(face, -64);
      palette.lightColor = ShiftColor(face, 31);
      palette.highlightColor = ShiftColor(face, 47);
      palette.darkShadowColor = ShiftColor(face, -192);
      palette.textColor = inputs.foreColor;
      break;
    }
    case kFixedGrey:
      palette.faceColor = Rgb(192, 192, 192);
      palette.shadowColor = Rgb(128, 128, 128);
      palette.lightColor = Rgb(223, 223, 223);
      palette.highlightColor = Rgb(255, 255, 255);
      palette.darkShadowColor = Rgb(0, 0, 0);
      palette.textColor = Rgb(0, 0, 0);
      officeXp = kFixedGreyOfficeXp;
      break;
    default:
      palette.faceColor = system.buttonFace;
      palette.shadowColor = system.buttonShadow;
      palette.lightColor = system.light3d;
      palette.highlightColor = system.buttonHighlight;
      palette.darkShadowColor = system.darkShadow3d;
      palette.textColor = inputs.foreColor;
      if (inputs.buttonType == kGlassGradient) gradient = kGreyPreset;
      break;
  }
  return palette;
}

}  // namespace quorvant::button
