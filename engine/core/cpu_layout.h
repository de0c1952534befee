#pragma once

#include <string_view>

#include "common/core/twips.h"

namespace quorvant::engine {

// Where the "Speed up CPU" panel and the limit dialog put things, in twips, relative to the
// panel or the dialog's client area.

namespace cpu_panel {
inline constexpr std::wstring_view kHeading =
    L"The second way - limit process CPU usage - Speed up CPU";
inline constexpr std::wstring_view kDescription1 =
    L"This function can limit the CPU usage of a process and ensure system has sufficient CPU "
    L"resource for other active processes.\r";
inline constexpr std::wstring_view kDescription2 =
    L"When a process use too much CPU,it will slow down the pc speed.Using this function can "
    L"limit the CPU usage.\r";
inline constexpr std::wstring_view kLimitedCountCaption = L"Limited count:";

inline constexpr TwipsRect kHeadingAt{360, 120, 6600, 255};
inline constexpr TwipsRect kDescription1At{360, 480, 6645, 450};
inline constexpr TwipsRect kDescription2At{360, 960, 6735, 375};
inline constexpr TwipsRect kLimitedCountCaptionAt{360, 1440, 1440, 195};
inline constexpr TwipsRect kLimitedCountAt{1800, 1440, 1200, 195};
inline constexpr TwipsRect kListAt{375, 1695, 6585, 3105};
inline constexpr TwipsRect kRefreshAt{840, 5040, 1455, 375};
inline constexpr TwipsRect kLimitAt{2520, 5040, 1455, 375};

struct Column {
  std::wstring_view title;
  int widthTwips;
};
inline constexpr Column kColumns[] = {
    {L"ID", 800}, {L"PID", 800}, {L"Process", 2600}, {L"CPU Usage limited", 2000}};
inline constexpr int kColumnNumber = 0;
inline constexpr int kColumnPid = 1;
inline constexpr int kColumnProcess = 2;
inline constexpr int kColumnLimited = 3;
}  // namespace cpu_panel

namespace limit_dialog {
inline constexpr std::wstring_view kCaption = L"Limit process CPU usage";
inline constexpr int kClientWidthTwips = 7110;
inline constexpr int kClientHeightTwips = 3555;

struct FixedText {
  std::wstring_view text;
  TwipsRect at;
};
inline constexpr FixedText kFixedTexts[] = {
    {L"PID:", {1290, 240, 375, 180}},
    {L"Process:", {960, 600, 705, 180}},
    {L"limit CPU usage:", {360, 1440, 1410, 180}},
};
inline constexpr TwipsRect kIconAt{120, 120, 615, 615};
// The PID label is as wide as the form's design gave it; ids longer than it would be cut,
// so it is given room for ten digits.
inline constexpr TwipsRect kPidAt{1800, 240, 1500, 180};
inline constexpr TwipsRect kPathAt{1800, 600, 5085, 450};
inline constexpr TwipsRect kSliderAt{1800, 1320, 4335, 615};
inline constexpr TwipsRect kPercentAt{6360, 1440, 615, 495};
// Below the slider, above the buttons: offered when the dialog is opened on a process whose
// program is known.
inline constexpr TwipsRect kKeepRuleAt{1800, 1935, 4335, 225};
inline constexpr std::wstring_view kKeepRuleCaption = L"Keep this limit as a rule for the program";
inline constexpr TwipsRect kAdjustmentAt{2040, 2160, 1335, 375};
inline constexpr TwipsRect kReleaseAt{3600, 2160, 1335, 375};
inline constexpr TwipsRect kOkAt{2040, 2640, 1335, 375};
inline constexpr TwipsRect kCancelAt{3600, 2640, 1335, 375};
}  // namespace limit_dialog

}  // namespace quorvant::engine
