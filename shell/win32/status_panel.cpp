#include "shell/win32/status_panel.h"

#include <optional>
#include <string>

#include "common/core/color.h"
#include "common/core/twips.h"
#include "common/win32/display_scale.h"
#include "common/win32/pixel_rect.h"
#include "engine/core/memory_state.h"
#include "engine/win32/time_of_day.h"
#include "skin/resource.h"

namespace quorvant::win32 {

namespace {

constexpr Color kOrange = Rgb(255, 128, 0);
constexpr Color kDarkGrey = Rgb(64, 64, 64);
constexpr Color kRed = Rgb(255, 0, 0);
constexpr Color kGreen = Rgb(0, 128, 0);
constexpr Color kPurple = Rgb(192, 0, 192);
constexpr Color kFrameGrey = Rgb(224, 224, 224);

// The summary's frame, in twips; the value labels end inside it.
constexpr int kFrameLeft = 720, kFrameTop = 720, kFrameWidth = 6195, kFrameHeight = 1965;
constexpr int kValueRight = kFrameLeft + kFrameWidth - 120;

struct Caption {
  std::wstring_view text;
  int left;
  int top;
};
constexpr Caption kLineCaptions[] = {
    {L"Time:", 1200, 1080},
    {L"Whole system faster:", 1200, 1320},
    {L"Now Speeding up:", 1200, 1560},
    {L"The count of the process with CPU usage limited:", 1200, 1800},
    {L"Memory usage:", 1200, 2040},
};

// The graph's colours, left to right; the captions stand 240 twips right of each swatch.
struct LegendEntry {
  int left;
  Color color;
  std::wstring_view caption;
};
constexpr LegendEntry kLegend[] = {
    {600, Rgb(0, 255, 0), L"CPU"},
    {1440, Rgb(255, 255, 0), L"Memory"},
    {2640, Rgb(255, 0, 0), L"Page space"},
    {4080, Rgb(255, 128, 255), L"Disk space"},
    {5520, Rgb(0, 0, 255), L"Virual memory"},
};
constexpr int kLegendTop = 4440;
constexpr int kSwatchTwips = 135;
constexpr int kLegendCaptionOffset = 240;

constexpr int kPictureLeft = 2400, kPictureTop = 175;

// The five values in the order of StatusPanel::ValueLabels, each from its left to the frame's
// inner edge (the current target has its own width), one line of the window font high. An
// empty colour is the window-text colour.
struct Value {
  std::wstring_view design;
  int left;
  int top;
  int width;
  std::optional<Color> color;
};
constexpr Value kValues[] = {
    {L"time", 1800, 1080, kValueRight - 1800, std::nullopt},
    {L"0%", 3120, 1320, kValueRight - 3120, kRed},
    {L"None", 2760, 1560, 3015, kGreen},
    {L"0", 5400, 1800, kValueRight - 5400, kPurple},
    {L"0", 2520, 2040, kValueRight - 2520, kOrange},
};

}  // namespace

StatusPanel::StatusPanel(Panel& panel, FontCache& fonts) : panel_(panel), fonts_(fonts) {
  const HFONT font = fonts.Get(FontDesc{});
  // Created anywhere; LayOut places them.
  for (size_t i = 0; i < std::size(kValues); ++i) {
    const Value& value = kValues[i];
    (void)panel.AddLiveLabel(*ValueLabels()[i], value.design, {}, font,
                             value.color ? *value.color : ::GetSysColor(COLOR_WINDOWTEXT));
  }
  monitor_ = CreateCpuMonitorState(panel.Hwnd());
  LayOut();
}

void StatusPanel::LayOut() {
  const HFONT font = fonts_.Get(FontDesc{});
  const HFONT heading = fonts_.Get(HeadingFont());
  auto text = [&](std::wstring_view caption, int left, int top, HFONT f, Color color) {
    panel_.AddLabel(std::wstring(caption), TwipsToPixels(left), TwipsToPixels(top), f, color);
  };

  panel_.ClearContent();
  text(L"Speed up status", 720, 360, heading, kOrange);
  panel_.AddBox(PixelRect({kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight}), std::nullopt,
                kFrameGrey);
  for (const auto& caption : kLineCaptions) {
    text(caption.text, caption.left, caption.top, font, kDarkGrey);
  }
  // One line of the window font, as high as the painted captions beside it.
  const LONG lineHeight = LabelRect(L"0", 0, 0, font).bottom;
  for (size_t i = 0; i < std::size(kValues); ++i) {
    RECT r = PixelRect({kValues[i].left, kValues[i].top, kValues[i].width, 0});
    r.bottom = r.top + lineHeight;
    PlaceControl(ValueLabels()[i]->Hwnd(), r, font);
  }

  text(L"System resource status", 840, 3000, heading, kOrange);
  if (monitor_) {
    monitor_->PlaceAt(TwipsToPixels(kCpuMonitorStateLeftTwips),
                      TwipsToPixels(kCpuMonitorStateTopTwips));
  }
  for (const auto& entry : kLegend) {
    panel_.AddBox(PixelRect({entry.left, kLegendTop, kSwatchTwips, kSwatchTwips}), entry.color,
                  std::nullopt);
    // The caption's middle on the swatch's middle.
    const int swatchMiddle = TwipsToPixels(kLegendTop) + TwipsToPixels(kSwatchTwips) / 2;
    panel_.AddLabel(std::wstring(entry.caption), TwipsToPixels(entry.left + kLegendCaptionOffset),
                    swatchMiddle - static_cast<int>(lineHeight) / 2, font, kDarkGrey);
  }

  picture_ = LoadSkinBitmap(IDB_STATE_PICTURE);
  panel_.AddPicture(picture_.get(), TwipsToPixels(kPictureLeft), TwipsToPixels(kPictureTop));
}

void StatusPanel::TimerStateTick() { labelTime_.SetText(TimeOfDayText()); }

void StatusPanel::SetSpeed(std::wstring_view text) { labelSpeed_.SetText(text); }

void StatusPanel::SetNowImproving(std::wstring_view title) {
  labelStateNowImproving_.SetText(title);
}

void StatusPanel::SetLimitedCount(int count) {
  labelStateProcessLimited_.SetText(std::to_wstring(count));
}

void StatusPanel::SetMemoryUsage(int percent) {
  labelStateMemoryState_.SetText(engine::PercentText(percent));
}

}  // namespace quorvant::win32
