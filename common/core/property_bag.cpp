#include "common/core/property_bag.h"

#include <algorithm>
#include <cwctype>
#include <limits>

namespace quorvant {

bool PropertyBag::CaseInsensitiveLess::operator()(std::wstring_view a, std::wstring_view b) const {
  return std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](wchar_t x, wchar_t y) { return std::towlower(x) < std::towlower(y); });
}

PropertyBag::PropertyBag(std::wstring typeName,
                         std::initializer_list<std::pair<std::wstring, PropertyValue>> values)
    : typeName_(std::move(typeName)) {
  for (const auto& [name, value] : values) Set(name, value);
}

PropertyValue PropertyBag::Read(std::wstring_view name, const PropertyValue& whenAbsent) const {
  const auto it = values_.find(name);
  return it == values_.end() ? whenAbsent : it->second;
}

std::int64_t PropertyBag::ReadInt(std::wstring_view name, std::int64_t whenAbsent) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return whenAbsent;
  if (const auto* i = std::get_if<std::int64_t>(&it->second)) return *i;
  if (const auto* d = std::get_if<double>(&it->second)) {
    // A damaged form may hold NaN or a number no whole number can take: treated as absent.
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (!(*d >= -kLimit && *d < kLimit)) return whenAbsent;
    return static_cast<std::int64_t>(*d);
  }
  return whenAbsent;
}

std::int64_t PropertyBag::ReadNumberIn(std::wstring_view name, std::int64_t low, std::int64_t high,
                                       std::int64_t whenAbsent) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return whenAbsent;
  if (!std::holds_alternative<std::int64_t>(it->second) &&
      !std::holds_alternative<double>(it->second)) {
    return 0;
  }
  const std::int64_t value = ReadInt(name, whenAbsent);
  return value < low || value > high ? whenAbsent : value;
}

std::int32_t PropertyBag::ReadInt32(std::wstring_view name, std::int32_t whenAbsent) const {
  return static_cast<std::int32_t>(ReadNumberIn(name, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max(),
                                                whenAbsent));
}

bool PropertyBag::ReadFlag(std::wstring_view name, bool whenAbsent) const {
  return ReadNumberIn(name, std::numeric_limits<std::int64_t>::min(),
                      std::numeric_limits<std::int64_t>::max(), PersistedFlag(whenAbsent)) != 0;
}

Color PropertyBag::ReadColor(std::wstring_view name, Color whenAbsent) const {
  return static_cast<Color>(ReadNumberIn(name, std::numeric_limits<std::int32_t>::min(),
                                         std::numeric_limits<std::uint32_t>::max(), whenAbsent));
}

std::wstring PropertyBag::ReadText(std::wstring_view name, std::wstring_view whenAbsent) const {
  const auto it = values_.find(name);
  if (it != values_.end()) {
    if (const auto* s = std::get_if<std::wstring>(&it->second)) return *s;
  }
  return std::wstring(whenAbsent);
}

void PropertyBag::Write(std::wstring_view name, const PropertyValue& value,
                        const PropertyValue& whenAbsent) {
  if (value == whenAbsent) {
    const auto it = values_.find(name);
    if (it != values_.end()) values_.erase(it);
    return;
  }
  Set(name, value);
}

void PropertyBag::Set(std::wstring_view name, const PropertyValue& value) {
  const auto it = values_.find(name);
  if (it != values_.end()) {
    it->second = value;
  } else {
    values_.emplace(std::wstring(name), value);
  }
}

bool PropertyBag::Contains(std::wstring_view name) const { return values_.contains(name); }

}  // namespace quorvant
