#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quorvant {

// Text that the platform returns in a fixed-size buffer: the part before the first NUL,
// without leading and trailing blanks.
std::wstring TrimNull(std::wstring_view text);

// A draw r with 0 <= r < 1.
using UniformRandom = std::function<double()>;

// The program's own random source, seeded from the clock once per run.
double ProgramRandom();

// count random decimal digits, each from 2 to 8; empty when count is not positive.
std::wstring RandomDigits(int count, const UniformRandom& random = ProgramRandom);

}  // namespace quorvant
