#pragma once

#include <array>
#include <string_view>

#include "common/core/twips.h"

namespace quorvant::shell {

using quorvant::DisplayDpi;
using quorvant::kTwipsPerPixel;
using quorvant::TwipsToPixels;
using quorvant::TwipsToPixelsAt;

inline constexpr int kWindowWidthTwips = 11790;
inline constexpr int kWindowHeightTwips = 8355;
inline constexpr int kWindowWidth = 786;  // at 96 DPI
inline constexpr int kWindowHeight = 557;

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// The window's client size at a display's DPI.
inline Size WindowSizeAt(int dpi) {
  return {TwipsToPixelsAt(kWindowWidthTwips, dpi), TwipsToPixelsAt(kWindowHeightTwips, dpi)};
}
inline Size WindowSize() { return WindowSizeAt(DisplayDpi()); }

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Top-left pixel of a window centred on a screen, computed in twips with fractional
// division like the form's own centring; never above or left of the screen's corner.
Point CentredWindowPositionAt(int screenWidthPx, int screenHeightPx, int dpi);
inline Point CentredWindowPosition(int screenWidthPx, int screenHeightPx) {
  return CentredWindowPositionAt(screenWidthPx, screenHeightPx, DisplayDpi());
}
// The same for a window of an outer size in pixels, such as a dialog's frame.
Point CentredWindowPosition(int screenWidthPx, int screenHeightPx, Size windowPx);

// The six navigation entries, in the order the window lists them.
enum class Entry { State, Process, CPU, Memory, Setting, About };
inline constexpr int kEntryCount = 6;

struct EntryLayout {
  Entry entry;
  int pictureTopTwips;
  std::wstring_view labelText;
  int labelLeftTwips;
  int labelTopTwips;
  int panelWidthTwips;
  int panelHeightTwips;
};

inline constexpr std::array<EntryLayout, kEntryCount> kEntries{{
    {Entry::State, 2010, L"Status", 1080, 2160, 7455, 5535},
    {Entry::Process, 2540, L"1 - Speed up process", 1080, 2670, 7815, 5775},
    {Entry::CPU, 3060, L"2 - Speed up CPU", 1080, 3210, 7335, 5415},
    {Entry::Memory, 3590, L"3 - Speed up memory", 1080, 3720, 7335, 5655},
    {Entry::Setting, 4110, L"Settings", 1080, 4245, 6735, 4215},
    {Entry::About, 4635, L"About", 1080, 4800, 7095, 4455},
}};

inline constexpr int kNavPictureLeftTwips = 100;
inline constexpr int kNavPictureWidthTwips = 3540;
inline constexpr int kNavPictureHeightTwips = 540;

inline constexpr int kPanelLeftTwips = 3840;
inline constexpr int kPanelTopTwips = 2160;

// Title-bar buttons: three pictures (normal, hover, pressed) stacked at one place.
inline constexpr int kTitleButtonWidthTwips = 420;
inline constexpr int kTitleButtonHeightTwips = 225;
inline constexpr Point kImageMinTwips{10800, 90};
inline constexpr Point kImageExitTwips{11280, 90};

// The title strip by which the window is dragged.
inline constexpr Point kImageCaptionTwips{480, 0};
inline constexpr int kImageCaptionWidthTwips = 10215;
inline constexpr int kImageCaptionHeightTwips = 375;

}  // namespace quorvant::shell
