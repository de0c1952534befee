#include "button/core/access_key.h"

#include <cwctype>

namespace quorvant::button {

namespace {

constexpr wchar_t kMarker = L'&';

wchar_t Lower(wchar_t c) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))); }

}  // namespace

std::optional<wchar_t> UpdateAccessKey(std::wstring_view caption) {
  if (caption.size() < 2) return std::nullopt;
  const size_t p = caption.find(kMarker);
  if (p == std::wstring_view::npos || p + 1 == caption.size()) return std::nullopt;
  if (caption[p + 1] != kMarker) return Lower(caption[p + 1]);

  // "&&" is a literal ampersand: the next marker decides, and only that one.
  const size_t q = caption.find(kMarker, p + 2);
  if (q == std::wstring_view::npos || q + 1 == caption.size()) return std::nullopt;
  if (caption[q + 1] == kMarker) return std::nullopt;
  return Lower(caption[q + 1]);
}

}  // namespace quorvant::button
