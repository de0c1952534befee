#pragma once

#include <string>
#include <string_view>

namespace quorvant {

// Text that the platform returns in a fixed-size buffer: the part before the first NUL,
// without leading and trailing blanks.
std::wstring TrimNull(std::wstring_view text);

}  // namespace quorvant
