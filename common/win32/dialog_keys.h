#pragma once

#include <windows.h>

namespace quorvant::win32 {

// Keyboard handling shared by every loop that takes messages from this thread's queue (the
// main loop, the limit dialog's modal loop, the pending-events loop of long walks), so a key
// reaches the window the user is looking at whichever loop happens to take it.

// Asked of the thread's active window before its dialog handling sees a key: lParam points
// to the MSG. A window that acted on the key answers nonzero and the key goes no further.
// Windows that do not know the message answer 0 from their default procedure.
UINT KeyPreviewMessage();
// The key a KeyPreviewMessage's lParam points to, only while this thread's own loop is asking
// (the message is registered session-wide, so any program can send it with any lParam);
// null for every other sender.
const MSG* PreviewedKey(LPARAM lParam);
// WM_GETDLGCODE's key, only when the message comes from this thread; null otherwise.
const MSG* DialogCodeKey(LPARAM lParam);

// Translates and dispatches one message. A key goes first to the active window's preview,
// then through IsDialogMessage of the active window (Tab, arrows, Enter, Esc, message boxes'
// own keys); the first key press also shows the focus cues that a mouse start hid.
void DispatchThreadMessage(MSG& msg);

// True when the window that will receive msg (the focused control) asks for this very key
// itself, as an open drop-down list does for Enter and Esc.
bool FocusedControlWants(const MSG& msg);

// The first control in container's tab order that can take the focus (a visible, enabled
// tab stop, looked for inside nested control containers too); null when there is none.
HWND FirstTabStop(HWND container);

// Puts container's tab stops in reading order, top to bottom and left to right, which is
// the order Tab visits them in.
void ArrangeTabOrder(HWND container);

// WM_NEXTDLGCTL for a window that is not a system dialog: IsDialogMessage asks for it on
// arrow keys (and on Tab on some systems). wParam and lParam as the message defines them.
void MoveToNextControl(HWND window, WPARAM wParam, LPARAM lParam);

// What a dialog does with its focus on activation: remembers the focused control when the
// window is deactivated and gives it back when the window is activated again. A control
// that has gone or is no longer visible gives way to the first tab stop (or the window).
class DialogFocus {
 public:
  explicit DialogFocus(HWND window = nullptr) : window_(window) {}
  void Attach(HWND window) { window_ = window; }

  // WM_ACTIVATE's wParam.
  void OnActivate(WPARAM wParam);
  // The focus goes to the window's first tab stop (the window itself when it has none).
  void FocusFirst();
  // Forgets the remembered control: the next activation focuses the first tab stop.
  void Forget() { saved_ = nullptr; }

 private:
  bool Usable(HWND control) const;

  HWND window_;
  HWND saved_ = nullptr;
};

}  // namespace quorvant::win32
