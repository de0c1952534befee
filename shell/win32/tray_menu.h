#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "common/win32/window.h"
#include "shell/core/tray_menu.h"

namespace quorvant::win32 {

// A form that is never shown: it owns the tray icon's popup menu m_Menu and receives its
// commands.
class FormMenu final : public Window<FormMenu> {
 public:
  static constexpr wchar_t kClassName[] = L"FormMenu";
  // First command identifier; item i of the menu has kFirstCommand + i.
  static constexpr UINT kFirstCommand = 100;

  explicit FormMenu(std::function<void(shell::MenuItem)> onItem) : onItem_(std::move(onItem)) {}
  ~FormMenu() override;

  bool Create();
  // Opens m_Menu at the mouse position, or at `at` when given; returns after the chosen
  // item's action has run.
  void PopUp(std::optional<POINT> at = std::nullopt);
  void Close();
  HMENU Menu() const { return m_Menu; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  std::function<void(shell::MenuItem)> onItem_;
  HMENU m_Menu = nullptr;
};

}  // namespace quorvant::win32
