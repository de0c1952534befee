#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace quorvant::win32 {

// Thin, non-owning views of common controls: each call is one message.

class CheckBox {
 public:
  explicit CheckBox(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND Hwnd() const { return hwnd_; }
  // 0 clear, 1 ticked, 2 greyed.
  int Value() const { return static_cast<int>(::SendMessageW(hwnd_, BM_GETCHECK, 0, 0)); }
  void SetValue(int value) const { (void)::SendMessageW(hwnd_, BM_SETCHECK, value, 0); }

 private:
  HWND hwnd_;
};

class ComboBox {
 public:
  explicit ComboBox(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND Hwnd() const { return hwnd_; }
  int AddString(const std::wstring& text) const {
    return static_cast<int>(
        ::SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
  }
  int Count() const { return static_cast<int>(::SendMessageW(hwnd_, CB_GETCOUNT, 0, 0)); }
  int Selection() const { return static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0)); }
  void Select(int index) const { (void)::SendMessageW(hwnd_, CB_SETCURSEL, index, 0); }
  std::wstring ItemText(int index) const {
    const auto length = ::SendMessageW(hwnd_, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    (void)::SendMessageW(hwnd_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
  }
  // The selected item's text; empty when nothing is chosen.
  std::wstring Text() const {
    const int index = Selection();
    return index == CB_ERR ? std::wstring() : ItemText(index);
  }
  // Selects the item whose text equals text exactly (case included); false when none does.
  bool SelectText(const std::wstring& text) const {
    for (int i = 0, n = Count(); i < n; ++i) {
      if (ItemText(i) == text) {
        Select(i);
        return true;
      }
    }
    return false;
  }

 private:
  HWND hwnd_;
};

}  // namespace quorvant::win32
