#include "common/win32/link_label.h"

#include <windowsx.h>

#include "common/win32/dialog_keys.h"
#include "common/win32/panel.h"
#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

namespace {
// WM_KEYDOWN's lParam: the key was already down, a repeat of a held key.
constexpr LPARAM kKeyWasDown = LPARAM{1} << 30;
}  // namespace

bool LinkLabel::Create(HWND parent, std::wstring text, POINT at, HFONT font, COLORREF color,
                       COLORREF face, HCURSOR cursor, std::function<void()> onClick) {
  if (hwnd_) return false;
  text_ = std::move(text);
  font_ = font;
  color_ = color;
  face_ = face;
  cursor_ = cursor;
  onClick_ = std::move(onClick);
  RegisterClassOnce(kClassName);
  const RECT r = TextRect(at);
  return ::CreateWindowExW(0, kClassName, text_.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, r.left,
                           r.top, r.right - r.left, r.bottom - r.top, parent, nullptr,
                           ::GetModuleHandleW(nullptr), this) != nullptr;
}

RECT LinkLabel::TextRect(POINT at) const {
  RECT r = LabelRect(text_, at.x, at.y, font_);
  (void)::InflateRect(&r, kMargin, kMargin);
  return r;
}

void LinkLabel::Place(POINT at, HFONT font) {
  font_ = font;
  const RECT r = TextRect(at);
  (void)::SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
  (void)::InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT LinkLabel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT accessibleResult = 0;
  if (accessible_.HandleMessage(hwnd_, message, wParam, lParam, accessibleResult)) {
    return accessibleResult;
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && cursor_) {
        (void)::SetCursor(cursor_);
        return TRUE;
      }
      return DefaultProc(message, wParam, lParam);
    case WM_LBUTTONDOWN:
      pressed_ = true;
      (void)::SetCapture(hwnd_);
      return 0;
    case WM_LBUTTONUP: {
      const bool wasPressed = pressed_;
      pressed_ = false;
      if (::GetCapture() == hwnd_) (void)::ReleaseCapture();
      // A click is a press and a release over the link.
      RECT client{};
      (void)::GetClientRect(hwnd_, &client);
      if (wasPressed && ::PtInRect(&client, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) &&
          onClick_) {
        onClick_();
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd_) pressed_ = false;
      return 0;
    case WM_GETDLGCODE: {
      // Enter opens the link instead of going to the form.
      const MSG* key = DialogCodeKey(lParam);
      return key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0;
    }
    case WM_KEYDOWN:
      if ((wParam == VK_RETURN || wParam == VK_SPACE) && !(lParam & kKeyWasDown) && onClick_) {
        onClick_();
      }
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      (void)::InvalidateRect(hwnd_, nullptr, FALSE);
      if (message == WM_SETFOCUS) accessible_.NotifyFocus();
      accessible_.Update();
      return 0;
    case WM_UPDATEUISTATE: {
      const LRESULT result = DefaultProc(message, wParam, lParam);
      (void)::InvalidateRect(hwnd_, nullptr, FALSE);
      return result;
    }
    default:
      return DefaultProc(message, wParam, lParam);
  }
}

void LinkLabel::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client;
  (void)::GetClientRect(hwnd_, &client);
  unique_hbrush face(::CreateSolidBrush(face_));
  (void)::FillRect(dc, &client, face.get());
  (void)::SetBkMode(dc, TRANSPARENT);
  DrawLabel(dc, text_, {kMargin, kMargin}, font_, color_);
  // As system controls do: no focus rectangle until the keyboard is used.
  const bool cuesHidden = (::SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
  if (::GetFocus() == hwnd_ && !cuesHidden) (void)::DrawFocusRect(dc, &client);
  (void)::EndPaint(hwnd_, &ps);
}

access::Tree LinkLabel::AccessibleTree() const {
  RECT client{};
  if (hwnd_) (void)::GetClientRect(hwnd_, &client);
  return access::Tree(access::DescribeLink(text_, hwnd_ && ::GetFocus() == hwnd_),
                      {0, 0, client.right - client.left, client.bottom - client.top});
}

}  // namespace quorvant::win32
