#include "button/core/button_properties.h"

#include "common/core/rounding.h"
#include "common/core/twips.h"

namespace quorvant::button {

namespace {

// Extents are in 0.01 mm; pixels are the display's.
constexpr double kHimetricPerInch = 2540.0;
double ExtentPerPixel() { return kHimetricPerInch / DisplayDpi(); }
const FontDesc kProgramButtonFont{L"Verdana", 7.5};

}  // namespace

int PixelsToExtent(int pixels) { return static_cast<int>(NearestInt(pixels * ExtentPerPixel())); }

int ExtentToPixels(std::int64_t extent) {
  return static_cast<int>(NearestInt(static_cast<double>(extent) / ExtentPerPixel()));
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
