#include "button/win32/command.h"

#include <windowsx.h>

#include <cstdlib>
#include <string>

#include "common/win32/dialog_keys.h"

namespace quorvant::win32 {

namespace {

// The forms' own font, assumed for a button that stores none.
const FontDesc kFormFont{L"MS Sans Serif", 8.0};

Color SysColor(int index) { return static_cast<Color>(::GetSysColor(index)); }

bool KeyHeld(int virtualKey) { return ::GetKeyState(virtualKey) < 0; }

// WM_KEYDOWN's lParam: the key was already down, a repeat of a held key.
constexpr LPARAM kKeyWasDown = LPARAM{1} << 30;

// Shift 1, Ctrl 2, Alt 4, as the button's events report them.
std::int16_t KeyShift() {
  return static_cast<std::int16_t>((KeyHeld(VK_SHIFT) ? 1 : 0) | (KeyHeld(VK_CONTROL) ? 2 : 0) |
                                   (KeyHeld(VK_MENU) ? 4 : 0));
}

std::int16_t MouseShift(WPARAM wParam) {
  return static_cast<std::int16_t>(((wParam & MK_SHIFT) ? 1 : 0) | ((wParam & MK_CONTROL) ? 2 : 0) |
                                   (KeyHeld(VK_MENU) ? 4 : 0));
}

std::int16_t HeldButtons(WPARAM wParam) {
  return static_cast<std::int16_t>(((wParam & MK_LBUTTON) ? button::kLeftButton : 0) |
                                   ((wParam & MK_RBUTTON) ? button::kRightButton : 0) |
                                   ((wParam & MK_MBUTTON) ? button::kMiddleButton : 0));
}

// The font a fresh drawing surface has, which a newly placed button starts with.
FontDesc FontOf(HDC dc) {
  LOGFONTW lf{};
  HGDIOBJ font = ::GetCurrentObject(dc, OBJ_FONT);
  if (!font || ::GetObjectW(font, sizeof(lf), &lf) == 0) return kFormFont;
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) (void)::ReleaseDC(nullptr, screen);
  FontDesc desc;
  desc.name = lf.lfFaceName;
  desc.sizePt = std::abs(lf.lfHeight) * 72.0 / dpi;
  desc.bold = lf.lfWeight >= FW_BOLD;
  desc.italic = lf.lfItalic != 0;
  desc.underline = lf.lfUnderline != 0;
  desc.strikethrough = lf.lfStrikeOut != 0;
  return desc;
}

// The window whose tab order Tab and Shift+Tab walk: the first ancestor that is not a
// control container nested in another window.
HWND TabRoot(HWND control) {
  HWND root = ::GetParent(control);
  while (root) {
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(root, GWL_EXSTYLE));
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(root, GWL_STYLE));
    if (!(exStyle & WS_EX_CONTROLPARENT) || !(style & WS_CHILD)) break;
    HWND parent = ::GetParent(root);
    if (!parent) break;
    root = parent;
  }
  return root;
}

}  // namespace

Command::Command() : core_(surface_, *this) { RegisterClassOnce(kClassName, CS_DBLCLKS); }

Command::~Command() {
  // The window outlives the members that draw it; keep its messages away from them.
  if (hwnd_) (void)::KillTimer(hwnd_, kHoverTimerId);
}

bool Command::Create(HWND parent, int controlId, const PropertyBag& bag, int x, int y, int width,
                     int height) {
  if (width <= 0) width = button::ExtentToPixels(bag.ReadInt(PropertyBag::kExtentX, 0));
  if (height <= 0) height = button::ExtentToPixels(bag.ReadInt(PropertyBag::kExtentY, 0));
  pendingBag_ = &bag;
  const bool created = CreateWindowIn(parent, controlId, x, y, width, height, L"");
  pendingBag_ = nullptr;
  return created;
}

bool Command::CreateNew(HWND parent, int controlId, std::wstring_view instanceName, int x, int y,
                        int width, int height) {
  pendingName_ = instanceName;
  const bool created = CreateWindowIn(parent, controlId, x, y, width, height, L"");
  pendingName_ = {};
  return created;
}

bool Command::CreateWindowIn(HWND parent, int controlId, int x, int y, int width, int height,
                             const wchar_t* title) {
  if (hwnd_) return false;
  HWND hwnd = ::CreateWindowExW(
      WS_EX_NOPARENTNOTIFY, kClassName, title, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
      x, y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
      ::GetModuleHandleW(nullptr), this);
  if (!hwnd) return false;
  // Not every platform sends the first WM_SIZE during creation.
  SyncSize();
  return true;
}

void Command::SyncSize() {
  RECT client{};
  (void)::GetClientRect(hwnd_, &client);
  const int width = client.right - client.left, height = client.bottom - client.top;
  const button::ButtonGeometry& g = core_.Geometry();
  if (g.width == width && g.height == height && surface_.Width() == width &&
      surface_.Height() == height) {
    return;
  }
  surface_.Resize(width, height);
  core_.OnResize(width, height);
}

void Command::SetDpi(int dpi) {
  surface_.SetDpi(dpi);
  // Before the window exists the font is made when the properties load.
  if (!hwnd_ || surface_.FontDpi() == dpi) return;
  surface_.SetFont(core_.Properties().font);
  core_.OnAmbientChanged();
}

void Command::SetDisplayAsDefault(bool value) {
  if (displayAsDefault_ == value) return;
  displayAsDefault_ = value;
  core_.OnAmbientChanged();
}

LRESULT Command::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT accessibleResult = 0;
  if (accessible_.HandleMessage(hwnd_, message, wParam, lParam, accessibleResult)) {
    return accessibleResult;
  }
  switch (message) {
    case WM_CREATE:
      if (pendingBag_) {
        core_.ReadProperties(*pendingBag_);
      } else {
        core_.InitNew(pendingName_, FontOf(surface_.Dc()));
      }
      return 0;
    case WM_SIZE:
      SyncSize();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the blit covers everything
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = ::BeginPaint(hwnd_, &ps);
      if (dc) surface_.BlitTo(dc);
      (void)::EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      OnButtonDown(button::kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONDOWN:
      OnButtonDown(button::kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONDOWN:
      OnButtonDown(button::kMiddleButton, wParam, lParam);
      return 0;
    // The second press of a double click: pressed as usual, but its release raises no
    // second Click.
    case WM_RBUTTONDBLCLK:
      if (core_.Properties().enabled) doubleClickButtons_ |= button::kRightButton;
      OnButtonDown(button::kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONDBLCLK:
      if (core_.Properties().enabled) doubleClickButtons_ |= button::kMiddleButton;
      OnButtonDown(button::kMiddleButton, wParam, lParam);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (!core_.Properties().enabled) return 0;
      pressedButtons_ |= button::kLeftButton;
      doubleClickButtons_ |= button::kLeftButton;
      (void)::SetCapture(hwnd_);
      core_.OnDblClick();
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(button::kLeftButton, wParam, lParam);
      return 0;
    case WM_RBUTTONUP:
      OnButtonUp(button::kRightButton, wParam, lParam);
      return 0;
    case WM_MBUTTONUP:
      OnButtonUp(button::kMiddleButton, wParam, lParam);
      return 0;
    case WM_MOUSEMOVE:
      core_.OnMouseMove(HeldButtons(wParam), MouseShift(wParam),
                        static_cast<float>(GET_X_LPARAM(lParam)),
                        static_cast<float>(GET_Y_LPARAM(lParam)));
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lParam) != hwnd_) pressedButtons_ = 0;
      return 0;
    case WM_TIMER:
      if (wParam == kHoverTimerId) core_.OnTimerTick();
      return 0;
    case WM_KEYDOWN:
      core_.OnKeyDown(static_cast<std::int16_t>(wParam), KeyShift());
      // Enter reaches the button only when the form leaves it to the focused button, which
      // it clicks as a form's default key does; a held key clicks once.
      if (wParam == VK_RETURN && !(lParam & kKeyWasDown) && hwnd_) core_.OnAccessKeyPress();
      return 0;
    case WM_KEYUP:
      core_.OnKeyUp(static_cast<std::int16_t>(wParam), KeyShift());
      return 0;
    case WM_CHAR:
      core_.OnKeyPress(static_cast<std::int16_t>(wParam));
      return 0;
    case WM_GETDLGCODE: {
      // Arrows and characters are the button's own, and Enter while it has the focus; Tab
      // and Escape stay the form's.
      const MSG* key = DialogCodeKey(lParam);
      const bool enter = key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN;
      return DLGC_WANTARROWS | DLGC_WANTCHARS | (enter ? DLGC_WANTMESSAGE : 0);
    }
    case WM_SETFOCUS:
      core_.OnGotFocus();
      accessible_.NotifyFocus();
      if (focusChanged) focusChanged(hwnd_);
      return 0;
    case WM_KILLFOCUS:
      core_.OnLostFocus();
      if (focusChanged) focusChanged(reinterpret_cast<HWND>(wParam));
      return 0;
    case WM_SETTEXT:
      core_.SetCaption(lParam ? reinterpret_cast<const wchar_t*>(lParam) : L"");
      return TRUE;
    case BM_CLICK:
      // Another program or a test pressing the button: the same as its access key.
      core_.OnAccessKeyPress();
      return 0;
    default:
      return DefaultProc(message, wParam, lParam);
  }
}

void Command::OnButtonDown(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  if (!core_.Properties().enabled) return;
  if (button == button::kLeftButton && ::GetFocus() != hwnd_) (void)::SetFocus(hwnd_);
  // Captured, so the release arrives even when it happens outside the button.
  pressedButtons_ |= button;
  (void)::SetCapture(hwnd_);
  core_.OnMouseDown(button, MouseShift(wParam), static_cast<float>(GET_X_LPARAM(lParam)),
                    static_cast<float>(GET_Y_LPARAM(lParam)));
}

void Command::OnButtonUp(std::int16_t button, WPARAM wParam, LPARAM lParam) {
  const bool wasPressed = (pressedButtons_ & button) != 0;
  pressedButtons_ &= ~button;
  const bool endsDoubleClick = (doubleClickButtons_ & button) != 0;
  doubleClickButtons_ &= ~button;
  if (pressedButtons_ == 0 && ::GetCapture() == hwnd_) (void)::ReleaseCapture();

  const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  core_.OnMouseUp(button, MouseShift(wParam), static_cast<float>(at.x), static_cast<float>(at.y));
  // A click is a press and a release of the left or right button over the button.
  RECT client{};
  (void)::GetClientRect(hwnd_, &client);
  const bool completes =
      wasPressed && !endsDoubleClick && button != button::kMiddleButton && ::PtInRect(&client, at);
  if (completes && hwnd_) core_.OnClick();
}

// ---- CommandHost ----

button::SystemColors Command::GetSystemColors() const {
  return {SysColor(COLOR_BTNFACE),      SysColor(COLOR_BTNTEXT), SysColor(COLOR_BTNSHADOW),
          SysColor(COLOR_BTNHIGHLIGHT), SysColor(COLOR_3DLIGHT), SysColor(COLOR_3DDKSHADOW)};
}

FontDesc Command::AmbientFont() const { return kFormFont; }

void Command::EnableWindow(bool enabled) {
  if (!hwnd_) return;
  (void)::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
  accessible_.Update();
}

void Command::SetWindowRegion(const button::ButtonRegion& region) {
  if (!hwnd_) return;
  unique_hrgn shape(::CreateRectRgn(0, 0, region.width, region.height));
  if (!shape) return;
  for (const button::CutPixel& cut : region.cuts) {
    unique_hrgn pixel(::CreateRectRgn(cut.x, cut.y, cut.x + 1, cut.y + 1));
    if (pixel) (void)::CombineRgn(shape.get(), shape.get(), pixel.get(), RGN_DIFF);
  }
  // From here on the region belongs to the window.
  if (::SetWindowRgn(hwnd_, shape.get(), TRUE)) (void)shape.release();
}

void Command::Invalidate() {
  if (!hwnd_) return;
  (void)::InvalidateRect(hwnd_, nullptr, FALSE);
  // Every change of look (pressed, focused, enabled, caption) comes through here.
  accessible_.Update();
}

void Command::Refresh() {
  if (!hwnd_) return;
  (void)::InvalidateRect(hwnd_, nullptr, FALSE);
  (void)::UpdateWindow(hwnd_);
}

void Command::StartHoverTimer() {
  if (hwnd_) (void)::SetTimer(hwnd_, kHoverTimerId, kHoverPollMs, nullptr);
}

void Command::StopHoverTimer() {
  if (hwnd_) (void)::KillTimer(hwnd_, kHoverTimerId);
}

button::PixelPoint Command::CursorPosition() const {
  POINT p{};
  if (cursorSource_) {
    p = cursorSource_();
  } else {
    (void)::GetCursorPos(&p);
  }
  (void)::ScreenToClient(hwnd_, &p);
  return {p.x, p.y};
}

void Command::MoveFocus(bool forward) {
  // What a Tab (or Shift+Tab) keystroke does in a form: the next control in tab order.
  HWND root = TabRoot(hwnd_);
  if (!root) return;
  HWND next = ::GetNextDlgTabItem(root, hwnd_, forward ? FALSE : TRUE);
  if (next && next != hwnd_) (void)::SetFocus(next);
}

void Command::PropertyChanged(std::wstring_view key) {
  if (propertyChanged) propertyChanged(key);
}

void Command::CaptionChanged(std::wstring_view caption) {
  // Keeps the window text equal to the caption, for readers of window texts.
  if (!hwnd_) return;
  const std::wstring text(caption);
  (void)::DefWindowProcW(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// ---- AccessibleSource ----

access::Tree Command::AccessibleTree() const {
  RECT client{};
  if (hwnd_) (void)::GetClientRect(hwnd_, &client);
  const auto style = hwnd_ ? static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE)) : 0;
  access::CommandFacts facts;
  facts.caption = core_.Properties().caption;
  facts.accessKey = core_.AccessKey();
  facts.enabled = core_.Properties().enabled;
  facts.visible = (style & WS_VISIBLE) != 0;
  facts.focused = core_.HasFocus();
  facts.pressed = core_.State() == button::ButtonState::Down;
  facts.isDefault = displayAsDefault_;
  return access::Tree(access::DescribeCommand(facts),
                      {0, 0, client.right - client.left, client.bottom - client.top});
}

void Command::DoDefaultAction(int) {
  // The same road as a left click in the middle of the button: focus, pressed look,
  // released look, Click.
  if (!core_.Properties().enabled) return;
  if (::GetFocus() != hwnd_) (void)::SetFocus(hwnd_);
  const button::ButtonGeometry& g = core_.Geometry();
  const float x = static_cast<float>(g.width / 2), y = static_cast<float>(g.height / 2);
  core_.OnMouseDown(button::kLeftButton, 0, x, y);
  if (!hwnd_) return;
  core_.OnMouseUp(button::kLeftButton, 0, x, y);
  if (hwnd_) core_.OnClick();
}

}  // namespace quorvant::win32
