#include "button/core/button_region.h"

namespace quorvant::button {

namespace {

bool HasCutCorners(std::int32_t buttonType) {
  return buttonType == 3 || buttonType == 4 || buttonType == 8 || buttonType == 9;
}

}  // namespace

ButtonRegion BuildRegion(std::int32_t buttonType, int width, int height) {
  ButtonRegion region{width, height, {}};
  if (!HasCutCorners(buttonType)) return region;
  const int w = width, h = height;
  region.cuts = {{0, 0},         {1, 0},         {0, 1},           // top left
                 {0, h - 1},     {1, h - 1},     {0, h - 2},       // bottom left
                 {w - 2, 0},     {w - 1, 0},     {w - 1, 1},       // top right
                 {w - 2, h - 1}, {w - 1, h - 1}, {w - 1, h - 2}};  // bottom right
  return region;
}

}  // namespace quorvant::button
