#include "common/win32/modal_dialog.h"

#include <string>

#include "common/core/twips.h"
#include "common/win32/display_scale.h"
#include "common/win32/panel.h"
#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

SIZE ModalDialog::ClientSize(int dpi) const {
  return {TwipsToPixelsAt(clientWidthTwips_, dpi), TwipsToPixelsAt(clientHeightTwips_, dpi)};
}

SIZE ModalDialog::FrameSize(int dpi) const {
  return WindowSizeForClient(ClientSize(dpi), kStyle, kExStyle, dpi);
}

bool ModalDialog::Create(const wchar_t* className, std::wstring_view caption, POINT at, int dpi,
                         HWND owner, void* self) {
  owner_ = owner;
  const SIZE size = FrameSize(dpi);
  const std::wstring text(caption);
  const HWND dialog =
      ::CreateWindowExW(kExStyle, className, text.c_str(), kStyle, at.x, at.y, size.cx, size.cy,
                        owner, nullptr, ::GetModuleHandleW(nullptr), self);
  if (!dialog) return false;
  focus_.Attach(dialog);
  return true;
}

void ModalDialog::Run(const HWND& dialog, HWND focus) {
  if (!dialog) return;
  ownerDisabled_ = owner_ && !::EnableWindow(owner_, FALSE);
  (void)::ShowWindow(dialog, SW_SHOW);
  (void)::SetForegroundWindow(dialog);
  (void)::SetFocus(focus);
  MSG msg;
  while (!closing_ && dialog) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // Quitting: end the dialog and leave the request for the main loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0) break;
    DispatchThreadMessage(msg);
  }
  End(dialog);
}

void ModalDialog::End(HWND dialog) {
  if (ownerDisabled_) (void)::EnableWindow(owner_, TRUE);
  ownerDisabled_ = false;
  if (dialog) (void)::DestroyWindow(dialog);
}

void ModalDialog::Close(HWND dialog) {
  closing_ = true;
  if (dialog) (void)::PostMessageW(dialog, WM_NULL, 0, 0);
}

void ModalDialog::FollowDpiChange(HWND dialog, const RECT& suggested, int dpi) const {
  MoveToSuggestedPlace(dialog, suggested, FrameSize(dpi));
  FitClientArea(dialog, ClientSize(dpi));
}

void ModalDialog::PaintFace(HWND dialog, HDC dc, HBITMAP banner) {
  RECT client;
  (void)::GetClientRect(dialog, &client);
  unique_hbrush face(::CreateSolidBrush(kFace));
  (void)::FillRect(dc, &client, face.get());
  DrawBitmap(dc, banner, 0, 0);
}

std::optional<LRESULT> ModalDialog::HandleMessage(HWND dialog, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_CTLCOLORSTATIC: {
      if (HBRUSH brush =
              colors_.Apply(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
        return reinterpret_cast<LRESULT>(brush);
      // Check boxes, the slider and a disabled edit box sit on the dialog's white face.
      (void)::SetBkColor(reinterpret_cast<HDC>(wParam), kFace);
      return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    case kWmGetDpiScaledSize:
      // The frame at the new scale around the designed client area, so the suggested
      // rectangle of WM_DPICHANGED has exactly this size.
      *reinterpret_cast<SIZE*>(lParam) = FrameSize(static_cast<int>(wParam));
      return TRUE;
    case WM_CLOSE:
      // Closing by the frame changes nothing.
      Close(dialog);
      return 0;
    case WM_ACTIVATE:
      focus_.OnActivate(wParam);
      return 0;
    case WM_NEXTDLGCTL:
      MoveToNextControl(dialog, wParam, lParam);
      return 0;
    default:
      return std::nullopt;
  }
}

}  // namespace quorvant::win32
