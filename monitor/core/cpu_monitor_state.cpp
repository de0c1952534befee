#include "monitor/core/cpu_monitor_state.h"

#include <string>

#include "common/core/color.h"
#include "monitor/core/cpu_monitor.h"

namespace quorvant {

namespace {

constexpr std::int64_t kExtentX = 11033;  // 0.01 mm
constexpr std::int64_t kExtentY = 1508;
constexpr Color kDarkGrey = Rgb(64, 64, 64);
constexpr Color kLightOrange = Rgb(255, 192, 128);

}  // namespace

PropertyBag CpuMonitorStateProperties() {
  namespace names = cpu_monitor_names;
  return PropertyBag(
      std::wstring(kCpuMonitorTypeName),
      {{std::wstring(PropertyBag::kExtentX), kExtentX},
       {std::wstring(PropertyBag::kExtentY), kExtentY},
       {std::wstring(names::kBackColor), static_cast<std::int64_t>(kDarkGrey)},
       {std::wstring(names::kAppearance), std::int64_t{kAppearanceFlat}},
       {std::wstring(names::kDisplayGridColor), static_cast<std::int64_t>(kLightOrange)},
       {std::wstring(names::kHDDriveLetter), std::wstring(L"C:\\")}});
}

}  // namespace quorvant
