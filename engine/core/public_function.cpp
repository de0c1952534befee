#include "engine/core/public_function.h"

namespace quorvant {

std::wstring TrimNull(std::wstring_view text) {
  text = text.substr(0, text.find(L'\0'));
  constexpr std::wstring_view kBlanks = L" ";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return std::wstring(text.substr(first, last - first + 1));
}

}  // namespace quorvant
