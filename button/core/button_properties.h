#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "button/core/color_scheme.h"
#include "common/core/color.h"
#include "common/core/font.h"
#include "common/core/property_bag.h"

namespace quorvant::button {

// The identifier under which the forms store each button.
inline constexpr std::wstring_view kCommandTypeName = L"Quorvant.Command";

// The stored keys (the container compares them without regard to case).
namespace key {
inline constexpr std::wstring_view kBackColor = L"BackColor";
inline constexpr std::wstring_view kForeColor = L"ForeColor";
inline constexpr std::wstring_view kEnabled = L"Enabled";
inline constexpr std::wstring_view kFont = L"Font";
inline constexpr std::wstring_view kHwnd = L"hWnd";
inline constexpr std::wstring_view kButtonType = L"ButtonType";
inline constexpr std::wstring_view kXpType = L"XpType";
inline constexpr std::wstring_view kCaption = L"Caption";
inline constexpr std::wstring_view kColorScheme = L"ColorScheme";
inline constexpr std::wstring_view kShowFocusRect = L"ShowFocusRect";
inline constexpr std::wstring_view kRectColor = L"rectcolor";
inline constexpr std::wstring_view kPercent = L"Percent";
inline constexpr std::wstring_view kMidColor = L"MidColor";
inline constexpr std::wstring_view kEndColor = L"EndColor";
inline constexpr std::wstring_view kMouseMoveMidColor = L"MouseMoveMidColor";
inline constexpr std::wstring_view kMouseMoveEndColor = L"MouseMoveEndColor";
inline constexpr std::wstring_view kMouseDownMidColor = L"MouseDownMidColor";
inline constexpr std::wstring_view kMouseDownEndColor = L"MouseDownEndColor";
inline constexpr std::wstring_view kOfficeXpFillColor = L"OfficeXpFillColor";
inline constexpr std::wstring_view kOfficeXpFrameColor = L"OfficeXpFrameColor";
inline constexpr std::wstring_view kOfficeXpMousemoveFillColor = L"OfficeXpMousemoveFillColor";
inline constexpr std::wstring_view kOfficeXpMousemoveFrameColor = L"OfficeXpMousemoveFrameColor";
}  // namespace key

// A loaded button with no stored caption shows this.
inline constexpr std::wstring_view kDefaultCaption = L"wwbutton";
inline constexpr Color kDefaultRectColor = Rgb(250, 195, 88);
inline constexpr std::int16_t kDefaultPercent = 16;
inline constexpr int kMaxPercent = 100;

// The persisted properties of one button, with a new instance's values where those do
// not come from the platform (colours of the system, the surface's font, the name).
struct ButtonProperties {
  Color backColor = 0;
  Color foreColor = 0;
  bool enabled = true;
  FontDesc font;
  // Kept and saved as loaded; reading the property answers the real window handle.
  std::int32_t hWnd = 0;
  std::int32_t buttonType = kXpStyle;
  std::wstring caption;
  std::int32_t colorScheme = kSystemColors;
  std::int32_t xpType = kXpBlue;
  Color rectColor = kDefaultRectColor;
  bool showFocusRect = true;
  std::int16_t percent = kDefaultPercent;
  GradientColors gradient = kDefaultGradient;
  OfficeXpColors officeXp = kDefaultOfficeXp;
};

// Errors a property write returns; the stored value and the look stay unchanged.
enum class PropertyError : int {
  kNone = 0,
  kInvalidPropertyValue = 380,
  kNotSupportedAtRunTime = 382,
  kNotPermitted = 387,
};

// 1 pixel = 1/96 inch = 2540/96 hundredths of a millimetre, the container's extent unit.
int PixelsToExtent(int pixels);
int ExtentToPixels(std::int64_t extent);

// A bag as the program's forms describe their buttons: style 1 olive, Verdana 7.5 pt,
// the caption and the size. Keys are lower case, as the forms hold them.
PropertyBag ProgramButtonBag(std::wstring_view caption, int widthPx, int heightPx);

}  // namespace quorvant::button
