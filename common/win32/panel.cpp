#include "common/win32/panel.h"

#include <commctrl.h>

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

RECT LabelRect(const std::wstring& text, int x, int y, HFONT font) {
  HDC screen = ::GetDC(nullptr);
  SIZE size{};
  {
    ScopedSelect select(screen, font);
    (void)::GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &size);
  }
  (void)::ReleaseDC(nullptr, screen);
  return RECT{x, y, x + size.cx, y + size.cy};
}

void DrawLabel(HDC dc, const std::wstring& text, POINT at, HFONT font, COLORREF color) {
  ScopedSelect select(dc, font);
  (void)::SetTextColor(dc, color);
  RECT r{at.x, at.y, at.x, at.y};
  (void)::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_NOCLIP);
}

bool Panel::Create(HWND parent, int x, int y, int width, int height) {
  RegisterClassOnce(kClassName);
  return ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"",
                           WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, x, y, width, height,
                           parent, nullptr, ::GetModuleHandleW(nullptr), this) != nullptr;
}

void Panel::SetName(const std::wstring& name) {
  if (hwnd_) (void)::SetWindowTextW(hwnd_, name.c_str());
}

void Panel::AddLabel(std::wstring text, int x, int y, HFONT font, COLORREF color) {
  labels_.push_back({std::move(text), x, y, font, color});
}

access::Tree Panel::AccessibleTree() const {
  RECT client{};
  std::wstring name;
  if (hwnd_) {
    (void)::GetClientRect(hwnd_, &client);
    wchar_t text[128] = {};
    (void)::GetWindowTextW(hwnd_, text, 128);
    name = text;
  }
  access::Element panel;
  panel.name = name;
  access::Tree tree(panel, {0, 0, client.right, client.bottom});
  for (const Label& label : labels_) {
    const RECT r = LabelRect(label.text, label.x, label.y, label.font);
    tree.Add(access::Tree::kRoot, access::DescribeText(label.text),
             {r.left, r.top, r.right - r.left, r.bottom - r.top});
  }
  return tree;
}

void Panel::AddPicture(HBITMAP bitmap, int x, int y) { pictures_.push_back({bitmap, x, y}); }

void Panel::AddBox(RECT rect, std::optional<COLORREF> fill, std::optional<COLORREF> border) {
  boxes_.push_back({rect, fill, border});
}

void Panel::AddLink(std::wstring text, int x, int y, HFONT font, COLORREF color, HCURSOR cursor,
                    std::function<void()> onClick) {
  // Laid out again at another scale: the link that is there moves, and keeps the focus.
  for (const auto& link : links_) {
    if (link->Text() == text) {
      link->Place({x, y}, font);
      return;
    }
  }
  auto link = std::make_unique<LinkLabel>();
  if (link->Create(hwnd_, std::move(text), {x, y}, font, color, kFace, cursor,
                   std::move(onClick))) {
    links_.push_back(std::move(link));
  }
}

void Panel::ClearContent() {
  labels_.clear();
  pictures_.clear();
  boxes_.clear();
  if (hwnd_) (void)::InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT Panel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
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
    case WM_CTLCOLORSTATIC:
      if (HBRUSH brush =
              colors_.Apply(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam))) {
        return reinterpret_cast<LRESULT>(brush);
      }
      return ::SendMessageW(::GetParent(hwnd_), message, wParam, lParam);
    case WM_NOTIFY:
      ShowListFocus(*reinterpret_cast<const NMHDR*>(lParam));
      return ::SendMessageW(::GetParent(hwnd_), message, wParam, lParam);
    case WM_COMMAND:
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

void Panel::ShowListFocus(const NMHDR& header) {
  if (header.code != NM_SETFOCUS) return;
  wchar_t className[32] = {};
  (void)::GetClassNameW(header.hwndFrom, className, 32);
  if (std::wstring_view(className) != WC_LISTVIEWW) return;
  const HWND list = header.hwndFrom;
  const auto focused = ::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
  if (focused >= 0 || ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 0) return;
  // A list that no row has the keyboard in shows no focus at all; the top row it shows takes
  // it, without being selected.
  LVITEMW item{};
  item.stateMask = LVIS_FOCUSED;
  item.state = LVIS_FOCUSED;
  (void)::SendMessageW(list, LVM_SETITEMSTATE, ::SendMessageW(list, LVM_GETTOPINDEX, 0, 0),
                       reinterpret_cast<LPARAM>(&item));
}

void Panel::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  RECT client;
  (void)::GetClientRect(hwnd_, &client);
  (void)::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  for (const auto& box : boxes_) {
    if (box.fill) {
      unique_hbrush brush(::CreateSolidBrush(*box.fill));
      (void)::FillRect(dc, &box.rect, brush.get());
    }
    if (box.border) {
      unique_hbrush brush(::CreateSolidBrush(*box.border));
      (void)::FrameRect(dc, &box.rect, brush.get());
    }
  }
  for (const auto& picture : pictures_) DrawBitmap(dc, picture.bitmap, picture.x, picture.y);
  (void)::SetBkMode(dc, TRANSPARENT);
  for (const auto& label : labels_) {
    DrawLabel(dc, label.text, {label.x, label.y}, label.font, label.color);
  }
  (void)::EndPaint(hwnd_, &ps);
}

}  // namespace quorvant::win32
