#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "common/win32/accessible.h"
#include "common/win32/window.h"

namespace quorvant::win32 {

// A link on a panel: its text in the link's font and colour, with the link's own mouse
// pointer, that runs onClick on a left click. It is also a tab stop, so the keyboard reaches
// it: Enter or Space runs onClick, and it shows a focus rectangle while it has the focus.
// Screen readers find it as a link named by its text, whose default action opens it.
class LinkLabel final : public Window<LinkLabel>, private AccessibleSource {
 public:
  static constexpr wchar_t kClassName[] = L"Quorvant.Link";
  // Room around the text for the focus rectangle, so the text stays where it is placed.
  static constexpr int kMargin = 1;

  // The text's top-left corner is at `at` in parent; face is the parent's colour under it.
  bool Create(HWND parent, std::wstring text, POINT at, HFONT font, COLORREF color, COLORREF face,
              HCURSOR cursor, std::function<void()> onClick);

  // Moves the link's text to `at` in font, as a new display scale asks.
  void Place(POINT at, HFONT font);
  const std::wstring& Text() const { return text_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void OnPaint();
  RECT TextRect(POINT at) const;

  // AccessibleSource
  access::Tree AccessibleTree() const override;
  void DoDefaultAction(int) override {
    if (onClick_) onClick_();
  }

  std::wstring text_;
  HFONT font_ = nullptr;
  COLORREF color_ = 0;
  COLORREF face_ = 0;
  HCURSOR cursor_ = nullptr;
  std::function<void()> onClick_;
  bool pressed_ = false;
  AccessibleHost accessible_{*this};
};

}  // namespace quorvant::win32
