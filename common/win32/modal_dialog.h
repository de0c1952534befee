#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "common/core/twips.h"
#include "common/win32/dialog_keys.h"
#include "common/win32/live_label.h"
#include "common/win32/panel.h"

namespace quorvant::win32 {

// What the program's own dialogs share: a caption with a close box around a client area laid
// out in twips, a white face under the skin's banner, and a modal run with the owner disabled.
// A dialog holds one, creates its window through it and hands it the messages it does not
// answer itself.
class ModalDialog {
 public:
  static constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  static constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
  static constexpr COLORREF kFace = RGB(255, 255, 255);
  static constexpr COLORREF kText = RGB(0, 0, 0);

  ModalDialog(int clientWidthTwips, int clientHeightTwips)
      : clientWidthTwips_(clientWidthTwips), clientHeightTwips_(clientHeightTwips) {}

  // The designed client area and the window's outer size around it, at a scale.
  SIZE ClientSize(int dpi) const;
  SIZE FrameSize(int dpi) const;

  // Creates the dialog's window of className (registered by the caller) hidden, with its
  // top-left corner at `at`, owned by owner; self is what the class's WM_NCCREATE receives.
  bool Create(const wchar_t* className, std::wstring_view caption, POINT at, int dpi, HWND owner,
              void* self);

  // Shows the dialog with its owner disabled and the focus on focus, and returns when Close
  // was asked, the dialog has gone or the program quits (the quit is left for the main
  // loop). The owner's timers keep ticking meanwhile.
  void Run(const HWND& dialog, HWND focus);
  // The owner is enabled before the dialog goes, so the activation returns to it; it must
  // never stay disabled, whichever way the dialog ended.
  void End(HWND dialog);
  // The window goes when the modal loop ends, not inside the button's click that asked.
  void Close(HWND dialog);

  // After WM_DPICHANGED and a new layout: the suggested place and the client area at the new
  // scale.
  void FollowDpiChange(HWND dialog, const RECT& suggested, int dpi) const;
  // Fills the face and draws the banner at the top left; the dialog draws the rest.
  static void PaintFace(HWND dialog, HDC dc, HBITMAP banner);
  // Draws the fixed texts (each a text and its twips rectangle) in font over the face.
  template <typename Texts>
  static void DrawFixedTexts(HDC dc, const Texts& texts, HFONT font, int dpi) {
    (void)::SetBkMode(dc, TRANSPARENT);
    for (const auto& fixed : texts) {
      DrawLabel(dc, std::wstring(fixed.text),
                {TwipsToPixelsAt(fixed.at.left, dpi), TwipsToPixelsAt(fixed.at.top, dpi)}, font,
                kText);
    }
  }

  // The colours of the dialog's labels.
  StaticColors& Colors() { return colors_; }

  // The messages every such dialog answers alike (the background, the frame's close, the
  // focus on activation, arrow keys between controls, the label colours, the size at another
  // scale); nothing for the rest.
  std::optional<LRESULT> HandleMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  int clientWidthTwips_;
  int clientHeightTwips_;
  HWND owner_ = nullptr;
  StaticColors colors_;
  DialogFocus focus_;
  bool closing_ = false;
  bool ownerDisabled_ = false;
};

}  // namespace quorvant::win32
