#include "shell/win32/cpu_panel.h"

#include "button/core/button_properties.h"
#include "common/win32/pending_events.h"
#include "common/win32/pixel_rect.h"
#include "engine/core/cpu_layout.h"
#include "engine/win32/file_icon.h"
#include "engine/win32/process_throttle.h"
#include "skin/product.h"

namespace quorvant::win32 {

namespace {

namespace layout = engine::cpu_panel;

constexpr COLORREF kHeadingColor = RGB(255, 128, 0);
constexpr COLORREF kTextColor = RGB(0, 0, 0);
constexpr wchar_t kProgramTitle[] = QUORVANT_PRODUCT_NAME_W;

FontDesc TextFont() { return FontDesc{}; }
}  // namespace

CpuPanel::CpuPanel(Panel& panel, FontCache& fonts, LimitSlotTable& table, EffectLedger& ledger,
                   JobSharing& sharing, engine::ProcessSource* source,
                   engine::CpuThrottle* throttle)
    : panel_(panel),
      fonts_(fonts),
      table_(table),
      source_(source),
      ownThrottle_(throttle ? nullptr : std::make_unique<ProcessThrottle>(sharing)),
      throttle_(throttle ? *throttle : *ownThrottle_),
      limits_(table, ledger, throttle_) {
  systemThrottle_ = static_cast<ProcessThrottle*>(ownThrottle_.get());
  if (!source_) {
    ownSource_ = std::make_unique<SystemProcessSource>();
    source_ = ownSource_.get();
  }
  showWarning = [this](std::wstring_view text) {
    const std::wstring message(text);
    (void)::MessageBoxW(::GetAncestor(panel_.Hwnd(), GA_ROOT), message.c_str(), kProgramTitle,
                        MB_OK | MB_ICONEXCLAMATION);
  };
}

CpuPanel::~CpuPanel() {
  // The list must not keep a handle to the image list that goes with this panel.
  if (list_ && ::IsWindow(list_)) List().SetSmallImages(nullptr);
}

bool CpuPanel::Create() {
  const HWND parent = panel_.Hwnd();
  const HFONT text = fonts_.Get(TextFont());
  // Created anywhere; LayOut places them.
  // The descriptions wrap within their boxes, which painted one-line labels cannot do.
  (void)panel_.AddLiveLabel(description1_, layout::kDescription1, {}, text, kTextColor, false);
  (void)panel_.AddLiveLabel(description2_, layout::kDescription2, {}, text, kTextColor, false);
  (void)panel_.AddLiveLabel(limitedCount_, L"0", {}, text, kTextColor);
  // Found by its id from outside, as automation tools look for it.
  (void)::SetWindowLongPtrW(limitedCount_.Hwnd(), GWLP_ID, kIdLimitedCount);

  // Its text is what a screen reader calls it; a list view does not show it.
  list_ =
      CreateReportList(parent, kIdList, L"Processes", layout::kColumns, LVS_SHAREIMAGELISTS).Hwnd();
  if (!list_) return false;
  images_.reset(::ImageList_Create(::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                   ILC_COLOR32 | ILC_MASK, 0, 32));

  auto button = [&](Command& command, int id, const wchar_t* caption, const TwipsRect& at,
                    std::function<void()> onClick) {
    const RECT r = PixelRect(at);
    const bool made = command.Create(
        parent, id, button::ProgramButtonBag(caption, r.right - r.left, r.bottom - r.top), r.left,
        r.top);
    command.Events().click = std::move(onClick);
    return made;
  };
  const bool buttons = button(refresh_, kIdRefresh, L"Refresh", layout::kRefreshAt,
                              [this] { CommandRefreshProcessClick(); }) &&
                       button(limit_, kIdLimit, L"Limit", layout::kLimitAt,
                              [this] { CommandLimitProcessCpuClick(); });
  LayOut();
  return buttons;
}

void CpuPanel::LayOut() {
  const HFONT text = fonts_.Get(TextFont());
  panel_.ClearContent();
  panel_.AddLabel(std::wstring(layout::kHeading), TwipsToPixels(layout::kHeadingAt.left),
                  TwipsToPixels(layout::kHeadingAt.top), fonts_.Get(HeadingFont()), kHeadingColor);
  PlaceControl(description1_.Hwnd(), PixelRect(layout::kDescription1At), text);
  PlaceControl(description2_.Hwnd(), PixelRect(layout::kDescription2At), text);
  panel_.AddLabel(std::wstring(layout::kLimitedCountCaption),
                  TwipsToPixels(layout::kLimitedCountCaptionAt.left),
                  TwipsToPixels(layout::kLimitedCountCaptionAt.top), text, kTextColor);
  PlaceControl(limitedCount_.Hwnd(), PixelRect(layout::kLimitedCountAt), text);

  PlaceControl(list_, PixelRect(layout::kListAt), text);
  for (int i = 0; i < static_cast<int>(std::size(layout::kColumns)); ++i) {
    List().SetColumnWidth(i, TwipsToPixels(layout::kColumns[i].widthTwips));
  }
  for (auto [command, at] :
       {std::pair{&refresh_, layout::kRefreshAt}, {&limit_, layout::kLimitAt}}) {
    command->SetDpi(DisplayDpi());
    PlaceControl(command->Hwnd(), PixelRect(at), nullptr);
  }
}

void CpuPanel::CommandRefreshProcessClick() {
  RefreshProcessList(true);
  MarkLimitedRows();
}

void CpuPanel::RefreshWithoutIcons() {
  RefreshProcessList(false);
  MarkLimitedRows();
}

void CpuPanel::SetFormerMethod(bool former) {
  formerMethod_ = former;
  // The former way empties the image list at every rebuild: no place in it is kept.
  icons_.Clear();
  freeImages_.clear();
  List().SetSmallImages(nullptr);
  if (images_) ImageList(images_.get()).RemoveAll();
}

void CpuPanel::RefreshProcessList(bool withIcons) {
  const ListView list = List();
  // Nothing is painted or let through while the list is rebuilt, so the list is drawn, given
  // its images and scrolled once, at the end, instead of for every row it gets.
  const bool batched = !formerMethod_;
  if (batched) (void)::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  list.DeleteAll();
  rows_.clear();
  lastSelected_ = -1;
  imageIndex_.clear();
  pendingIcons_.clear();
  if (formerMethod_) {
    // The list has no image source while the images change.
    list.SetSmallImages(nullptr);
    if (images_) ImageList(images_.get()).RemoveAll();
  }

  // Fetching a file's icon and putting it into the image list are the slow part of a
  // rebuild: each path's image is kept from one rebuild to the next and shown by every row
  // of that path.
  std::map<std::wstring, IconPicture> formerIcons;
  icons_.BeginRound();
  int lastRow = -1;
  (void)engine::BuildProcessList(
      *source_,
      [&](const engine::ListedProcess& process) {
        const auto index = static_cast<LPARAM>(rows_.size());
        rows_.push_back({{process.id, process.started}, process.name});
        const int row = list.AddRow(std::to_wstring(process.number), index);
        if (row < 0) {
          rows_.pop_back();
          return;
        }
        lastRow = row;
        list.SetText(row, layout::kColumnPid, std::to_wstring(process.id));
        list.SetText(row, layout::kColumnProcess, process.name);
        if (withIcons) {
          AddRowIcon(row, process.path, process.imageKey, formerIcons);
        } else {
          // Attached already, so the rows keep their places when the icons come.
          if (!batched) list.SetSmallImages(images_.get());
          list.SetImage(row, I_IMAGENONE);
          pendingIcons_.push_back({row, process.path, process.imageKey});
        }
        if (!batched) list.EnsureVisible(row);
      },
      formerMethod_ ? engine::PathRule::Modules : engine::PathRule::ImageName);
  if (withIcons) EndIconRound();
  if (batched) {
    list.SetSmallImages(lastRow >= 0 ? images_.get() : nullptr);
    (void)::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    if (lastRow >= 0) list.EnsureVisible(lastRow);
    (void)::InvalidateRect(list_, nullptr, TRUE);
  }
}

void CpuPanel::FillPendingIcons() {
  std::map<std::wstring, IconPicture> formerIcons;
  for (const auto& pending : pendingIcons_) {
    AddRowIcon(pending.row, pending.path, pending.imageKey, formerIcons);
  }
  pendingIcons_.clear();
  EndIconRound();
}

void CpuPanel::EndIconRound() {
  for (const int image : icons_.EndRound()) {
    if (image >= 0) freeImages_.push_back(image);
  }
}

int CpuPanel::AddPathImage(const std::wstring& path) {
  const IconPicture icon = GetFileIcon(path, true);
  if (!icon || !images_) return -1;
  // The image list copies the icon.
  if (!freeImages_.empty()) {
    const int place = freeImages_.back();
    if (::ImageList_ReplaceIcon(images_.get(), place, icon.get()) == place) {
      freeImages_.pop_back();
      return place;
    }
  }
  return ImageList(images_.get()).AddIcon(icon.get());
}

void CpuPanel::AddRowIcon(int row, const std::wstring& path, const std::wstring& imageKey,
                          std::map<std::wstring, IconPicture>& formerIcons) {
  const ListView list = List();
  int image = -1;
  if (formerMethod_) {
    auto found = formerIcons.find(path);
    if (found == formerIcons.end()) {
      ++formerLookups_;
      found = formerIcons.emplace(path, GetFileIcon(path, true)).first;
    }
    if (found->second && images_) image = ImageList(images_.get()).AddIcon(found->second.get());
    // The former way attached the images to the list again for every row.
    list.SetSmallImages(images_.get());
  } else {
    image = icons_.For(path);
  }
  if (image >= 0) imageIndex_[imageKey] = image;
  list.SetImage(row, image < 0 ? I_IMAGENONE : image);
}

void CpuPanel::MarkLimitedRows() {
  const ListView list = List();
  std::vector<std::uint32_t> ids;
  const int count = list.Count();
  ids.reserve(static_cast<size_t>(count));
  for (int row = 0; row < count; ++row) ids.push_back(RowId(row));
  limits_.MarkRows(
      ids, [this](std::uint32_t id) { return source_->Identify(id); },
      [&](int row, const std::wstring& text) { list.SetText(row, layout::kColumnLimited, text); });
}

const CpuPanel::ListedRow* CpuPanel::Listed(int row) const {
  if (row < 0 || row >= List().Count()) return nullptr;
  const LPARAM index = List().ItemData(row);
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size()) return nullptr;
  return &rows_[static_cast<std::size_t>(index)];
}

std::uint32_t CpuPanel::RowId(int row) const {
  const ListedRow* listed = Listed(row);
  return listed ? listed->process.id : 0;
}

ProcessIdentity CpuPanel::RowProcess(int row) const {
  const ListedRow* listed = Listed(row);
  if (!listed) return {};
  const ProcessIdentity& process = listed->process;
  // Known since the rebuild: the row's process while it runs, never a later one with its id.
  if (process.Known()) {
    return source_->Identify(process.id) == process ? process : ProcessIdentity{};
  }
  // The id may have passed to another program since the rebuild: the row's process is the
  // one that runs the row's program.
  if (engine::GetProcessPath(*source_, process.id, listed->name).empty()) return {};
  return source_->Identify(process.id).value_or(ProcessIdentity{});
}

int CpuPanel::RowOf(const ProcessIdentity& process) const {
  if (!process.Known()) return -1;
  const ListView list = List();
  for (int row = 0, count = list.Count(); row < count; ++row) {
    if (RowId(row) != process.id) continue;
    // One row per id in a rebuild; it shows the process only while the id still names it.
    return source_->Identify(process.id) == process ? row : -1;
  }
  return -1;
}

int CpuPanel::ImageIndex(const std::wstring& key) const {
  const auto found = imageIndex_.find(key);
  return found == imageIndex_.end() ? -1 : found->second;
}

void CpuPanel::CommandLimitProcessCpuClick() {
  // The count below lets clicks through; a second "Limit" meanwhile, or while the dialog
  // shows, must not open a second dialog over the first.
  if (limitRunning_) return;
  limitRunning_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{limitRunning_};

  const ListView list = List();
  const int row = list.Selected();
  // The dialog belongs to this row's process, whatever the list shows by the time it is
  // answered: the count below lets clicks and a "Refresh" run.
  const ListedRow* listed = Listed(row);
  const std::uint32_t id = listed ? listed->process.id : 0;
  const std::wstring name = listed ? listed->name : std::wstring();
  const ProcessIdentity process = RowProcess(row);
  const auto plan = engine::PlanLimitCommand(table_, list.Count(), listed ? row : -1, process,
                                             [] { ProcessPendingEvents(); });
  using Action = engine::LimitCommandPlan::Action;
  if (plan.action == Action::Nothing) return;
  if (plan.action == Action::Refuse) {
    if (showWarning) showWarning(L"Can not limit more");
    return;
  }

  FormSetProcessCpuPercent::Setup setup;
  setup.mode = plan.action == Action::OpenExisting ? FormSetProcessCpuPercent::Mode::ExistingLimit
                                                   : FormSetProcessCpuPercent::Mode::NewLimit;
  setup.sliderValue = plan.sliderValue;
  setup.pidText = std::to_wstring(id);
  setup.target.process = process.Known() ? process : ProcessIdentity{id, 0};
  setup.target.name = name;
  setup.target.path = engine::GetProcessPath(*source_, id, name);
  setup.icon = GetFileIcon(setup.target.path, false);

  std::optional<std::wstring> refusal;
  FormSetProcessCpuPercent dialog(
      limits_, fonts_, [&](const engine::LimitTarget& target, const engine::LimitOutcome& outcome) {
        // The mark goes on the row of the dialog's process; if a rebuild has dropped that row,
        // the next marking shows the slot.
        const int targetRow = RowOf(target.process);
        if (targetRow >= 0) List().SetText(targetRow, layout::kColumnLimited, outcome.rowText);
        refusal = outcome.refusal;
      });
  if (rules_) {
    dialog.keepRule = [this](const engine::LimitTarget& target, int percent) {
      return rules_->KeepLimit(target.path, percent);
    };
  }
  if (!dialog.Create(::GetAncestor(panel_.Hwnd(), GA_ROOT), std::move(setup))) return;
  dialog_ = &dialog;
  if (dialogOpening) dialogOpening(dialog);
  dialog.ShowModal();
  dialog_ = nullptr;
  if (refusal && showWarning) showWarning(*refusal);
}

void CpuPanel::SetRules(RuleKeeper* rules) {
  rules_ = rules;
  limits_.SetRules(rules ? &rules->Engine() : nullptr);
}

void CpuPanel::ShowRuleMarks(const std::vector<ProcessIdentity>& processes) {
  if (!rules_ || !list_) return;
  for (const ProcessIdentity& process : processes) {
    if (table_.FindLive(process)) continue;
    const int row = RowOf(process);
    if (row < 0) continue;
    const std::optional<int> percent = rules_->Engine().RulePercent(process);
    List().SetText(row, layout::kColumnLimited,
                   percent ? engine::RuleLimitText(*percent) : std::wstring());
  }
}

int CpuPanel::TimerCpuTick() {
  limits_.ForgetEnded();
  const int count = table_.CountInUse([] { ProcessPendingEvents(); });
  limitedCount_.SetText(std::to_wstring(count));
  return count;
}

int CpuPanel::ShowLimitedCount() {
  const int count = table_.CountInUse();
  limitedCount_.SetText(std::to_wstring(count));
  return count;
}

void CpuPanel::ReleaseAllLimits() {
  limits_.LiftAll();
  const ListView list = List();
  for (int row = 0, count = list.Count(); row < count; ++row) {
    if (!list.Text(row, layout::kColumnLimited).empty()) {
      list.SetText(row, layout::kColumnLimited, L"");
    }
  }
}

void CpuPanel::NotifyEndedLimits(HWND window, UINT message) {
  if (!systemThrottle_) return;
  systemThrottle_->OnEnded([window, message] { (void)::PostMessageW(window, message, 0, 0); });
}

bool CpuPanel::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != list_ || !list_) return false;
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED)) {
      lastSelected_ = change.iItem;
    }
  }
  if (header.code == NM_DBLCLK) {
    const ListView list = List();
    // A double click on the empty strip below the rows: its first click has just cleared
    // the selection, and it acts on the row selected before.
    const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
    if (activate.iItem < 0 && list.Selected() < 0 && lastSelected_ >= 0 &&
        lastSelected_ < list.Count()) {
      list.Select(lastSelected_);
    }
    CommandLimitProcessCpuClick();
  }
  return true;
}

HWND CpuPanel::LimitDialog() const { return dialog_ ? dialog_->Hwnd() : nullptr; }

}  // namespace quorvant::win32
