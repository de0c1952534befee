#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/win32/window.h"

namespace quorvant::win32 {

// One of the main window's six panels: a child window with a white face that paints its
// own labels and pictures and hands its controls' notifications to the form.
class Panel final : public Window<Panel> {
 public:
  static constexpr wchar_t kClassName[] = L"QuorvantPanel";

  bool Create(HWND parent, int x, int y, int width, int height);
  void AddLabel(std::wstring text, int x, int y, HFONT font, COLORREF color);
  void AddPicture(HBITMAP bitmap, int x, int y);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct Label {
    std::wstring text;
    int x;
    int y;
    HFONT font;
    COLORREF color;
  };
  struct Picture {
    HBITMAP bitmap;
    int x;
    int y;
  };

  void OnPaint();

  std::vector<Label> labels_;
  std::vector<Picture> pictures_;
};

// Draws a bitmap at (x, y) in its own size.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);

}  // namespace quorvant::win32
