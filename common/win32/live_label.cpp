#include "common/win32/live_label.h"

namespace quorvant::win32 {

void StaticColors::Set(HWND control, COLORREF text, std::optional<COLORREF> background) {
  for (auto& entry : entries_) {
    if (entry.control == control) {
      entry = {control, text, background};
      return;
    }
  }
  entries_.push_back({control, text, background});
}

const StaticColors::Entry* StaticColors::Find(HWND control) const {
  for (const auto& entry : entries_) {
    if (entry.control == control) return &entry;
  }
  return nullptr;
}

bool StaticColors::Transparent(HWND control) const {
  const Entry* entry = Find(control);
  return entry && !entry->background;
}

HBRUSH StaticColors::Apply(HWND control, HDC dc) const {
  const Entry* entry = Find(control);
  if (!entry) return nullptr;
  (void)::SetTextColor(dc, entry->text);
  if (!entry->background) {
    (void)::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
  }
  (void)::SetBkColor(dc, *entry->background);
  if (*entry->background == RGB(255, 255, 255)) {
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  }
  // Stock brushes are not freed; the few other colours of the skin live for the run.
  for (const auto& [color, brush] : brushes_) {
    if (color == *entry->background) return brush;
  }
  HBRUSH brush = ::CreateSolidBrush(*entry->background);
  brushes_.emplace_back(*entry->background, brush);
  return brush;
}

bool LiveLabel::Create(HWND parent, StaticColors& colors, std::wstring_view text, RECT rect,
                       HFONT font, COLORREF textColor, std::optional<COLORREF> background,
                       bool singleLine) {
  text_.assign(text);
  const DWORD style =
      WS_CHILD | WS_VISIBLE | SS_NOPREFIX | (singleLine ? SS_LEFTNOWORDWRAP : SS_LEFT);
  hwnd_ = ::CreateWindowExW(0, L"STATIC", text_.c_str(), style, rect.left, rect.top,
                            rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                            ::GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) return false;
  (void)::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  colors.Set(hwnd_, textColor, background);
  transparent_ = !background;
  return true;
}

void LiveLabel::SetText(std::wstring_view text) {
  if (text == text_) return;
  text_.assign(text);
  (void)::SetWindowTextW(hwnd_, text_.c_str());
  if (transparent_) {
    // A transparent label leaves its old text on the parent's face unless that is redrawn.
    RECT r;
    (void)::GetWindowRect(hwnd_, &r);
    HWND parent = ::GetParent(hwnd_);
    (void)::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    (void)::RedrawWindow(parent, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
}

}  // namespace quorvant::win32
