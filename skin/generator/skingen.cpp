// Draws the skin artwork of Quorvant: the window background and its pieces, the navigation
// and title-bar pictures, the panel pictures, the limit dialog's banner, the icons and the
// link pointer. Run at build time: skingen <output folder>.
#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "common/core/twips.h"
#include "shell/core/main_window_layout.h"
#include "skin/generator/image_files.h"
#include "skin/generator/raster.h"
#include "skin/resource.h"

namespace skingen {
namespace {

// One calm palette: slate frame and navigation, light title strip and header, a white card
// for the panels, and the product's orange for the selected entry and the mark.
namespace palette {
constexpr Pixel kFrameEdge = Argb(43, 58, 73);
constexpr Pixel kTitleTop = Argb(248, 250, 252);
constexpr Pixel kTitleBottom = Argb(221, 227, 233);
constexpr Pixel kTitleRule = Argb(170, 182, 194);
constexpr Pixel kHeaderTop = Argb(255, 255, 255);
constexpr Pixel kHeaderBottom = Argb(235, 240, 244);
constexpr Pixel kHeaderRule = Argb(198, 207, 216);
constexpr Pixel kWatermark = Argb(222, 229, 236);
constexpr Pixel kAccent = Argb(240, 128, 32);
constexpr Pixel kAccentLight = Argb(255, 170, 84);
constexpr Pixel kAccentDeep = Argb(206, 100, 18);
constexpr Pixel kSidebarTop = Argb(50, 67, 86);
constexpr Pixel kSidebarBottom = Argb(35, 48, 63);
constexpr Pixel kSidebarEdge = Argb(28, 39, 51);
constexpr Pixel kNavTop = Argb(72, 90, 111);
constexpr Pixel kNavBottom = Argb(60, 77, 97);
constexpr Pixel kNavSeparator = Argb(38, 52, 67);
constexpr Pixel kNavHighlight = Argb(90, 108, 129);
constexpr Pixel kNavGlyph = Argb(200, 212, 224);
constexpr Pixel kSelectedTop = Argb(234, 136, 46);
constexpr Pixel kSelectedBottom = Argb(205, 102, 20);
constexpr Pixel kSelectedSeparator = Argb(150, 74, 12);
constexpr Pixel kSelectedHighlight = Argb(247, 176, 106);
constexpr Pixel kContent = Argb(229, 234, 239);
constexpr Pixel kCard = Argb(255, 255, 255);
constexpr Pixel kCardBorder = Argb(196, 206, 215);
constexpr Pixel kMarkTop = Argb(78, 101, 126);
constexpr Pixel kMarkBottom = Argb(36, 51, 67);
constexpr Pixel kMarkTrack = Argb(112, 134, 156);
constexpr Pixel kSlate = Argb(63, 80, 99);
constexpr Pixel kSlateLight = Argb(140, 158, 177);
constexpr Pixel kWhite = Argb(255, 255, 255);
constexpr Pixel kBlack = Argb(0, 0, 0);
constexpr Pixel kShadow = Argb(20, 30, 40, 90);
constexpr Pixel kButtonBorder = Argb(160, 173, 187);
constexpr Pixel kButtonGlyph = Argb(60, 76, 94);
constexpr Pixel kCloseHover = Argb(207, 88, 52);
constexpr Pixel kClosePressed = Argb(168, 64, 34);
}  // namespace palette

// The display DPI the current pass draws for; every bitmap but the icons follows it.
int gDpi = quorvant::kDesignDpi;

// A raster of a picture designed at w x h pixels, at the pass's scale.
Raster Canvas(int w, int h, Pixel fill = 0) {
  return Raster(quorvant::DesignPixelsAt(w, gDpi), quorvant::DesignPixelsAt(h, gDpi), fill,
                gDpi / double(quorvant::kDesignDpi));
}

// A place the window gives in twips, in device pixels at the pass's scale.
int Px(int twips) { return quorvant::TwipsToPixelsAt(twips, gDpi); }

// Where the window places each picture, in client pixels at 96 DPI.
namespace layout {
constexpr int kWindowWidth = 786;
constexpr int kWindowHeight = 557;
constexpr int kTitleHeight = 25;
constexpr int kCaptionLeft = 32;
constexpr int kCaptionWidth = 681;
constexpr int kTitleButtonTop = 6;
constexpr int kTitleButtonWidth = 28;
constexpr int kTitleButtonHeight = 15;
constexpr int kMinLeft = 720;
constexpr int kExitLeft = 752;
constexpr int kTitleMarkLeft = 6;
constexpr int kTitleMarkTop = 5;
constexpr int kTitleMarkSize = 16;
constexpr int kHeaderBottom = 124;  // the rule under the header
constexpr int kHeaderMarkLeft = 54;
constexpr int kHeaderMarkTop = 39;
constexpr int kHeaderMarkSize = 48;
constexpr int kDialCentreX = 650;
constexpr int kSidebarRight = 248;
constexpr int kTraceTop = 430;
constexpr int kNavLeft = 7;
constexpr int kNavWidth = 236;
constexpr int kNavHeight = 36;
constexpr std::array<int, 6> kNavTops = {134, 169, 204, 239, 274, 309};
constexpr int kNavGlyphCentreX = 30;
constexpr int kNavDividerX = 52;  // labels start at 65
constexpr int kCardLeft = 251;    // panels sit at 256, 144
constexpr int kCardTop = 138;
constexpr int kCardRight = 784;
constexpr int kCardBottom = 533;  // the version text sits below, at 536
}  // namespace layout

enum class Entry { kState, kProcess, kCpu, kMemory, kSetting, kAbout };
constexpr std::array<Entry, 6> kEntries = {Entry::kState,  Entry::kProcess, Entry::kCpu,
                                           Entry::kMemory, Entry::kSetting, Entry::kAbout};
constexpr std::array<const char*, 6> kEntryNames = {"state",  "process", "cpu",
                                                    "memory", "setting", "about"};

// --- Product mark: a gauge on a slate tile ------------------------------------------------

Raster ProductMark(int size, double scale = 1.0) {
  const int device = int(std::lround(size * scale));
  Raster r(device, device, 0, scale);
  const double k = size / 48.0;
  auto tile = RoundRect(0, 0, size, size, 10 * k);
  Fill(r, tile, VerticalGradient(palette::kMarkTop, palette::kMarkBottom, 0, size));
  if (size >= 32) {
    // A 1-px sheen along the upper rim.
    Fill(r, Intersect(Stroke(Grow(tile, -1.5), 0.5), RoundRect(0, 0, size, size * 0.45)),
         WithAlpha(palette::kWhite, 0.22));
  }
  const double cx = 24 * k, cy = 27 * k, radius = 13.5 * k;
  const double arcHalfWidth = std::max(3.2 * k, 1.05);
  Fill(r, Arc(cx, cy, radius, arcHalfWidth, -40, 220), palette::kMarkTrack);
  Fill(r, Arc(cx, cy, radius, arcHalfWidth, 62, 220),
       VerticalGradient(palette::kAccentLight, palette::kAccent, cy - radius, cy + radius));
  const auto [nx, ny] = PolarPoint(cx, cy, radius - 2.5 * k, 62);
  Fill(r, Capsule(cx, cy, nx, ny, std::max(1.7 * k, 0.85)), palette::kWhite);
  Fill(r, Circle(cx, cy, std::max(3.6 * k, 1.2)), palette::kWhite);
  if (size >= 32) Fill(r, Circle(cx, cy, 1.5 * k), palette::kAccentDeep);
  return r;
}

// --- Navigation glyphs, about 20 px, centred at (cx, cy) ----------------------------------

void DrawNavGlyph(Raster& r, Entry entry, double cx, double cy, Pixel ink) {
  constexpr double kLine = 0.75;  // half of a 1.5-px stroke
  switch (entry) {
    case Entry::kState: {  // a gauge
      Fill(r, Arc(cx, cy + 2, 8.5, 1.1, -30, 210), ink);
      const auto [nx, ny] = PolarPoint(cx, cy + 2, 6.5, 55);
      Fill(r, Capsule(cx, cy + 2, nx, ny, 1.0), ink);
      Fill(r, Circle(cx, cy + 2, 2.1), ink);
      break;
    }
    case Entry::kProcess: {  // a window with a rising arrow
      auto frame = RoundRect(cx - 9.5, cy - 8, cx + 9.5, cy + 8, 2);
      Fill(r, Stroke(Grow(frame, -kLine), kLine), ink);
      Fill(r, Intersect(frame, RoundRect(cx - 10, cy - 8, cx + 10, cy - 4.5)), ink);
      Fill(r, Capsule(cx - 4.5, cy + 4.5, cx, cy, 1.05), ink);
      Fill(r, Capsule(cx, cy, cx + 4.5, cy + 4.5, 1.05), ink);
      break;
    }
    case Entry::kCpu: {  // a chip with pins
      auto body = RoundRect(cx - 6.5, cy - 6.5, cx + 6.5, cy + 6.5, 1.5);
      Fill(r, Stroke(Grow(body, -kLine), kLine), ink);
      Fill(r, RoundRect(cx - 3, cy - 3, cx + 3, cy + 3, 0.5), ink);
      for (int i = -1; i <= 1; ++i) {
        const double o = i * 3.5;
        Fill(r, Capsule(cx + o, cy - 7, cx + o, cy - 9.5, 0.7), ink);
        Fill(r, Capsule(cx + o, cy + 7, cx + o, cy + 9.5, 0.7), ink);
        Fill(r, Capsule(cx - 7, cy + o, cx - 9.5, cy + o, 0.7), ink);
        Fill(r, Capsule(cx + 7, cy + o, cx + 9.5, cy + o, 0.7), ink);
      }
      break;
    }
    case Entry::kMemory: {  // a memory module
      auto body = RoundRect(cx - 10.5, cy - 6, cx + 10.5, cy + 3.5, 1.5);
      Fill(r, Stroke(Grow(body, -kLine), kLine), ink);
      for (int i = -1; i <= 1; ++i) {
        Fill(r, RoundRect(cx + i * 6 - 2, cy - 3.5, cx + i * 6 + 2, cy + 1, 0.5), ink);
      }
      for (int i = -4; i <= 4; ++i) {
        if (i == 1) continue;  // the key notch
        Fill(r, RoundRect(cx + i * 2.2 - 0.6, cy + 4.5, cx + i * 2.2 + 0.6, cy + 7), ink);
      }
      break;
    }
    case Entry::kSetting: {  // a gear
      auto wheel = [cx, cy](double px, double py) {
        double d = Circle(cx, cy, 6.8)(px, py);
        for (int i = 0; i < 4; ++i) {
          d = std::min(d, TurnedRect(cx, cy, 19, 4.2, i * 45.0 + 22.5, 0.8)(px, py));
        }
        return d;
      };
      Fill(r, Subtract(wheel, Circle(cx, cy, 3.2)), ink);
      break;
    }
    case Entry::kAbout: {  // an information sign
      Fill(r, Stroke(Circle(cx, cy, 8.6), 0.8), ink);
      Fill(r, Circle(cx, cy - 4.2, 1.45), ink);
      Fill(r, Capsule(cx, cy - 0.6, cx, cy + 4.6, 1.15), ink);
      break;
    }
  }
}

// --- The window background ------------------------------------------------------------------

// A faint speedometer dial, clipped to `area`.
template <class Area>
void DrawDial(Raster& r, Area area, double cx, double cy, Pixel ink) {
  constexpr double kOuter = 100, kFrom = 15, kTo = 165;
  constexpr int kTicks = 16;
  Fill(r, Intersect(Arc(cx, cy, kOuter, 1.0, kFrom, kTo), area), ink);
  Fill(r, Intersect(Arc(cx, cy, kOuter - 36, 0.6, kFrom, kTo), area), ink);
  for (int i = 0; i <= kTicks; ++i) {
    const double deg = kFrom + (kTo - kFrom) * i / kTicks;
    const double inner = kOuter - (i % 4 == 0 ? 18 : 10);
    const auto [ax, ay] = PolarPoint(cx, cy, inner, deg);
    const auto [bx, by] = PolarPoint(cx, cy, kOuter - 5, deg);
    Fill(r, Intersect(Capsule(ax, ay, bx, by, i % 4 == 0 ? 1.1 : 0.6), area), ink);
  }
}

// A faint load curve along the foot of the sidebar, echoing the monitor.
template <class Area>
void DrawTrace(Raster& r, Area area) {
  constexpr std::array<double, 9> kLevels = {0.30, 0.45, 0.38, 0.62, 0.50, 0.74, 0.58, 0.66, 0.52};
  constexpr double kLeft = 0, kRight = layout::kSidebarRight, kBottom = layout::kWindowHeight;
  constexpr double kSpan = layout::kWindowHeight - layout::kTraceTop;
  std::vector<std::pair<double, double>> points;
  for (std::size_t i = 0; i < kLevels.size(); ++i) {
    points.emplace_back(kLeft + (kRight - kLeft) * i / (kLevels.size() - 1),
                        kBottom - kSpan * kLevels[i]);
  }
  auto under = points;
  under.emplace_back(kRight, kBottom + 2);
  under.emplace_back(kLeft, kBottom + 2);
  Fill(r, Intersect(Polygon(under), area),
       VerticalGradient(WithAlpha(palette::kWhite, 0.05), WithAlpha(palette::kWhite, 0.0),
                        kBottom - kSpan, kBottom));
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    Fill(r,
         Intersect(Capsule(points[i].first, points[i].second, points[i + 1].first,
                           points[i + 1].second, 0.8),
                   area),
         WithAlpha(palette::kWhite, 0.10));
  }
}

Raster DrawBackground() {
  using namespace layout;
  Raster r = Canvas(kWindowWidth, kWindowHeight, palette::kContent);
  const double w = r.width / r.scale, h = r.height / r.scale;

  // Title strip.
  Fill(r, RoundRect(0, 0, w, kTitleHeight),
       VerticalGradient(palette::kTitleTop, palette::kTitleBottom, 1, kTitleHeight - 1));
  Fill(r, RoundRect(0, kTitleHeight - 1, w, kTitleHeight), palette::kTitleRule);
  Paste(r, ProductMark(kTitleMarkSize, r.scale), kTitleMarkLeft, kTitleMarkTop);

  // Header with a faint gauge watermark at the right.
  Fill(r, RoundRect(0, kTitleHeight, w, kHeaderBottom),
       VerticalGradient(palette::kHeaderTop, palette::kHeaderBottom, kTitleHeight, kHeaderBottom));
  auto header = RoundRect(0, kTitleHeight + 1, w, kHeaderBottom);
  DrawDial(r, header, kDialCentreX, kHeaderBottom + 26, palette::kWatermark);
  Paste(r, ProductMark(kHeaderMarkSize, r.scale), kHeaderMarkLeft, kHeaderMarkTop);
  Fill(r, RoundRect(0, kHeaderBottom, w, kHeaderBottom + 1), palette::kHeaderRule);
  // The product's orange, fading out along the header's foot.
  Fill(r, RoundRect(0, kHeaderBottom - 2, 520, kHeaderBottom),
       HorizontalGradient(palette::kAccent, WithAlpha(palette::kAccent, 0), 0, 520));

  // Navigation sidebar.
  Fill(r, RoundRect(0, kHeaderBottom + 1, kSidebarRight, h),
       VerticalGradient(palette::kSidebarTop, palette::kSidebarBottom, kHeaderBottom, h));
  Fill(r, RoundRect(kSidebarRight - 1, kHeaderBottom + 1, kSidebarRight, h), palette::kSidebarEdge);
  DrawTrace(r, RoundRect(1, kTraceTop, kSidebarRight - 1, h - 1));

  // White card behind the panels.
  auto card = RoundRect(kCardLeft, kCardTop, kCardRight, kCardBottom, 3);
  Fill(r, Move(card, 0, 1), WithAlpha(palette::kSidebarEdge, 0.10), 3);
  Fill(r, card, palette::kCardBorder);
  Fill(r, Grow(card, -1), palette::kCard);

  // Frame edge.
  Fill(r, Stroke(RoundRect(0, 0, w, h), 1), palette::kFrameEdge);
  return r;
}

// --- Navigation pictures ----------------------------------------------------------------------

Raster NavPicture(const Raster& background, int index, bool selected) {
  using namespace layout;
  const Entry entry = kEntries[std::size_t(index)];
  namespace shell = quorvant::shell;
  Raster r = Crop(background, Px(shell::kNavPictureLeftTwips),
                  Px(shell::kEntries[std::size_t(index)].pictureTopTwips),
                  Px(shell::kNavPictureWidthTwips), Px(shell::kNavPictureHeightTwips));
  const double w = r.width / r.scale, h = r.height / r.scale;
  const Pixel top = selected ? palette::kSelectedTop : palette::kNavTop;
  const Pixel bottom = selected ? palette::kSelectedBottom : palette::kNavBottom;
  const Pixel separator = selected ? palette::kSelectedSeparator : palette::kNavSeparator;
  const Pixel highlight = selected ? palette::kSelectedHighlight : palette::kNavHighlight;
  Fill(r, RoundRect(0, 0, w, h), VerticalGradient(top, bottom, 1, h - 1));
  // Entries overlap their neighbours by one row, so both edge rows are the separator.
  Fill(r, RoundRect(0, 0, w, 1), separator);
  Fill(r, RoundRect(0, h - 1, w, h), separator);
  Fill(r, RoundRect(0, 1, w, 2), WithAlpha(highlight, 0.8));
  // Divider between glyph and label.
  Fill(r, RoundRect(kNavDividerX, 8, kNavDividerX + 1, h - 8), WithAlpha(separator, 0.7));
  Fill(r, RoundRect(kNavDividerX + 1, 8, kNavDividerX + 2, h - 8), WithAlpha(highlight, 0.6));
  if (selected) {
    Fill(r, RoundRect(0, 1, 3, h - 1), palette::kAccentLight);
    const double cx = w - 16, cy = h / 2;  // points at the open panel
    Fill(r, Capsule(cx - 2.5, cy - 5, cx + 2.5, cy, 1.1), palette::kWhite);
    Fill(r, Capsule(cx + 2.5, cy, cx - 2.5, cy + 5, 1.1), palette::kWhite);
  }
  DrawNavGlyph(r, entry, kNavGlyphCentreX, h / 2, selected ? palette::kWhite : palette::kNavGlyph);
  return r;
}

// --- Title-bar buttons: 0 normal, 1 hover, 2 pressed ----------------------------------------

enum class TitleButton { kMinimise, kClose };

Raster TitleButtonPicture(const Raster& background, TitleButton button, int state) {
  using namespace layout;
  namespace shell = quorvant::shell;
  const shell::Point at =
      button == TitleButton::kMinimise ? shell::kImageMinTwips : shell::kImageExitTwips;
  Raster r = Crop(background, Px(at.x), Px(at.y), Px(shell::kTitleButtonWidthTwips),
                  Px(shell::kTitleButtonHeightTwips));
  const double w = r.width / r.scale, h = r.height / r.scale;
  auto face = RoundRect(0, 0, w, h, 3);
  Pixel ink = palette::kButtonGlyph;
  if (state == 0) {
    Fill(r, face, palette::kButtonBorder);
    Fill(r, Grow(face, -1), VerticalGradient(palette::kWhite, palette::kTitleBottom, 1, h - 1));
  } else {
    const bool close = button == TitleButton::kClose;
    const Pixel base = close ? (state == 1 ? palette::kCloseHover : palette::kClosePressed)
                             : (state == 1 ? palette::kSlate : palette::kMarkBottom);
    Fill(r, face, Mix(base, palette::kBlack, 0.25));
    Fill(r, Grow(face, -1),
         VerticalGradient(Mix(base, palette::kWhite, state == 1 ? 0.18 : 0.0), base, 1, h - 1));
    ink = palette::kWhite;
  }
  const double dy = state == 2 ? 1 : 0;  // pressed: the glyph sinks by a pixel
  const double cx = w / 2, cy = h / 2 + dy;
  if (button == TitleButton::kMinimise) {
    Fill(r, Capsule(cx - 4.5, cy + 2.5, cx + 4.5, cy + 2.5, 0.95), ink);
  } else {
    Fill(r, Capsule(cx - 3.5, cy - 3.5, cx + 3.5, cy + 3.5, 0.95), ink);
    Fill(r, Capsule(cx - 3.5, cy + 3.5, cx + 3.5, cy - 3.5, 0.95), ink);
  }
  return r;
}

// --- Panel pictures (drawn on the panels' white) ------------------------------------------

Raster AboutPicture() {
  Raster r = Canvas(52, 56, palette::kCard);
  Fill(r, RoundRect(4, 7, 50, 54, 9), palette::kShadow, 4);
  Paste(r, ProductMark(48, r.scale), 2, 2);
  return r;
}

Raster SettingPicture() {
  Raster r = Canvas(60, 60, palette::kCard);
  auto wheel = [](double cx, double cy, double body, double toothLength, int teeth,
                  double toothWidth) {
    return [=](double px, double py) {
      double d = Circle(cx, cy, body)(px, py);
      for (int i = 0; i < teeth; ++i) {
        d = std::min(d, TurnedRect(cx, cy, 2 * (body + toothLength), toothWidth, i * 180.0 / teeth,
                                   1.2)(px, py));
      }
      return d;
    };
  };
  auto big = wheel(24, 24, 15, 5.5, 6, 7.5);
  auto hole = Circle(24, 24, 6.5);
  Fill(r, Move(Subtract(big, hole), 1, 2), palette::kShadow, 3);
  Fill(r, Subtract(big, hole), VerticalGradient(palette::kMarkTop, palette::kMarkBottom, 4, 44));
  Fill(r, Stroke(Circle(24, 24, 10.5), 0.6), WithAlpha(palette::kWhite, 0.25));
  auto small = wheel(44, 43, 8.5, 3.8, 5, 4.8);
  Fill(r, Stroke(small, 2.0), palette::kCard);  // a gap where the wheels mesh
  Fill(r, Subtract(small, Circle(44, 43, 3.4)),
       VerticalGradient(palette::kAccentLight, palette::kAccentDeep, 31, 55));
  return r;
}

Raster StatePicture() {
  Raster r = Canvas(65, 37, palette::kCard);
  // A small resource chart: bars with a trend line over them.
  Fill(r, RoundRect(2, 33, 63, 34), palette::kCardBorder);
  constexpr std::array<double, 7> kBars = {8, 13, 10, 17, 14, 20, 24};
  std::vector<std::pair<double, double>> tops;
  for (std::size_t i = 0; i < kBars.size(); ++i) {
    const double x = 5 + i * 8.5;
    Fill(r, RoundRect(x, 33 - kBars[i], x + 6, 33, 1.2),
         VerticalGradient(palette::kSlateLight, palette::kSlate, 33 - kBars[i], 33));
    tops.emplace_back(x + 3, 33 - kBars[i] - 3.5);
  }
  for (std::size_t i = 0; i + 1 < tops.size(); ++i) {
    Fill(r, Capsule(tops[i].first, tops[i].second, tops[i + 1].first, tops[i + 1].second, 1.0),
         palette::kAccent);
  }
  Fill(r, Circle(tops.back().first, tops.back().second, 2.6), palette::kAccent);
  Fill(r, Circle(tops.back().first, tops.back().second, 1.1), palette::kWhite);
  return r;
}

Raster LimitBanner() {
  Raster r = Canvas(476, 73);
  const double w = r.width / r.scale, h = r.height / r.scale;
  Fill(r, RoundRect(0, 0, w, h),
       VerticalGradient(palette::kHeaderTop, palette::kHeaderBottom, 0, h));
  auto banner = RoundRect(0, 0, w, h - 3);
  // A faint chip at the right, the dialog's subject.
  const double cx = 432, cy = 35;
  Fill(r, Intersect(Stroke(RoundRect(cx - 18, cy - 18, cx + 18, cy + 18, 4), 1.3), banner),
       palette::kWatermark);
  Fill(r, RoundRect(cx - 9, cy - 9, cx + 9, cy + 9, 2), palette::kWatermark);
  for (int i = -2; i <= 2; ++i) {
    const double o = i * 6.5;
    for (auto [ax, ay, bx, by] :
         std::array<std::array<double, 4>, 4>{{{cx + o, cy - 20, cx + o, cy - 25},
                                               {cx + o, cy + 20, cx + o, cy + 25},
                                               {cx - 20, cy + o, cx - 25, cy + o},
                                               {cx + 20, cy + o, cx + 25, cy + o}}}) {
      Fill(r, Intersect(Capsule(ax, ay, bx, by, 1.2), banner), palette::kWatermark);
    }
  }
  // The well behind the process icon (the dialog puts it at 8, 8, 41 x 41).
  auto well = RoundRect(5, 5, 52, 52, 6);
  Fill(r, well, palette::kCardBorder);
  Fill(r, Grow(well, -1), palette::kCard);
  Fill(r, RoundRect(0, h - 3, w, h - 2), palette::kHeaderRule);
  Fill(r, RoundRect(0, h - 2, w, h),
       HorizontalGradient(palette::kAccent, WithAlpha(palette::kAccent, 0.15), 0, w));
  return r;
}

// --- Icons and the link pointer ---------------------------------------------------------------

constexpr Hotspot kLinkHotspot = {11, 1};  // the tip of the index finger

Raster LinkCursor() {
  Raster r(32, 32);
  const double ix = 11.5;  // the index finger's axis, through the hotspot's pixel
  auto index = Capsule(ix, 3.4, ix, 17, 2.3);
  auto middle = Capsule(ix + 4.6, 11.5, ix + 4.6, 18, 2.3);
  auto ring = Capsule(ix + 9.2, 12.5, ix + 9.2, 18, 2.3);
  auto little = Capsule(ix + 13.6, 14, ix + 13.6, 19, 2.1);
  auto palm = RoundRect(ix - 2.3, 16, ix + 15.7, 29, 4.5);
  auto thumb = Capsule(ix - 6.2, 16.5, ix - 1.5, 23, 2.2);
  auto draw = [&r](auto part) {
    Fill(r, Grow(part, 1.1), palette::kBlack);
    Fill(r, part, palette::kWhite);
  };
  draw(thumb);
  draw(palm);
  draw(little);
  draw(ring);
  draw(middle);
  draw(index);
  // Smooth the wrist over the thumb joint.
  Fill(r, RoundRect(ix - 1.2, 20, ix + 14.6, 28), palette::kWhite);
  return r;
}

void Write(const std::string& folder, const char* name, const Bytes& bytes) {
  WriteBytes(folder + "/" + name, bytes);
}

// Draws every bitmap for one display scale. The 100 % set keeps the plain names the resource
// script lists; the others get the scale as a suffix and are listed in `script`, numbered
// from their 100 % identifier by the scale's step.
void WriteScale(const std::string& folder, int scaleIndex, std::string& script) {
  const int percent = quorvant::kSkinScales[scaleIndex];
  gDpi = percent * quorvant::kDesignDpi / 100;
  const std::string suffix = scaleIndex == 0 ? "" : "_" + std::to_string(percent);
  auto bitmap = [&](int id, const std::string& stem, const Raster& raster) {
    const std::string name = stem + suffix + ".bmp";
    Write(folder, name.c_str(), EncodeBmp(raster));
    if (scaleIndex != 0) {
      script += std::to_string(id + scaleIndex * quorvant::kSkinScaleIdStep) + " BITMAP \"" + name +
                "\"\n";
    }
  };
  namespace shell = quorvant::shell;
  const Raster background = DrawBackground();
  bitmap(IDB_BACKGROUND, "background", background);
  bitmap(IDB_CAPTION, "caption",
         Crop(background, Px(shell::kImageCaptionTwips.x), Px(shell::kImageCaptionTwips.y),
              Px(shell::kImageCaptionWidthTwips), Px(shell::kImageCaptionHeightTwips)));
  for (std::size_t i = 0; i < kEntries.size(); ++i) {
    for (int selected = 0; selected <= 1; ++selected) {
      bitmap(IDB_NAV_STATE_0 + int(i) * 2 + selected,
             std::string("nav_") + kEntryNames[i] + "_" + std::to_string(selected),
             NavPicture(background, int(i), selected == 1));
    }
  }
  for (int state = 0; state <= 2; ++state) {
    bitmap(IDB_MIN_0 + state, "min_" + std::to_string(state),
           TitleButtonPicture(background, TitleButton::kMinimise, state));
    bitmap(IDB_EXIT_0 + state, "exit_" + std::to_string(state),
           TitleButtonPicture(background, TitleButton::kClose, state));
  }
  bitmap(IDB_ABOUT_PICTURE, "about_picture", AboutPicture());
  bitmap(IDB_SETTING_PICTURE, "setting_picture", SettingPicture());
  bitmap(IDB_STATE_PICTURE, "state_picture", StatePicture());
  bitmap(IDB_LIMIT_BANNER, "limit_banner", LimitBanner());
}

void WriteAll(const std::string& folder) {
  std::string script = "// Drawn by skingen: the skin bitmaps at the larger display scales.\n";
  for (int i = 0; i < quorvant::kSkinScaleCount; ++i) WriteScale(folder, i, script);
  Write(folder, "scaled_artwork.rc", Bytes(script.begin(), script.end()));
  gDpi = quorvant::kDesignDpi;
  Write(folder, "link.cur", EncodeIconFile({LinkCursor()}, kLinkHotspot));
  Write(folder, "ico.ico", EncodeIconFile({ProductMark(16)}));
  Write(folder, "app.ico",
        EncodeIconFile({ProductMark(16), ProductMark(32), ProductMark(48), ProductMark(256)}));
}

}  // namespace
}  // namespace skingen

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: skingen <output folder>\n");
    return 2;
  }
  try {
    skingen::WriteAll(argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "skingen: %s\n", e.what());
    return 1;
  }
  return 0;
}
