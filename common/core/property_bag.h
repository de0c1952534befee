#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "common/core/color.h"
#include "common/core/font.h"

namespace quorvant {

// Flags persist as -1 (true) and 0 (false); colours and other whole numbers as integers.
using PropertyValue = std::variant<std::int64_t, double, std::wstring, FontDesc>;

constexpr std::int64_t PersistedFlag(bool value) { return value ? -1 : 0; }

// The named values a form keeps for one of its custom controls: what the control saves
// and what it reads back when the form creates it. Names compare without regard to case.
// A value equal to the one assumed when absent is not stored, so a bag holds only what
// differs from a fresh control.
class PropertyBag {
 public:
  static constexpr std::wstring_view kExtentX = L"_extentx";
  static constexpr std::wstring_view kExtentY = L"_extenty";

  PropertyBag() = default;
  explicit PropertyBag(std::wstring typeName,
                       std::initializer_list<std::pair<std::wstring, PropertyValue>> values = {});

  const std::wstring& TypeName() const { return typeName_; }

  // The stored value, or whenAbsent.
  PropertyValue Read(std::wstring_view name, const PropertyValue& whenAbsent) const;
  std::int64_t ReadInt(std::wstring_view name, std::int64_t whenAbsent) const;
  std::wstring ReadText(std::wstring_view name, std::wstring_view whenAbsent) const;

  // What the controls read their properties with. A number outside the property's range
  // (or a real number no whole number can take) reads as absent, so a damaged form cannot
  // put in a value that no write would accept; a real number in range keeps its whole part.
  // A value of another kind (text where a number belongs) reads as zero.
  std::int64_t ReadNumberIn(std::wstring_view name, std::int64_t low, std::int64_t high,
                            std::int64_t whenAbsent) const;
  std::int32_t ReadInt32(std::wstring_view name, std::int32_t whenAbsent) const;
  bool ReadFlag(std::wstring_view name, bool whenAbsent) const;
  // Colours are kept as 32-bit numbers, signed or not: system colours have the top bit set.
  Color ReadColor(std::wstring_view name, Color whenAbsent) const;

  // Stores value, or forgets the name when value equals whenAbsent.
  void Write(std::wstring_view name, const PropertyValue& value, const PropertyValue& whenAbsent);
  // Stores unconditionally (the form's extent, values a form describes as data).
  void Set(std::wstring_view name, const PropertyValue& value);

  bool Contains(std::wstring_view name) const;
  size_t Size() const { return values_.size(); }
  void Clear() { values_.clear(); }

 private:
  struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::wstring_view a, std::wstring_view b) const;
  };

  std::wstring typeName_;
  std::map<std::wstring, PropertyValue, CaseInsensitiveLess> values_;
};

}  // namespace quorvant
