#include "button/core/button_properties.h"

#include "common/core/rounding.h"

namespace quorvant::button {

namespace {

constexpr double kExtentPerPixel = 2540.0 / 96.0;
const FontDesc kProgramButtonFont{L"Verdana", 7.5};

}  // namespace

int PixelsToExtent(int pixels) { return static_cast<int>(NearestInt(pixels * kExtentPerPixel)); }

int ExtentToPixels(std::int64_t extent) {
  return static_cast<int>(NearestInt(static_cast<double>(extent) / kExtentPerPixel));
}

PropertyBag ProgramButtonBag(std::wstring_view caption, int widthPx, int heightPx) {
  return PropertyBag(std::wstring(kCommandTypeName),
                     {{L"_extentx", std::int64_t{PixelsToExtent(widthPx)}},
                      {L"_extenty", std::int64_t{PixelsToExtent(heightPx)}},
                      {L"xptype", std::int64_t{kXpOlive}},
                      {L"caption", std::wstring(caption)},
                      {L"font", kProgramButtonFont}});
}

}  // namespace quorvant::button
