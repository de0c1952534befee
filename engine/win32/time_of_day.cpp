#include "engine/win32/time_of_day.h"

#include <windows.h>

namespace quorvant::win32 {

std::wstring TimeOfDayText() {
  wchar_t text[80] = {};
  const int length = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, text,
                                       static_cast<int>(std::size(text)));
  return length > 0 ? std::wstring(text, static_cast<size_t>(length - 1)) : std::wstring();
}

}  // namespace quorvant::win32
