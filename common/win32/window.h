#pragma once

#include <windows.h>

namespace quorvant::win32 {

// The one window-procedure pattern: a static thunk binds the object on WM_NCCREATE (the
// object is passed as the creation parameter), forwards every message to
// Derived::HandleMessage and unbinds on WM_NCDESTROY. No exception leaves the procedure.
template <typename Derived>
class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window() {
    if (hwnd_) {
      (void)::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      (void)::DestroyWindow(hwnd_);
    }
  }

  HWND Hwnd() const { return hwnd_; }

 protected:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Derived* self = nullptr;
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      self = static_cast<Derived*>(create->lpCreateParams);
      self->hwnd_ = hwnd;
      (void)::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
      self = reinterpret_cast<Derived*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    try {
      result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
      result = ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
      (void)::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
    }
    return result;
  }

  // Registers the class once per process; later calls are harmless.
  static void RegisterClassOnce(const wchar_t* className, UINT style = 0, HBRUSH background = nullptr,
                                HCURSOR cursor = ::LoadCursorW(nullptr, IDC_ARROW),
                                HICON icon = nullptr) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &Window::WndProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = cursor;
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    wc.hIcon = icon;
    (void)::RegisterClassExW(&wc);
  }

  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
  }

  HWND hwnd_ = nullptr;
};

}  // namespace quorvant::win32
