#pragma once

#include <windows.h>

#include <functional>

#include "button/win32/command_keys.h"
#include "common/win32/dialog_keys.h"
#include "shell/core/chrome.h"

namespace quorvant::win32 {

// The main window's keyboard beyond what the dialog handling of its panels gives: Ctrl+Tab,
// Ctrl+Shift+Tab, Ctrl+Page Down and Ctrl+Page Up select the next or previous entry, Esc
// hides the window to the notification area as the close picture does, a button's access
// key clicks it, and the focus is kept on a control of the visible panel as a dialog keeps it.
class MainWindowKeys {
 public:
  struct Actions {
    std::function<shell::Entry()> selected;
    std::function<void(shell::Entry)> select;  // Select entry
    std::function<void()> hide;
  };

  MainWindowKeys(HWND window, Actions actions)
      : window_(window), actions_(std::move(actions)), focus_(window), buttons_(window) {}

  // A button of a panel, for its access key.
  void AddButton(Command& button) { buttons_.Add(button); }

  // The window's key preview (KeyPreviewMessage); true when the key was acted on.
  bool OnKeyPreview(const MSG& msg);
  // WM_ACTIVATE: the control that had the focus gets it back.
  void OnActivate(WPARAM wParam) { focus_.OnActivate(wParam); }
  // Another panel is visible: its first control takes the focus, now if the window is
  // active, otherwise when it is next activated.
  void PanelChanged();
  // The window was just shown: the visible panel's first control takes the focus.
  void Shown();

 private:
  HWND window_;
  Actions actions_;
  DialogFocus focus_;
  CommandKeyRouter buttons_;
};

}  // namespace quorvant::win32
