#pragma once

#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <utility>

namespace quorvant::win32 {

// One owning wrapper for every kind of platform handle: Close is a function object that
// frees it, Invalid the value that means "none".
template <typename T, typename Close, T Invalid = T{}>
class UniqueAny {
 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid; }
  T release() { return std::exchange(value_, Invalid); }
  void reset(T value = Invalid) {
    const T old = std::exchange(value_, value);
    if (old != Invalid) Close{}(old);
  }

 private:
  T value_ = Invalid;
};

struct CloseHandleFn {
  void operator()(HANDLE h) const { (void)::CloseHandle(h); }
};
struct RegCloseKeyFn {
  void operator()(HKEY k) const { (void)::RegCloseKey(k); }
};
struct DestroyIconFn {
  void operator()(HICON i) const { (void)::DestroyIcon(i); }
};
struct DeleteObjectFn {
  void operator()(HGDIOBJ o) const { (void)::DeleteObject(o); }
};
struct DeleteDcFn {
  void operator()(HDC dc) const { (void)::DeleteDC(dc); }
};
struct ImageListDestroyFn {
  void operator()(HIMAGELIST l) const { (void)::ImageList_Destroy(l); }
};
struct DestroyCursorFn {
  void operator()(HCURSOR c) const { (void)::DestroyCursor(c); }
};

using unique_handle = UniqueAny<HANDLE, CloseHandleFn>;
// Toolhelp snapshots and files answer INVALID_HANDLE_VALUE, not null, for failure.
class unique_snapshot {
 public:
  unique_snapshot() = default;
  explicit unique_snapshot(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  HANDLE get() const { return h_.get(); }
  explicit operator bool() const { return static_cast<bool>(h_); }
  void reset(HANDLE h = nullptr) { h_.reset(h == INVALID_HANDLE_VALUE ? nullptr : h); }

 private:
  unique_handle h_;
};
using unique_hfile = unique_snapshot;
using unique_hkey = UniqueAny<HKEY, RegCloseKeyFn>;
using unique_hicon = UniqueAny<HICON, DestroyIconFn>;
using unique_hcursor = UniqueAny<HCURSOR, DestroyCursorFn>;
using unique_hbrush = UniqueAny<HBRUSH, DeleteObjectFn>;
using unique_hpen = UniqueAny<HPEN, DeleteObjectFn>;
using unique_hfont = UniqueAny<HFONT, DeleteObjectFn>;
using unique_hbitmap = UniqueAny<HBITMAP, DeleteObjectFn>;
using unique_hrgn = UniqueAny<HRGN, DeleteObjectFn>;
using unique_hdc = UniqueAny<HDC, DeleteDcFn>;
using unique_himagelist = UniqueAny<HIMAGELIST, ImageListDestroyFn>;

// Selects an object into a DC for one scope and puts the previous one back.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  ~ScopedSelect() { (void)::SelectObject(dc_, previous_); }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace quorvant::win32
