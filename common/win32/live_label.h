#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvant::win32 {

// Text and background colours of the static controls a window holds; the window answers
// its WM_CTLCOLORSTATIC with Apply.
class StaticColors {
 public:
  // An empty background draws the text straight onto the parent's face.
  void Set(HWND control, COLORREF text, std::optional<COLORREF> background);
  // Prepares dc and returns the brush for control, or null when control is not listed.
  HBRUSH Apply(HWND control, HDC dc) const;
  bool Transparent(HWND control) const;

 private:
  struct Entry {
    HWND control;
    COLORREF text;
    std::optional<COLORREF> background;
  };
  const Entry* Find(HWND control) const;

  std::vector<Entry> entries_;
  mutable std::vector<std::pair<COLORREF, HBRUSH>> brushes_;
};

// A label whose text the program sets at run time: a real static control, so its window
// text is its caption for screen readers and UI automation. A new text repaints it; the
// same text again costs nothing.
class LiveLabel {
 public:
  LiveLabel() = default;
  // Creates the label in parent at the pixel rectangle; its colours go to colors, which
  // must outlive it. Longer texts wrap within the rectangle unless singleLine.
  bool Create(HWND parent, StaticColors& colors, std::wstring_view text, RECT rect, HFONT font,
              COLORREF textColor, std::optional<COLORREF> background, bool singleLine = true);

  HWND Hwnd() const { return hwnd_; }
  const std::wstring& Text() const { return text_; }
  void SetText(std::wstring_view text);

 private:
  HWND hwnd_ = nullptr;
  bool transparent_ = false;
  std::wstring text_;
};

}  // namespace quorvant::win32
