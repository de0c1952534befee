#pragma once

#include "common/core/property_bag.h"

namespace quorvant {

// CpuMonitorState: the monitor on the main form's status panel, a self-running display.
// Its place on the panel in pixels (720, 3360, 6255 x 855 twips at 15 twips per pixel).
inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kCpuMonitorStateLeft = 720 / kTwipsPerPixel;    // 48
inline constexpr int kCpuMonitorStateTop = 3360 / kTwipsPerPixel;    // 224
inline constexpr int kCpuMonitorStateWidth = 6255 / kTwipsPerPixel;  // 417
inline constexpr int kCpuMonitorStateHeight = 855 / kTwipsPerPixel;  // 57

// What the form keeps for it: dark grey, flat, a light-orange grid, watching C:\, the
// rest at the defaults (fixed single border, all five curves, scrolling grid, line style,
// one sample a second).
PropertyBag CpuMonitorStateProperties();

}  // namespace quorvant
