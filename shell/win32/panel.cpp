#include "shell/win32/panel.h"

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (!bitmap) return;
  BITMAP info{};
  if (!::GetObjectW(bitmap, sizeof(info), &info)) return;
  unique_hdc source(::CreateCompatibleDC(dc));
  ScopedSelect select(source.get(), bitmap);
  (void)::BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
}

bool Panel::Create(HWND parent, int x, int y, int width, int height) {
  RegisterClassOnce(kClassName);
  return ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"",
                           WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y, width, height,
                           parent, nullptr, ::GetModuleHandleW(nullptr), this) != nullptr;
}

void Panel::AddLabel(std::wstring text, int x, int y, HFONT font, COLORREF color) {
  labels_.push_back({std::move(text), x, y, font, color});
}

void Panel::AddPicture(HBITMAP bitmap, int x, int y) { pictures_.push_back({bitmap, x, y}); }

LRESULT Panel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
      // The form handles its controls' events, wherever they sit.
      return ::SendMessageW(::GetParent(hwnd_), message, wParam, lParam);
    default:
      return DefaultProc(message, wParam, lParam);
  }
}

void Panel::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client;
  (void)::GetClientRect(hwnd_, &client);
  (void)::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  for (const auto& picture : pictures_) DrawBitmap(dc, picture.bitmap, picture.x, picture.y);
  (void)::SetBkMode(dc, TRANSPARENT);
  for (const auto& label : labels_) {
    ScopedSelect font(dc, label.font);
    (void)::SetTextColor(dc, label.color);
    RECT r{label.x, label.y, client.right, client.bottom};
    (void)::DrawTextW(dc, label.text.c_str(), static_cast<int>(label.text.size()), &r,
                      DT_SINGLELINE | DT_NOCLIP);
  }
  (void)::EndPaint(hwnd_, &ps);
}

}  // namespace quorvant::win32
