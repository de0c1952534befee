#include "engine/core/text_tools.h"

#include <chrono>
#include <random>

namespace quorvant {

std::wstring TrimNull(std::wstring_view text) {
  text = text.substr(0, text.find(L'\0'));
  constexpr std::wstring_view kBlanks = L" ";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::wstring_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return std::wstring(text.substr(first, last - first + 1));
}

double ProgramRandom() {
  // Seeded once: re-seeding from the clock for every draw repeats the same digit within one
  // clock tick.
  static std::mt19937 generator(static_cast<std::mt19937::result_type>(
      std::chrono::system_clock::now().time_since_epoch().count()));
  return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

std::wstring RandomDigits(int count, const UniformRandom& random) {
  constexpr int kLowest = 2;
  constexpr int kChoices = 7;  // 2 to 8
  std::wstring digits;
  for (int i = 0; i < count; ++i) {
    int digit = kLowest + static_cast<int>(random() * kChoices);
    // A source that returns 1 (or more) must not yield a 9.
    if (digit > kLowest + kChoices - 1) digit = kLowest + kChoices - 1;
    if (digit < kLowest) digit = kLowest;
    digits += static_cast<wchar_t>(L'0' + digit);
  }
  return digits;
}

}  // namespace quorvant
