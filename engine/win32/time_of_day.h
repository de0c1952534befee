#pragma once

#include <string>

namespace quorvant::win32 {

// The current time of day in the user's long time format, as the logs and the clock show it.
std::wstring TimeOfDayText();

}  // namespace quorvant::win32
