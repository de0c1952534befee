#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/core/color.h"
#include "common/win32/accessible.h"
#include "common/win32/font_cache.h"
#include "common/win32/unique_handle.h"
#include "shell/core/chrome.h"
#include "shell/core/main_window_layout.h"

namespace quorvant::win32 {

// The main window's skin: the background, the navigation entries' pictures and labels, the
// title strip with its two buttons and the frame's texts; where they are at the display's
// scale, how they are painted, and what the mouse does over them. The form hands it its
// window and hears back an entry chosen or a title button clicked. A screen reader finds the
// navigation column as a page tab list and the title buttons as push buttons, and its
// default actions choose an entry or press a button as a click does.
class MainWindowSkin : private AccessibleSource {
 public:
  struct Actions {
    std::function<void(shell::Entry)> select;
    std::function<void(shell::TitleButton::Action)> title;
  };
  MainWindowSkin(FontCache& fonts, const shell::Navigation& navigation, Actions actions)
      : fonts_(fonts), navigation_(navigation), actions_(std::move(actions)) {}
  MainWindowSkin(const MainWindowSkin&) = delete;
  MainWindowSkin& operator=(const MainWindowSkin&) = delete;

  void SetWindow(HWND window) { hwnd_ = window; }
  // The pictures and labels, loaded and placed at the display's scale.
  void LayOut();
  void Paint();

  void OnMouseDown(shell::MouseButton button, POINT at);
  void OnMouseMove(POINT at);
  void OnMouseUp(shell::MouseButton button, POINT at);
  // Another window took the mouse: nothing stays pressed.
  void OnCaptureChanged(HWND to);
  // The window's mouse messages and capture changes, handed to the above; false for any
  // other message.
  bool HandleMouse(UINT message, LPARAM lParam);

  // First in the window's procedure: answers screen readers for the window's client area.
  bool HandleAccessibility(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           LRESULT& result) {
    return accessible_.HandleMessage(window, message, wParam, lParam, result);
  }
  // Another entry is shown: readers hear the new selection.
  void SelectionChanged() { accessible_.Update(); }

 private:
  struct SkinPicture {
    unique_hbitmap bitmap;
    RECT rect{};
  };
  // Pictures that share one place and show one at a time.
  template <size_t N>
  using PictureArray = std::array<SkinPicture, N>;
  struct SkinLabel {
    std::wstring text;
    RECT rect{};
    HFONT font = nullptr;
    std::optional<Color> color;         // empty: the system's button-text colour
    std::optional<shell::Entry> entry;  // a navigation label acts like its entry's pictures
  };
  // What the mouse is over, topmost first: navigation labels, title-bar buttons, title strip,
  // entries.
  struct Hit {
    enum class Kind { Background, NavEntry, Minimise, Close, Caption } kind;
    std::optional<shell::Entry> entry;
    friend bool operator==(const Hit&, const Hit&) = default;
  };

  Hit HitTest(POINT at) const;
  void InvalidateTitleButtons();

  // AccessibleSource
  access::Tree AccessibleTree() const override;
  void DoDefaultAction(int node) override;

  HWND hwnd_ = nullptr;
  FontCache& fonts_;
  const shell::Navigation& navigation_;
  Actions actions_;

  unique_hbitmap background_;
  PictureArray<3> imageMin_;
  PictureArray<3> imageExit_;
  std::array<PictureArray<2>, shell::kEntryCount> navImages_;
  std::vector<SkinLabel> labels_;
  shell::TitleButton imageMinButton_{shell::TitleButton::Kind::Minimise};
  shell::TitleButton imageExitButton_{shell::TitleButton::Kind::Close};
  // The item a mouse button went down on, holding the capture until it comes up.
  std::optional<Hit> pressed_;
  AccessibleHost accessible_{*this};
};

}  // namespace quorvant::win32
