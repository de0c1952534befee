#include "shell/win32/program_rules_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <map>

#include "button/core/button_properties.h"
#include "common/win32/display_scale.h"
#include "common/win32/panel.h"
#include "common/win32/pixel_rect.h"
#include "engine/win32/file_icon.h"
#include "engine/win32/processes.h"
#include "shell/core/main_window_layout.h"
#include "skin/resource.h"

namespace quorvant::win32 {

namespace {

namespace layout = engine::rules_dialog;

constexpr COLORREF kText = ModalDialog::kText;
constexpr int kSmallIconPixels = 16;
constexpr int kLargeIconPixels = 32;
constexpr int kCpuDigits = 2;

FontDesc DialogFont() { return FontDesc{}; }

std::wstring WindowTextOf(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

std::optional<std::wstring> SystemFileChooser(HWND owner) {
  std::wstring file(32768, L'\0');
  OPENFILENAMEW open{};
  open.lStructSize = sizeof(open);
  open.hwndOwner = owner;
  open.lpstrFilter = L"Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
  open.lpstrFile = file.data();
  open.nMaxFile = static_cast<DWORD>(file.size());
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!::GetOpenFileNameW(&open)) return std::nullopt;
  file.resize(file.find(L'\0'));
  return file;
}

}  // namespace

FormProgramRules::FormProgramRules(RuleKeeper& keeper, FontCache& fonts)
    : chooseFile(SystemFileChooser),
      keeper_(keeper),
      fonts_(fonts),
      modal_(layout::kClientWidthTwips, layout::kClientHeightTwips) {}

FormProgramRules::~FormProgramRules() { modal_.End(hwnd_); }

bool FormProgramRules::Create(HWND owner) {
  // Centred on the screen, so on the primary monitor, and drawn at that monitor's scale.
  dpi_ = PrimaryMonitorDpi();
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_USEREX_CLASSES};
  (void)::InitCommonControlsEx(&classes);
  RegisterClassOnce(kClassName, 0, nullptr);
  const SIZE size = modal_.FrameSize(dpi_);
  const shell::Point at = shell::CentredWindowPosition(
      ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), {size.cx, size.cy});
  if (!modal_.Create(kClassName, layout::kCaption, {at.x, at.y}, dpi_, owner, this)) return false;
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
    return ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  // A text cut short by its column shows whole under the pointer.
  list_ = CreateReportList(hwnd_, kIdList, L"", layout::kColumns, 0, LVS_EX_LABELTIP).Hwnd();
  program_ = child(WS_EX_CLIENTEDGE, WC_EDITW, L"", WS_TABSTOP | ES_AUTOHSCROLL, kIdProgram);
  running_ = child(0, WC_COMBOBOXEXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kIdRunning);
  cpuCheck_ = child(0, WC_BUTTONW, std::wstring(layout::kCpuCheckCaption).c_str(),
                    WS_TABSTOP | BS_AUTOCHECKBOX, kIdCpuCheck);
  cpu_ = child(WS_EX_CLIENTEDGE, WC_EDITW, L"", WS_TABSTOP | ES_NUMBER, kIdCpu);
  (void)::SendMessageW(cpu_, EM_SETLIMITTEXT, kCpuDigits, 0);
  priority_ = child(0, WC_COMBOBOXW, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kIdPriority);
  for (const std::wstring_view item : layout::kPriorityItems) {
    (void)Priority().AddString(std::wstring(item));
  }
  neverTrim_ = child(0, WC_BUTTONW, std::wstring(layout::kNeverTrimCaption).c_str(),
                     WS_TABSTOP | BS_AUTOCHECKBOX, kIdNeverTrim);
  const HFONT font = fonts_.Get(DialogFont(), dpi_);
  (void)status_.Create(hwnd_, modal_.Colors(), L"", {}, font, kText, std::nullopt, false);

  auto make = [&](Command& button, ButtonId id, const wchar_t* text, const TwipsRect& at,
                  std::function<void()> onClick) {
    const RECT r = PixelRectAt(at, dpi_);
    button.SetDpi(dpi_);
    (void)button.Create(hwnd_, id,
                        button::ProgramButtonBag(text, r.right - r.left, r.bottom - r.top), r.left,
                        r.top, r.right - r.left, r.bottom - r.top);
    button.Events().click = std::move(onClick);
  };
  make(browse_, kIdBrowse, L"Browse...", layout::kBrowseAt, [this] { Browse(); });
  make(add_, kIdAdd, L"Add", layout::kAddAt, [this] { Add(); });
  make(change_, kIdChange, L"Change", layout::kChangeAt, [this] { Change(); });
  make(remove_, kIdRemove, L"Remove", layout::kRemoveAt, [this] { Remove(); });
  make(close_, kIdClose, L"Close", layout::kCloseAt, [this] { Close(); });
  LayOut();

  router_.emplace(hwnd_);
  for (Command* button : {&browse_, &add_, &change_, &remove_, &close_}) router_->Add(*button);
  router_->SetCancel(&close_);
  ArrangeTabOrder(hwnd_);

  FillList();
  FillRunning();
  SetFields(engine::FieldsOf({}));
  UpdateButtons();
  if (!keeper_.Log().empty()) ShowStatus(keeper_.Log().back());
  return true;
}

void FormProgramRules::LayOut() {
  banner_ = LoadSkinBitmap(IDB_LIMIT_BANNER, dpi_);
  const HFONT font = fonts_.Get(DialogFont(), dpi_);
  const std::pair<HWND, TwipsRect> controls[] = {
      {list_, layout::kListAt},
      {program_, layout::kProgramAt},
      {running_, layout::kRunningAt},
      {cpuCheck_, layout::kCpuCheckAt},
      {cpu_, layout::kCpuAt},
      {priority_, layout::kPriorityAt},
      {neverTrim_, layout::kNeverTrimAt},
      {status_.Hwnd(), layout::kStatusAt},
  };
  for (const auto& [control, at] : controls) PlaceControl(control, PixelRectAt(at, dpi_), font);
  for (size_t i = 0; i < layout::kColumns.size(); ++i) {
    List().SetColumnWidth(static_cast<int>(i),
                          TwipsToPixelsAt(layout::kColumns[i].widthTwips, dpi_));
  }
  const std::pair<Command*, TwipsRect> buttons[] = {{&browse_, layout::kBrowseAt},
                                                    {&add_, layout::kAddAt},
                                                    {&change_, layout::kChangeAt},
                                                    {&remove_, layout::kRemoveAt},
                                                    {&close_, layout::kCloseAt}};
  for (const auto& [button, at] : buttons) {
    button->SetDpi(dpi_);
    PlaceControl(button->Hwnd(), PixelRectAt(at, dpi_), nullptr);
  }
  // The running programs' icons at this scale.
  const int icon = DesignPixelsAt(kSmallIconPixels, dpi_);
  runningIcons_.reset(::ImageList_Create(icon, icon, ILC_COLOR32 | ILC_MASK, 16, 16));
  (void)::SendMessageW(running_, CBEM_SETIMAGELIST, 0,
                       reinterpret_cast<LPARAM>(runningIcons_.get()));
  for (const std::wstring& path : runningPaths_) {
    const IconPicture picture = GetFileIcon(path, true);
    (void)::ImageList_AddIcon(runningIcons_.get(), picture.get());
  }
  (void)::InvalidateRect(hwnd_, nullptr, TRUE);
}

void FormProgramRules::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  LayOut();
  modal_.FollowDpiChange(hwnd_, suggested, dpi_);
}

Command& FormProgramRules::Button(ButtonId id) {
  switch (id) {
    case kIdAdd:
      return add_;
    case kIdChange:
      return change_;
    case kIdRemove:
      return remove_;
    case kIdBrowse:
      return browse_;
    case kIdClose:
    default:
      return close_;
  }
}

void FormProgramRules::FillList() {
  const ListView list = List();
  list.DeleteAll();
  rowKeys_.clear();
  auto add = [&](const auto& columns, const std::wstring& key) {
    const int row = list.AddRow(columns[0]);
    for (size_t c = 1; c < columns.size(); ++c) list.SetText(row, static_cast<int>(c), columns[c]);
    rowKeys_.push_back(key);
  };
  for (const engine::KeyedRule& keyed : keeper_.Book().Rules()) {
    add(engine::RuleRow(keyed.rule), keyed.key);
  }
  for (const engine::SkippedRule& skipped : keeper_.Book().Skipped()) {
    add(engine::SkippedRow(skipped), std::wstring());
  }
}

void FormProgramRules::FillRunning() {
  // Each program once, by the system's case mapping of its path, in the order of its path.
  std::map<std::wstring, std::wstring> byKey;
  (void)ForEachProcess([&](const ProcessEntry& entry) {
    if (entry.id == 0 || entry.id == ::GetCurrentProcessId()) return;
    std::wstring path = ProcessImagePath(entry.id);
    if (path.empty()) return;
    std::wstring key = UpperFileName(path);
    byKey.emplace(std::move(key), std::move(path));
  });
  runningPaths_.clear();
  for (auto& [key, path] : byKey) runningPaths_.push_back(std::move(path));
  (void)::ImageList_RemoveAll(runningIcons_.get());
  for (size_t i = 0; i < runningPaths_.size(); ++i) {
    const IconPicture picture = GetFileIcon(runningPaths_[i], true);
    const int image = ::ImageList_AddIcon(runningIcons_.get(), picture.get());
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
    item.iItem = static_cast<INT_PTR>(i);
    item.pszText = runningPaths_[i].data();
    item.iImage = item.iSelectedImage = image;
    (void)::SendMessageW(running_, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
}

std::wstring FormProgramRules::SelectedKey() const {
  const int row = List().Selected();
  if (row < 0 || static_cast<size_t>(row) >= rowKeys_.size()) return {};
  return rowKeys_[static_cast<size_t>(row)];
}

void FormProgramRules::RowSelected() {
  const std::wstring key = SelectedKey();
  for (const engine::KeyedRule& keyed : keeper_.Book().Rules()) {
    if (keyed.key == key) SetFields(engine::FieldsOf(keyed.rule));
  }
  UpdateButtons();
}

void FormProgramRules::RunningChosen() {
  const int index = static_cast<int>(::SendMessageW(running_, CB_GETCURSEL, 0, 0));
  if (index < 0 || static_cast<size_t>(index) >= runningPaths_.size()) return;
  (void)::SetWindowTextW(program_, runningPaths_[static_cast<size_t>(index)].c_str());
}

engine::RuleFields FormProgramRules::Fields() const {
  engine::RuleFields fields;
  fields.program = WindowTextOf(program_);
  fields.limitCpu = CpuCheck().Value() == BST_CHECKED;
  fields.cpuText = WindowTextOf(cpu_);
  fields.priority = Priority().Text();
  fields.neverTrim = NeverTrim().Value() == BST_CHECKED;
  return fields;
}

void FormProgramRules::SetFields(const engine::RuleFields& fields) {
  (void)::SetWindowTextW(program_, fields.program.c_str());
  CpuCheck().SetValue(fields.limitCpu ? BST_CHECKED : BST_UNCHECKED);
  (void)::SetWindowTextW(cpu_, fields.cpuText.c_str());
  (void)::EnableWindow(cpu_, fields.limitCpu);
  (void)Priority().SelectText(fields.priority);
  NeverTrim().SetValue(fields.neverTrim ? BST_CHECKED : BST_UNCHECKED);
}

void FormProgramRules::Add() {
  auto rule = engine::RuleOf(Fields());
  if (auto* why = std::get_if<std::wstring>(&rule)) return ShowStatus(*why);
  const engine::ProgramRule& made = std::get<engine::ProgramRule>(rule);
  if (auto refusal = keeper_.Add(made)) return ShowStatus(*refusal);
  FillList();
  const int row = static_cast<int>(keeper_.Book().Rules().size()) - 1;
  List().Select(row);
  List().EnsureVisible(row);
  ShowStatus(L"Rule for " + made.program + L" added.");
}

void FormProgramRules::Change() {
  const std::wstring key = SelectedKey();
  if (key.empty()) return ShowStatus(L"Select the rule to change first.");
  auto rule = engine::RuleOf(Fields());
  if (auto* why = std::get_if<std::wstring>(&rule)) return ShowStatus(*why);
  const int row = List().Selected();
  if (auto refusal = keeper_.Change(key, std::get<engine::ProgramRule>(rule))) {
    return ShowStatus(*refusal);
  }
  FillList();
  List().Select(row);
  ShowStatus(L"Rule for " + std::get<engine::ProgramRule>(rule).program + L" changed.");
}

void FormProgramRules::Remove() {
  const std::wstring key = SelectedKey();
  if (key.empty()) return ShowStatus(L"Select the rule to remove first.");
  const std::wstring program = List().Text(List().Selected(), layout::kColumnProgram);
  if (auto refusal = keeper_.Remove(key)) return ShowStatus(*refusal);
  FillList();
  SetFields(engine::FieldsOf({}));
  UpdateButtons();
  ShowStatus(L"Rule for " + program + L" removed.");
}

void FormProgramRules::Browse() {
  if (!chooseFile) return;
  if (const auto file = chooseFile(hwnd_)) (void)::SetWindowTextW(program_, file->c_str());
}

void FormProgramRules::ShowStatus(const std::wstring& text) { status_.SetText(text); }

void FormProgramRules::UpdateButtons() {
  // "Change" and "Remove" stay reachable; without a selected rule they say so.
  const bool selected = !SelectedKey().empty();
  // Enter confirms what the editor holds: a change of the selected rule, else a new one.
  if (router_) router_->SetDefault(selected ? &change_ : &add_);
}

void FormProgramRules::ShowModal() { modal_.Run(hwnd_, list_); }

void FormProgramRules::Close() { modal_.Close(hwnd_); }

bool FormProgramRules::OnKeyPreview(const MSG& msg) {
  if (router_ && router_->PreTranslateMessage(msg)) return true;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && !FocusedControlWants(msg)) {
    Close();
    return true;
  }
  return false;
}

void FormProgramRules::OnCommand(WORD id, WORD code) {
  if (id == kIdRunning && code == CBN_SELCHANGE) RunningChosen();
  if (id == kIdCpuCheck && code == BN_CLICKED) {
    (void)::EnableWindow(cpu_, CpuCheck().Value() == BST_CHECKED);
  }
}

void FormProgramRules::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  ModalDialog::PaintFace(hwnd_, dc, banner_.get());
  // The program's own icon where the limit dialog shows the limited process's.
  const RECT box = PixelRectAt(layout::kIconAt, dpi_);
  const int side = DesignPixelsAt(kLargeIconPixels, dpi_);
  if (const HICON icon =
          static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP),
                                          IMAGE_ICON, side, side, LR_DEFAULTCOLOR))) {
    const int x = (box.left + box.right - side) / 2, y = (box.top + box.bottom - side) / 2;
    (void)::DrawIconEx(dc, x, y, icon, side, side, 0, nullptr, DI_NORMAL);
    (void)::DestroyIcon(icon);
  }
  ModalDialog::DrawFixedTexts(dc, layout::kFixedTexts, fonts_.Get(DialogFont(), dpi_), dpi_);
  (void)::EndPaint(hwnd_, &ps);
}

LRESULT FormProgramRules::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == list_ && header->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) &&
            ((change->uNewState ^ change->uOldState) & LVIS_SELECTED)) {
          RowSelected();
        }
      }
      return 0;
    }
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      if (message == KeyPreviewMessage()) {
        // Only from this thread's own loop: the message is registered session-wide.
        const MSG* key = PreviewedKey(lParam);
        return key && OnKeyPreview(*key) ? 1 : 0;
      }
      if (const auto answer = modal_.HandleMessage(hwnd_, message, wParam, lParam)) return *answer;
      return DefaultProc(message, wParam, lParam);
  }
}

}  // namespace quorvant::win32
