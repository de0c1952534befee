#pragma once

#include "common/core/property_bag.h"

namespace quorvant {

// CpuMonitorState: the monitor on the main form's status panel, a self-running display.
// Its place on the panel in twips, as the form lays out its controls...
inline constexpr int kCpuMonitorStateLeftTwips = 720;
inline constexpr int kCpuMonitorStateTopTwips = 3360;
inline constexpr int kCpuMonitorStateWidthTwips = 6255;
inline constexpr int kCpuMonitorStateHeightTwips = 855;
// ...and in pixels at 15 twips each.
inline constexpr int kCpuMonitorStateLeft = 48;
inline constexpr int kCpuMonitorStateTop = 224;
inline constexpr int kCpuMonitorStateWidth = 417;
inline constexpr int kCpuMonitorStateHeight = 57;
static_assert(kCpuMonitorStateLeftTwips == 15 * kCpuMonitorStateLeft &&
              kCpuMonitorStateTopTwips == 15 * kCpuMonitorStateTop &&
              kCpuMonitorStateWidthTwips == 15 * kCpuMonitorStateWidth &&
              kCpuMonitorStateHeightTwips == 15 * kCpuMonitorStateHeight);

// What the form keeps for it: dark grey, flat, a light-orange grid, watching C:\, the
// rest at the defaults (fixed single border, all five curves, scrolling grid, line style,
// one sample a second).
PropertyBag CpuMonitorStateProperties();

}  // namespace quorvant
