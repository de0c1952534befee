#pragma once

#include <optional>
#include <string_view>

namespace quorvant::button {

// The caption's access key in lower case: the character after the first single "&".
// A doubled "&&" shows a literal ampersand; after one, only the next marker is looked at.
std::optional<wchar_t> UpdateAccessKey(std::wstring_view caption);

}  // namespace quorvant::button
