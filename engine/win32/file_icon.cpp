#include "engine/win32/file_icon.h"

#include <shellapi.h>

#include <string>

namespace quorvant::win32 {

IconPicture GetFileIcon(std::wstring_view path, bool small) {
  const std::wstring file(path);
  SHFILEINFOW info{};
  const UINT flags = SHGFI_ICON | (small ? SHGFI_SMALLICON : SHGFI_LARGEICON);
  if (!::SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), flags)) return {};
  return IconToPicture(info.hIcon);
}

IconPicture IconToPicture(HICON icon) { return IconPicture(icon); }

}  // namespace quorvant::win32
