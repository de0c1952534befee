#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/win32/accessible.h"
#include "common/win32/link_label.h"
#include "common/win32/live_label.h"
#include "common/win32/window.h"

namespace quorvant::win32 {

// One of the main window's six panels: a child window with a white face that paints its
// own labels and pictures and hands its controls' notifications to the form. A screen reader
// finds it under its name, its painted labels as texts before the controls it holds.
class Panel final : public Window<Panel>, private AccessibleSource {
 public:
  static constexpr wchar_t kClassName[] = L"QuorvantPanel";

  bool Create(HWND parent, int x, int y, int width, int height);
  // What a screen reader calls the panel: the name of the entry that shows it.
  void SetName(const std::wstring& name);
  void AddLabel(std::wstring text, int x, int y, HFONT font, COLORREF color);
  void AddPicture(HBITMAP bitmap, int x, int y);
  // A rectangle drawn under the labels: filled, outlined by a one-pixel border, or both.
  void AddBox(RECT rect, std::optional<COLORREF> fill, std::optional<COLORREF> border);
  // A label that shows cursor while the mouse is over it and runs onClick on a left click,
  // or on Enter or Space when Tab has brought the focus to it.
  void AddLink(std::wstring text, int x, int y, HFONT font, COLORREF color, HCURSOR cursor,
               std::function<void()> onClick);
  // Forgets the painted labels, pictures and boxes, so that their owner can add them again
  // at another scale; the panel is repainted. Links stay: adding one again moves it.
  void ClearContent();

  // Colours of the live labels on this panel (they sit on its white face).
  StaticColors& Colors() { return colors_; }
  // A live label at a pixel rectangle of the panel, text on white.
  bool AddLiveLabel(LiveLabel& label, std::wstring_view text, RECT rect, HFONT font, COLORREF color,
                    bool singleLine = true) {
    return label.Create(hwnd_, colors_, text, rect, font, color, kFace, singleLine);
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  static constexpr COLORREF kFace = RGB(255, 255, 255);

 private:
  struct Label {
    std::wstring text;
    int x;
    int y;
    HFONT font;
    COLORREF color;
  };
  struct Picture {
    HBITMAP bitmap;
    int x;
    int y;
  };
  struct Box {
    RECT rect;
    std::optional<COLORREF> fill;
    std::optional<COLORREF> border;
  };

  void OnPaint();
  // AccessibleSource
  access::Tree AccessibleTree() const override;
  void DoDefaultAction(int) override {}
  // A list view that takes the focus with no row holding it puts it on a row, to be seen.
  void ShowListFocus(const NMHDR& header);

  StaticColors colors_;

  std::vector<Label> labels_;
  std::vector<std::unique_ptr<LinkLabel>> links_;
  std::vector<Picture> pictures_;
  std::vector<Box> boxes_;
  AccessibleHost accessible_{*this};
};

// Draws a bitmap at (x, y) in its own size.
void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y);

// A one-line label of the skin: where its text lies when drawn at (x, y) in font, and the
// drawing itself (transparent background; the caller sets the background mode).
RECT LabelRect(const std::wstring& text, int x, int y, HFONT font);
void DrawLabel(HDC dc, const std::wstring& text, POINT at, HFONT font, COLORREF color);

}  // namespace quorvant::win32
