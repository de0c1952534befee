#pragma once

#include <string>

namespace quorvant::win32 {

// Full path of the running executable.
std::wstring ExecutablePath();
// Its folder, without a trailing backslash.
std::wstring ExecutableFolder();

}  // namespace quorvant::win32
