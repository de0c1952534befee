#pragma once

#include <windows.h>

#include <string_view>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// A file's icon as the list and the limit dialog show it. The holder owns the icon: it is
// destroyed with its picture.
using IconPicture = unique_hicon;

// The shell's icon for the file at path: its small icon (16 x 16 at the usual settings)
// when small, else its large one (32 x 32). Empty when the shell has none.
IconPicture GetFileIcon(std::wstring_view path, bool small);

// Takes ownership of icon; an empty picture when there is no icon.
IconPicture IconToPicture(HICON icon);

}  // namespace quorvant::win32
