#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace quorvant::win32 {

// Thin, non-owning views of common controls: each call is one message.

// A control on a panel, in the tab order, at no place yet: its panel's layout places it.
inline HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                          WORD id) {
  return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0,
                           0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

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
  // A drop-down list is placed this tall, in twips: room for its items below the closed box.
  static constexpr int kDropDownListTwips = 1500;

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

// A list view in report view.
class ListView {
 public:
  explicit ListView(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND Hwnd() const { return hwnd_; }
  void AddColumn(int index, const std::wstring& title, int widthPx) const {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(title.c_str());
    column.cx = widthPx;
    column.iSubItem = index;
    (void)::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
  }
  void SetColumnWidth(int index, int widthPx) const {
    (void)::SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, index, MAKELPARAM(widthPx, 0));
  }
  int Count() const { return static_cast<int>(::SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }
  // Appends a row whose first column is text; returns its index, -1 on failure.
  int AddRow(const std::wstring& text) const { return AddRow(text, 0); }
  // The same, the row carrying data of its owner's (ItemData).
  int AddRow(const std::wstring& text, LPARAM data) const {
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = Count();
    item.pszText = const_cast<wchar_t*>(text.c_str());
    item.lParam = data;
    return static_cast<int>(
        ::SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  }
  // The data the row was added with; 0 for a row that is not there.
  LPARAM ItemData(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return ::SendMessageW(hwnd_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) ? item.lParam
                                                                                   : 0;
  }
  void SetText(int row, int column, const std::wstring& text) const {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    (void)::SendMessageW(hwnd_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  }
  std::wstring Text(int row, int column) const {
    std::wstring text(512, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    const auto length =
        ::SendMessageW(hwnd_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    text.resize(static_cast<size_t>(length));
    return text;
  }
  void SetImage(int row, int image) const {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = image;
    (void)::SendMessageW(hwnd_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  void DeleteAll() const { (void)::SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0); }
  void EnsureVisible(int row) const { (void)::SendMessageW(hwnd_, LVM_ENSUREVISIBLE, row, FALSE); }
  // The first selected row, -1 when none is.
  int Selected() const {
    return static_cast<int>(
        ::SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  }
  void Select(int row) const {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    (void)::SendMessageW(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }
  // Sets the small-icon image list (null detaches it); the list view does not own it.
  void SetSmallImages(HIMAGELIST images) const {
    (void)::SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
  }
  void SetExtendedStyle(DWORD style) const {
    (void)::SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, style, style);
  }

 private:
  HWND hwnd_;
};

// A report list as the program's panels and dialogs have it: sunken, a tab stop, one row
// selected at a time, selected whole and kept visible without the focus, with its columns
// titled and their widths left to the layout. name is its window text, which a list view
// does not show but a screen reader reads. The handle is null when the system refused.
template <typename Columns>
ListView CreateReportList(HWND parent, int id, const wchar_t* name, const Columns& columns,
                          DWORD style = 0, DWORD extendedStyle = 0) {
  const ListView list(::CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, name,
      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | style,
      0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      ::GetModuleHandleW(nullptr), nullptr));
  if (!list.Hwnd()) return list;
  list.SetExtendedStyle(LVS_EX_FULLROWSELECT | extendedStyle);
  int index = 0;
  for (const auto& column : columns) list.AddColumn(index++, std::wstring(column.title), 0);
  return list;
}

// An image list of icons; the view does not own it.
class ImageList {
 public:
  explicit ImageList(HIMAGELIST images = nullptr) : images_(images) {}
  HIMAGELIST Handle() const { return images_; }
  // Copies icon into the list; returns its index, -1 on failure.
  int AddIcon(HICON icon) const { return ::ImageList_AddIcon(images_, icon); }
  void RemoveAll() const { (void)::ImageList_RemoveAll(images_); }
  int Count() const { return ::ImageList_GetImageCount(images_); }

 private:
  HIMAGELIST images_;
};

// A horizontal slider (trackbar).
class Trackbar {
 public:
  explicit Trackbar(HWND hwnd = nullptr) : hwnd_(hwnd) {}
  HWND Hwnd() const { return hwnd_; }
  void SetRange(int low, int high) const {
    (void)::SendMessageW(hwnd_, TBM_SETRANGEMIN, FALSE, low);
    (void)::SendMessageW(hwnd_, TBM_SETRANGEMAX, TRUE, high);
  }
  int Position() const { return static_cast<int>(::SendMessageW(hwnd_, TBM_GETPOS, 0, 0)); }
  void SetPosition(int value) const { (void)::SendMessageW(hwnd_, TBM_SETPOS, TRUE, value); }

 private:
  HWND hwnd_;
};

}  // namespace quorvant::win32
