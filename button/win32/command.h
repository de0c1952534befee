#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

#include "button/core/command_core.h"
#include "common/core/property_bag.h"
#include "common/win32/accessible.h"
#include "common/win32/gdi_canvas.h"
#include "common/win32/window.h"

namespace quorvant::win32 {

// The skinned push button as a child window. A form describes each button as a
// PropertyBag (see button::ProgramButtonBag), creates it with Create and listens to
// Events().click. The button draws into its own memory bitmap and blits it on paint;
// hover is polled every 10 ms while the cursor has been over it.
//
// Screen readers find it as a push button named by its caption (see AccessibleTree);
// their default action presses it as a left click does.
class Command final : public Window<Command>,
                      private button::CommandHost,
                      private AccessibleSource {
 public:
  static constexpr wchar_t kClassName[] = L"Quorvant.Command";
  static constexpr UINT_PTR kHoverTimerId = 1;
  static constexpr UINT kHoverPollMs = 10;

  Command();
  ~Command() override;

  // Creates the button in parent at (x, y) of the parent's client area and loads its
  // properties from bag. A width or height of 0 is taken from the bag's extent.
  bool Create(HWND parent, int controlId, const PropertyBag& bag, int x, int y, int width = 0,
              int height = 0);
  // A button placed for the first time: its name is its caption.
  bool CreateNew(HWND parent, int controlId, std::wstring_view instanceName, int x, int y,
                 int width, int height);

  button::CommandCore& Core() { return core_; }
  const button::CommandCore& Core() const { return core_; }
  button::CommandEvents& Events() { return core_.events; }
  // Stores the button's properties (only those that differ from a fresh button).
  void Save(PropertyBag& bag) const { core_.WriteProperties(bag); }
  const GdiCanvas& Surface() const { return surface_; }

  // The scale its caption's font is made for: the display's unless set. The font is made
  // again and the button redrawn; move and size the button for the new scale after this.
  void SetDpi(int dpi);

  // The form shows this button as its default button (CommandKeyRouter sets it).
  void SetDisplayAsDefault(bool value);
  bool DisplayAsDefault() const { return displayAsDefault_; }

  // Where the hover poll reads the cursor, in screen coordinates; the platform's
  // cursor unless replaced (a gallery holds its buttons hovered this way).
  void SetCursorSource(std::function<POINT()> source) { cursorSource_ = std::move(source); }

  // Every successful property write, with the property's key.
  std::function<void(std::wstring_view key)> propertyChanged;
  // The focus moved to this button, or from it to newFocus.
  std::function<void(HWND newFocus)> focusChanged;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  bool CreateWindowIn(HWND parent, int controlId, int x, int y, int width, int height,
                      const wchar_t* title);
  void SyncSize();
  void OnButtonDown(std::int16_t button, WPARAM wParam, LPARAM lParam);
  void OnButtonUp(std::int16_t button, WPARAM wParam, LPARAM lParam);

  // CommandHost
  button::SystemColors GetSystemColors() const override;
  FontDesc AmbientFont() const override;
  bool AmbientDisplayAsDefault() const override { return displayAsDefault_; }
  std::uintptr_t WindowHandle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_); }
  void EnableWindow(bool enabled) override;
  void SetWindowRegion(const button::ButtonRegion& region) override;
  void Invalidate() override;
  void Refresh() override;
  void StartHoverTimer() override;
  void StopHoverTimer() override;
  button::PixelPoint CursorPosition() const override;
  void MoveFocus(bool forward) override;
  void PropertyChanged(std::wstring_view key) override;
  void CaptionChanged(std::wstring_view caption) override;

  // AccessibleSource
  access::Tree AccessibleTree() const override;
  void DoDefaultAction(int node) override;

  GdiCanvas surface_;
  button::CommandCore core_;
  bool displayAsDefault_ = false;
  std::function<POINT()> cursorSource_;
  // What WM_CREATE loads: a form's bag, or a new instance's name.
  const PropertyBag* pendingBag_ = nullptr;
  std::wstring_view pendingName_;
  // Mouse buttons pressed over this window and not yet released (1, 2, 4).
  int pressedButtons_ = 0;
  // Buttons whose release ends a double click's second press, which completes no click.
  int doubleClickButtons_ = 0;
  AccessibleHost accessible_{*this};
};

}  // namespace quorvant::win32
