#include "common/win32/dialog_keys.h"

#include <algorithm>
#include <vector>

namespace quorvant::win32 {

namespace {

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_KEYLAST; }

DWORD Style(HWND hwnd) { return static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE)); }

// A window started with the mouse hides its focus rectangles until the keyboard is used, as
// system dialogs do; the first key press shows them.
void ShowFocusCues(HWND window, UINT message) {
  if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return;
  const auto hidden = static_cast<WORD>(::SendMessageW(window, WM_QUERYUISTATE, 0, 0) &
                                        (UISF_HIDEFOCUS | UISF_HIDEACCEL));
  if (hidden) (void)::SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, hidden), 0);
}

}  // namespace

UINT KeyPreviewMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"Quorvant.KeyPreview");
  return message;
}

namespace {
// The key this thread is asking its active window about, while it asks.
thread_local const MSG* previewing = nullptr;
}  // namespace

const MSG* PreviewedKey(LPARAM lParam) {
  if (::InSendMessage() || !previewing) return nullptr;
  return reinterpret_cast<const MSG*>(lParam) == previewing ? previewing : nullptr;
}

const MSG* DialogCodeKey(LPARAM lParam) {
  return ::InSendMessage() ? nullptr : reinterpret_cast<const MSG*>(lParam);
}

void DispatchThreadMessage(MSG& msg) {
  if (IsKeyMessage(msg.message)) {
    // The active window is the one the user is looking at, also while a modal window's own
    // loop is interrupted by a walk that takes the waiting messages.
    if (const HWND active = ::GetActiveWindow()) {
      ShowFocusCues(active, msg.message);
      const MSG* outer = previewing;
      previewing = &msg;
      const LRESULT acted =
          ::SendMessageW(active, KeyPreviewMessage(), 0, reinterpret_cast<LPARAM>(&msg));
      previewing = outer;
      if (acted) return;
      if (::IsDialogMessageW(active, &msg)) return;
    }
  }
  (void)::TranslateMessage(&msg);
  (void)::DispatchMessageW(&msg);
}

bool FocusedControlWants(const MSG& msg) {
  if (!msg.hwnd) return false;
  const LRESULT code = ::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam,
                                      reinterpret_cast<LPARAM>(const_cast<MSG*>(&msg)));
  return (code & DLGC_WANTMESSAGE) != 0;
}

HWND FirstTabStop(HWND container) {
  for (HWND child = ::GetWindow(container, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    const DWORD style = Style(child);
    if (!(style & WS_VISIBLE) || (style & WS_DISABLED)) continue;
    if (::GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
      if (const HWND inner = FirstTabStop(child)) return inner;
      continue;
    }
    if (style & WS_TABSTOP) return child;
  }
  return nullptr;
}

void ArrangeTabOrder(HWND container) {
  struct Stop {
    HWND hwnd;
    RECT rect;
  };
  std::vector<Stop> stops;
  for (HWND child = ::GetWindow(container, GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!(Style(child) & WS_TABSTOP)) continue;
    Stop stop{child, {}};
    (void)::GetWindowRect(child, &stop.rect);
    stops.push_back(stop);
  }
  // Controls on one row keep their left-to-right order; equal places keep their creation order.
  std::stable_sort(stops.begin(), stops.end(), [](const Stop& a, const Stop& b) {
    return a.rect.top != b.rect.top ? a.rect.top < b.rect.top : a.rect.left < b.rect.left;
  });
  for (size_t i = 1; i < stops.size(); ++i) {
    (void)::SetWindowPos(stops[i].hwnd, stops[i - 1].hwnd, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  }
}

void MoveToNextControl(HWND window, WPARAM wParam, LPARAM lParam) {
  HWND next = nullptr;
  if (lParam) {
    // An arrow key's neighbour in the group; labels are in the group too, and take no focus.
    next = reinterpret_cast<HWND>(wParam);
    if (!next || !(Style(next) & WS_TABSTOP)) return;
  } else {
    next = ::GetNextDlgTabItem(window, ::GetFocus(), wParam != 0);
  }
  if (next) (void)::SetFocus(next);
}

void DialogFocus::OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    const HWND focus = ::GetFocus();
    if (focus && ::IsChild(window_, focus)) saved_ = focus;
    return;
  }
  // A minimised window holds no focus of its own; keys go to the window itself.
  if (HIWORD(wParam)) return;
  if (Usable(saved_)) {
    (void)::SetFocus(saved_);
  } else {
    FocusFirst();
  }
}

void DialogFocus::FocusFirst() {
  const HWND first = FirstTabStop(window_);
  saved_ = first;
  (void)::SetFocus(first ? first : window_);
}

bool DialogFocus::Usable(HWND control) const {
  return control && ::IsWindow(control) && ::IsChild(window_, control) &&
         ::IsWindowVisible(control) && ::IsWindowEnabled(control);
}

}  // namespace quorvant::win32
