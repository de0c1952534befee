#include "button/core/button_painter.h"

#include <algorithm>

#include "button/core/paint_math.h"

namespace quorvant::button {

namespace {

// The XP style's rounded outer frame: edge lines and the corner pixels inside them.
constexpr Color kXpFrameEdge = Rgb(0, 60, 115);
constexpr Color kXpFrameCorner = Rgb(16, 77, 123);
constexpr Color kOliveHover = Rgb(228, 144, 80);
constexpr Color kOliveDefault = Rgb(122, 184, 98);
constexpr Color kOliveBottomBase = Rgb(242, 237, 218);

constexpr Color kBlueDefaultOuter = Rgb(140, 174, 231);
constexpr Color kBlueDefaultBottom = Rgb(107, 130, 239);
constexpr Color kBlueDefaultTop = Rgb(206, 231, 255);
constexpr Color kBlueDefaultSecond = Rgb(189, 215, 247);
constexpr Color kBlueDefaultSides = Rgb(181, 209, 240);

constexpr Color kXpDisabledFace = Rgb(244, 244, 234);
constexpr Color kXpDisabledText = Rgb(161, 162, 146);
constexpr Color kXpDisabledFrame = Rgb(201, 199, 186);

constexpr Color kOfficeXpPressedCeiling = Rgb(250, 250, 250);
constexpr Color kOfficeXpDisabledFrame = Rgb(188, 188, 64);
constexpr Color kOfficeXpDisabledFill = Rgb(238, 239, 208);

constexpr unsigned kSingleLine = kTextCenter | kTextVCenter | kTextSingleLine | kTextExpandTabs;
constexpr unsigned kWrapped = kTextCenter | kTextWordBreak;

}  // namespace

ButtonPainter::ButtonPainter(Canvas& canvas, const ButtonProperties& properties,
                             const ButtonPalette& palette, ButtonGeometry& geometry,
                             LookFlags flags)
    : canvas_(canvas), props_(properties), palette_(palette), geometry_(geometry), flags_(flags) {}

void ButtonPainter::Paint(ButtonState state) {
  // The surface is the client area, so clearing it to the face is the face fill.
  canvas_.Clear(palette_.faceColor);

  if (!props_.enabled) {
    switch (props_.buttonType) {
      case kXpStyle:
        XpDisabled();
        break;
      case kClassic3D:
        ClassicDisabled();
        break;
      case kGlossGradient:
        GlossDisabled();
        break;
      case kGlassGradient:
        GlassDisabled();
        break;
      case kOfficeXp:
        OfficeXpDisabled();
        break;
      default:
        break;
    }
    return;
  }
  if (state == ButtonState::Up) {
    switch (props_.buttonType) {
      case kXpStyle:
        XpUp();
        break;
      case kClassic3D:
        ClassicUp();
        break;
      case kGlossGradient:
        GlossUp();
        break;
      case kGlassGradient:
        GlassUp();
        break;
      case kOfficeXp:
        OfficeXpUp();
        break;
      default:
        CaptionUp(palette_.textColor);
        break;
    }
  } else if (state == ButtonState::Down) {
    switch (props_.buttonType) {
      case kXpStyle:
        XpDown();
        break;
      case kClassic3D:
        ClassicDown();
        break;
      case kGlossGradient:
        GlossDown();
        break;
      case kGlassGradient:
        GlassDown();
        break;
      case kOfficeXp:
        OfficeXpDown();
        break;
      default:
        break;
    }
  }
}

// Rows fading from the base colour towards white, reached about three rows before the
// end of the run.
void ButtonPainter::FadeToWhite(int red, int green, int blue, int from, int to, int step) {
  const int divisor = H() - 5;
  // At a height of 5 the fade has no defined step: the face stays plain.
  if (divisor == 0 || step == 0) return;
  float r = static_cast<float>(red), g = static_cast<float>(green), b = static_cast<float>(blue);
  const auto advance = [divisor](float value, int base) {
    const auto next = static_cast<float>(value + static_cast<double>(255 - base) / divisor);
    return std::min(next, 255.0f);
  };
  for (int y = from; step > 0 ? y <= to : y >= to; y += step) {
    r = advance(r, red);
    g = advance(g, green);
    b = advance(b, blue);
    Row(y, NearestRgb(r, g, b));
  }
}

void ButtonPainter::PaintRoundFrame(Color edge, Color corner) {
  const int w = W(), h = H();
  Line(2, 0, w - 2, 0, edge);
  Line(2, h - 1, w - 2, h - 1, edge);
  Line(0, 2, 0, h - 2, edge);
  Line(w - 1, 2, w - 1, h - 2, edge);
  Pixel(1, 1, corner);
  Pixel(1, h - 2, corner);
  Pixel(w - 2, 1, corner);
  Pixel(w - 2, h - 2, corner);
}

void ButtonPainter::PaintFocusRect() { canvas_.FocusRect(geometry_.rcFocus); }

void ButtonPainter::CaptionUp(Color color) {
  const std::wstring& caption = props_.caption;
  const TextExtent extent = canvas_.MeasureText(caption);
  PixelRect& rcAll = geometry_.rcAll;
  if (extent.width <= W()) {
    // A caption that fits is centred in the whole client area, whatever an earlier
    // wrapped caption left as the top.
    rcAll.top = 0;
    canvas_.DrawString(caption, rcAll, kSingleLine, color);
    return;
  }
  const int lines = extent.width / W() + 1;
  rcAll.top = (H() - extent.height * lines) / 2;
  canvas_.DrawString(caption, rcAll, kWrapped, color);
}

void ButtonPainter::CaptionDown(Color color) {
  const std::wstring& caption = props_.caption;
  const TextExtent extent = canvas_.MeasureText(caption);
  PixelRect& rcText = geometry_.rcText;
  if (extent.width <= W()) {
    rcText.top = 2;
    canvas_.DrawString(caption, rcText, kSingleLine, color);
    return;
  }
  rcText.top = geometry_.rcAll.top + 2;
  canvas_.DrawString(caption, rcText, kWrapped, color);
}

// A two-pixel ring just inside the outer frame.
void ButtonPainter::HoverFrame(Color c) {
  const int w = W(), h = H();
  Frame(2, 1, w - 4, h - 2, c);
  Line(1, 2, 1, h - 2, c);
  Line(3, 2, w - 3, 2, c);
  Line(w - 2, 2, w - 2, h - 2, c);
  Line(3, h - 3, w - 3, h - 3, c);
}

void ButtonPainter::DefaultFrame(Color outer, Color bottom, Color top, Color second, Color sides,
                                 bool classic) {
  const int w = W(), h = H();
  Frame(1, 2, w - 2, h - 4, outer);
  Line(2, h - 2, w - 2, h - 2, bottom);
  Line(2, 1, w - 2, 1, top);
  if (classic) {
    Line(1, 2, w - 1, 2, second);
  } else {
    Line(2, 2, w - 2, 2, second);
  }
  Line(2, 3, 2, h - 3, sides);
  Line(w - 3, 3, w - 3, h - 3, sides);
}

void ButtonPainter::BlueDefaultFrame(bool classic) {
  DefaultFrame(kBlueDefaultOuter, kBlueDefaultBottom, kBlueDefaultTop, kBlueDefaultSecond,
               kBlueDefaultSides, classic);
}

void ButtonPainter::GreenDefaultFrame() {
  DefaultFrame(kOliveDefault, kOliveDefault, kOliveDefault, kOliveDefault, kOliveDefault, false);
}

void ButtonPainter::XpUp() {
  const int w = W(), h = H();
  if (props_.colorScheme == kFromBackColor || props_.colorScheme == kFixedGrey) {
    // Darkens from top to bottom by up to 25.
    const Color base = ShiftColor(palette_.faceColor, 48, true);
    const auto step = static_cast<float>(25.0 / h);
    for (int i = 1; i <= h - 2; ++i) {
      Line(0, i, w, i, ShiftColor(base, Nearest(-step * static_cast<float>(i)), true));
    }
  } else {
    switch (props_.xpType) {
      case kXpBlue:
        FadeToWhite(198, 197, 215, h - 2, 1, -1);
        break;
      case kXpOlive: {
        Color c = kOliveBottomBase;
        for (int y = h - 2; y >= 1; --y) {
          c = ShiftColor(c, 1);
          Line(1, y, w - 2, y, c);
        }
        break;
      }
      case kXpSilver:
        FadeToWhite(236, 235, 230, h - 2, 1, -1);
        break;
      default:
        break;
    }
  }
  PaintRoundFrame(kXpFrameEdge, kXpFrameCorner);

  const Color hoverColor = props_.xpType == kXpOlive ? kOliveHover : props_.rectColor;
  if (flags_.defaultLook) {
    if (flags_.isHovering) {
      HoverFrame(hoverColor);
    } else {
      switch (props_.xpType) {
        case kXpBlue:
        case kXpSilver:
          BlueDefaultFrame(false);
          break;
        case kXpOlive:
          GreenDefaultFrame();
          break;
        default:
          break;
      }
      PaintFocusRect();
    }
  } else if (flags_.isHovering) {
    HoverFrame(hoverColor);
  }
  CaptionUp(palette_.textColor);
}

void ButtonPainter::XpDown() {
  const int w = W(), h = H();
  switch (props_.xpType) {
    case kXpBlue:
      FadeToWhite(171, 170, 188, 1, h - 2, 1);
      break;
    case kXpOlive: {
      // Darker towards the top by up to 15.
      const Color base = ShiftColor(ShiftColor(palette_.faceColor, 48, true), -32, true);
      const auto step = static_cast<float>(15.0 / h);
      for (int i = 1; i <= h; ++i) {
        Line(0, h - i, w, h - i, ShiftColor(base, Nearest(-step * static_cast<float>(i)), true));
      }
      break;
    }
    case kXpSilver:
      FadeToWhite(224, 224, 216, 1, h - 2, 1);
      break;
    default:
      break;
  }
  CaptionDown(palette_.textColor);
  PaintRoundFrame(kXpFrameEdge, kXpFrameCorner);
  if (flags_.focusWanted) PaintFocusRect();
}

void ButtonPainter::XpDisabled() {
  Fill(0, 0, W(), H(), kXpDisabledFace);
  CaptionUp(kXpDisabledText);
  PaintRoundFrame(kXpDisabledFrame, kXpDisabledFrame);
}

void ButtonPainter::ClassicBevel() {
  const int w = W(), h = H();
  const Color dark = palette_.darkShadowColor, face = palette_.faceColor;
  const Color highlight = palette_.highlightColor, shadow = palette_.shadowColor;
  const Color light = palette_.lightColor;
  Line(2, 0, w - 2, 0, dark);
  Line(2, h - 1, w - 2, h - 1, dark);
  Line(0, 2, 0, h - 2, dark);
  Line(w - 1, 2, w - 1, h - 2, dark);
  Pixel(1, 1, dark);
  Pixel(1, h - 2, dark);
  Pixel(w - 2, 1, dark);
  Pixel(w - 2, h - 2, dark);
  Pixel(1, 2, face);
  Pixel(2, 1, face);
  Line(3, 2, w - 3, 2, highlight);
  Line(2, 2, 2, h - 3, highlight);
  Pixel(3, 3, highlight);
  Line(w - 3, 1, w - 3, h - 3, face);
  Line(1, h - 3, w - 3, h - 3, face);
  Pixel(w - 4, h - 4, face);
  Line(w - 2, 3, w - 2, h - 2, shadow);
  Line(3, h - 2, w - 2, h - 2, shadow);
  Pixel(w - 3, h - 3, shadow);
  Pixel(2, h - 2, face);
  Pixel(2, h - 3, light);
  Pixel(w - 2, 2, face);
  Pixel(w - 3, 2, light);
}

void ButtonPainter::ClassicUp() {
  Fill(1, 1, W() - 2, H() - 2, palette_.lightColor);
  ClassicBevel();
  if (flags_.defaultLook) {
    if (flags_.isHovering) {
      HoverFrame(props_.rectColor);
    } else {
      BlueDefaultFrame(true);
    }
  } else if (flags_.isHovering) {
    HoverFrame(props_.rectColor);
  }
  CaptionUp(palette_.textColor);
}

void ButtonPainter::ClassicDown() {
  const int w = W(), h = H();
  const Color shadow = palette_.shadowColor, dark = palette_.darkShadowColor;
  const auto s = [shadow](int delta) { return ShiftColor(shadow, delta); };
  Fill(1, 1, w - 2, h - 2, s(-16));
  Line(2, 0, w - 2, 0, dark);
  Line(2, h - 1, w - 2, h - 1, dark);
  Line(0, 2, 0, h - 2, dark);
  Line(w - 1, 2, w - 1, h - 2, dark);
  Frame(1, 1, w - 2, h - 2, s(-64));
  Frame(2, 2, w - 4, h - 4, s(-32));
  Pixel(2, 2, s(-64));
  Pixel(3, 3, s(-32));
  Pixel(1, 1, dark);
  Pixel(1, h - 2, dark);
  Pixel(w - 2, 1, dark);
  Pixel(w - 2, h - 2, dark);
  Line(w - 3, 1, w - 3, h - 3, shadow);
  Line(1, h - 3, w - 2, h - 3, shadow);
  Pixel(w - 4, h - 4, shadow);
  Line(w - 2, 3, w - 2, h - 2, s(-16));
  Line(3, h - 2, w - 2, h - 2, s(-16));
  Pixel(w - 2, h - 3, s(-32));
  Pixel(w - 3, h - 2, s(-32));
  Pixel(2, h - 2, s(-32));
  Pixel(2, h - 3, s(-16));
  Pixel(1, h - 3, s(-16));
  Pixel(w - 2, 2, s(-32));
  Pixel(w - 3, 2, s(-16));
  Pixel(w - 3, 1, s(-16));
  CaptionDown(palette_.lightColor);
}

// An embossed caption: shadow first, highlight one pixel right and down.
void ButtonPainter::ClassicDisabled() {
  const std::wstring& caption = props_.caption;
  Fill(1, 1, W() - 2, H() - 2, palette_.lightColor);
  const TextExtent extent = canvas_.MeasureText(caption);
  const bool fits = extent.width <= W();
  if (fits) geometry_.rcAll.top = 0;
  canvas_.DrawString(caption, geometry_.rcAll, kSingleLine, palette_.shadowColor);
  ClassicBevel();
  PixelRect& rcText = geometry_.rcText;
  if (fits) {
    rcText.top = 2;
    canvas_.DrawString(caption, rcText, kSingleLine, palette_.highlightColor);
    return;
  }
  const int lines = extent.width / W() + 1;
  rcText.top = (H() - extent.height * lines) / 2 + 2;
  canvas_.DrawString(caption, rcText, kWrapped, palette_.highlightColor);
}

void ButtonPainter::OfficeXpUp() {
  const OfficeXpColors& o = props_.officeXp;
  const Color frame = flags_.isHovering ? o.mousemoveFrameColor : o.frameColor;
  const Color fill = flags_.isHovering ? o.mousemoveFillColor : o.fillColor;
  Frame(0, 0, W(), H(), frame);
  Fill(1, 1, W() - 2, H() - 2, fill);
  // This style follows focus only; being the default button does not show.
  if (flags_.focusWanted) PaintFocusRect();
  CaptionUp(palette_.textColor);
}

void ButtonPainter::OfficeXpDown() {
  const OfficeXpColors& o = props_.officeXp;
  Frame(0, 0, W(), H(), o.mousemoveFrameColor);
  const Color fill =
      props_.colorScheme == kFixedGrey
          ? ShiftColorClamped(o.mousemoveFillColor, -40, -30, -15, kOfficeXpPressedCeiling)
          : ShiftColorClamped(o.mousemoveFillColor, -30, -30, -60, kOfficeXpPressedCeiling);
  Fill(1, 1, W() - 2, H() - 2, fill);
  CaptionDown(palette_.textColor);
  if (flags_.focusWanted) PaintFocusRect();
}

void ButtonPainter::OfficeXpDisabled() {
  const bool grey = props_.colorScheme == kFixedGrey;
  const Color frame = grey ? props_.officeXp.frameColor : kOfficeXpDisabledFrame;
  const Color fill = grey ? props_.officeXp.fillColor : kOfficeXpDisabledFill;
  Frame(0, 0, W(), H(), frame);
  Fill(1, 1, W() - 2, H() - 2, fill);
  CaptionUp(frame);
}

}  // namespace quorvant::button
