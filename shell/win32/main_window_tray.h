#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

#include "shell/core/tray_hook.h"
#include "shell/core/tray_menu.h"
#include "shell/win32/tray_menu.h"

namespace quorvant::win32 {

// The main window's notification-area icon: its events and the shell's restart, the tray
// menu, and the warnings the icon tells the user, each once per run.
class MainWindowTray {
 public:
  // What the icon's events ask of the main window.
  struct Actions {
    // Show the hidden window and restore it.
    std::function<void()> restoreWindow;
    // A tray menu item was chosen.
    std::function<void(shell::MenuItem)> runMenuItem;
    // Whether the limit dialog is on screen: the icon then only brings it forward.
    std::function<bool()> limitDialogVisible;
  };

  explicit MainWindowTray(Actions actions);
  MainWindowTray(const MainWindowTray&) = delete;
  MainWindowTray& operator=(const MainWindowTray&) = delete;
  ~MainWindowTray();

  // Adds the icon for window; its events are heard from now on, and a warning held back
  // until there was an icon is told.
  void Add(HWND window);
  // The program is ending: the icon's events no longer heard, the menu closed and the icon
  // removed, with meanwhile run while the shell removes it. The window must live until this
  // returns, since the shell finds the icon by it.
  void Remove(const std::function<void()>& meanwhile);
  HWND MenuWindow() const;

  // The icon's events and the shell's restart, while the icon is there; nothing when the
  // message is none of them.
  std::optional<LRESULT> OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // A setting could not be stored: told once per run, as soon as there is an icon.
  void WarnSettingsNotSaved();
  // A raise refused because the ledger could not be written: told once per run, while there
  // is an icon; the booster tries again at every new front window.
  void WarnRaiseNotKept();

 private:
  // At the mouse, or at the given point (the icon's anchor when the keyboard asked).
  void OpenMenu(std::optional<POINT> at);

  const Actions actions_;
  HWND window_ = nullptr;
  std::unique_ptr<FormMenu> formMenu_;
  bool added_ = false;
  // The icon's events are heard from the icon's addition until the program ends.
  bool listening_ = false;
  UINT taskbarCreatedMsg_ = 0;
  shell::TrayMouseEcho echo_;
  bool raiseWarningShown_ = false;
  enum class SaveWarning { None, Pending, Shown } saveWarning_ = SaveWarning::None;
};

}  // namespace quorvant::win32
