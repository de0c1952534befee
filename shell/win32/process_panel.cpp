#include "shell/win32/process_panel.h"

#include <commctrl.h>

#include <string_view>

#include "common/core/twips.h"
#include "common/win32/accessible.h"
#include "common/win32/pixel_rect.h"
#include "engine/win32/booster_desktop.h"

namespace quorvant::win32 {

namespace {

constexpr COLORREF kOrange = RGB(255, 128, 0);
constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

constexpr std::wstring_view kHeading =
    L"The first way - increase the priority of processes - Speed up process";
constexpr std::wstring_view kDescription =
    L"The higher priority,the more system resources the process will obtain and faster it will "
    L"run.This fuction can adjust the process priority intelligently, increase the priority of "
    L"active processes and reduce the priority of the inactive process automatically .";
constexpr std::wstring_view kLevelHelp =
    L"Above Normal level can speed up 10%-20%,High level can speed up 20%-30%";

// Columns of the log: title and width in twips. The last is the calm's: what it did to the
// process in Target and why, which the booster's rows leave empty.
struct Column {
  std::wstring_view title;
  int widthTwips;
};
constexpr Column kHistoryColumns[] = {
    {L"NO.", 600}, {L"Time", 1000}, {L"Target", 2800}, {L"Priority", 1440}, {L"Why", 3600}};
enum HistoryColumn { kColumnNumber, kColumnTime, kColumnTarget, kColumnPriority, kColumnWhy };

// Beside the booster's box, in the row's free space, without moving anything placed.
constexpr TwipsRect kCheckCalmBackgroundAt{4320, 1560, 3135, 255};

constexpr WORD kIdListViewHistory = 1201;
constexpr UINT_PTR kToolNowImproveProcess = 1;

FontDesc WindowFont() { return FontDesc{}; }
}  // namespace

ProcessPanel::ProcessPanel(EffectLedger& ledger, std::unique_ptr<BoosterDesktop> desktop,
                           UniformRandom random, CalmHooks calm)
    : desktop_(desktop ? std::move(desktop) : std::make_unique<WindowsBoosterDesktop>()),
      booster_(*desktop_, std::move(random), ledger),
      calm_(ledger, std::move(calm.held), std::move(calm.watcher), std::move(calm.sampler)) {
  // A calmed process boosted to the front is given its own class back first, so the raise
  // starts from that class and the demotion returns there.
  booster_.comingToFront = [this](const ProcessIdentity& process) {
    calm_.Calm().ToFront(process);
  };
}

ProcessPanel::~ProcessPanel() {
  // The tooltip is a pop-up of its own; the panel's child controls go with the panel.
  if (tooltip_ && ::IsWindow(tooltip_)) (void)::DestroyWindow(tooltip_);
}

bool ProcessPanel::Create(Panel& panel, const shell::SettingsState& settings, FontCache& fonts) {
  panelWindow_ = &panel;
  fonts_ = &fonts;
  panel_ = panel.Hwnd();
  settings_ = &settings;
  const HFONT font = fonts.Get(WindowFont());

  // Created anywhere; LayOut places them.
  constexpr DWORD kCheck = BS_3STATE;  // each click's new state follows the settings
  checkNowImproveProcess_ = CheckBox(CreateControl(panel_, WC_BUTTONW, L"Enable speed up process",
                                                   kCheck, kIdCheckNowImproveProcess));
  comboSpeed_ = ComboBox(
      CreateControl(panel_, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL, kIdComboSpeed));
  // A drop-down list's text is its choice; its painted caption is its name.
  (void)NameForScreenReaders(comboSpeed_.Hwnd(), L"Speed up level");
  checkCalmBackground_ = CheckBox(CreateControl(panel_, WC_BUTTONW, L"Calm background processes",
                                                kCheck, kIdCheckCalmBackground));
  for (const auto item : shell::kSpeedItems) (void)comboSpeed_.AddString(std::wstring(item));
  checkNowImproveProcess_.SetValue(settings.improveProcess);
  (void)comboSpeed_.SelectText(settings.improveSpeed);
  checkCalmBackground_.SetValue(settings.calmBackground);

  bool ok = checkNowImproveProcess_.Hwnd() && comboSpeed_.Hwnd() && checkCalmBackground_.Hwnd();
  // The two longer texts wrap within their boxes.
  ok &= panel.AddLiveLabel(description_, kDescription, {}, font, kBlack, false);
  ok &= panel.AddLiveLabel(levelHelp_, kLevelHelp, {}, font, kOrange, false);
  ok &= panel.AddLiveLabel(labelImprovedCount_, kNoTarget, {}, font, kOrange);
  ok &= panel.AddLiveLabel(labelNowImproveProcess_, kNoTarget, {}, font, kGreen);
  CreateTooltip(panel_);

  // Named after its painted caption, for screen readers.
  listViewHistory_ =
      CreateReportList(panel_, kIdListViewHistory, L"Log", kHistoryColumns, LVS_NOSORTHEADER);
  if (!listViewHistory_.Hwnd()) return false;
  LayOut();
  return ok && tooltip_;
}

void ProcessPanel::LayOut() {
  if (!panelWindow_) return;
  Panel& panel = *panelWindow_;
  const HFONT font = fonts_->Get(WindowFont());
  const HFONT heading = fonts_->Get(HeadingFont());
  auto at = [](int twips) { return TwipsToPixels(twips); };

  panel.ClearContent();
  panel.AddLabel(L"Speed up level:", at(1560), at(1920), font, kBlack);
  panel.AddLabel(std::wstring(kHeading), at(360), at(120), heading, kOrange);
  panel.AddLabel(L"Speed up count:", at(1140), at(2760), font, kBlack);
  panel.AddLabel(L"Now speeding up:", at(1035), at(3000), font, kBlack);
  panel.AddLabel(L"Log:", at(360), at(3480), heading, kOrange);

  PlaceControl(checkNowImproveProcess_.Hwnd(), PixelRect({1200, 1560, 2895, 255}), font);
  PlaceControl(checkCalmBackground_.Hwnd(), PixelRect(kCheckCalmBackgroundAt), font);
  PlaceControl(comboSpeed_.Hwnd(), PixelRect({3000, 1920, 1815, ComboBox::kDropDownListTwips}),
               font);
  PlaceControl(description_.Hwnd(), PixelRect({360, 480, 6645, 810}), font);
  PlaceControl(levelHelp_.Hwnd(), PixelRect({1560, 2280, 4860, 420}), font);
  PlaceControl(labelImprovedCount_.Hwnd(), PixelRect({2640, 2760, 1815, 255}), font);
  const RECT targetRect = PixelRect({2640, 3000, 3735, 255});
  PlaceControl(labelNowImproveProcess_.Hwnd(), targetRect, font);
  if (tooltip_) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = panel_;
    tool.uId = kToolNowImproveProcess;
    tool.rect = targetRect;
    (void)::SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  PlaceControl(listViewHistory_.Hwnd(), PixelRect({390, 3735, 6480, 1800}), font);
  int index = 0;
  for (const auto& column : kHistoryColumns) {
    listViewHistory_.SetColumnWidth(index++, at(column.widthTwips));
  }
}

void ProcessPanel::CreateTooltip(HWND panel) {
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, panel, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (!tooltip_) return;
  // The label lets the mouse through to the panel, so the tool is the label's area of the
  // panel rather than the label itself; LayOut gives it that area.
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = panel;
  tool.uId = kToolNowImproveProcess;
  tool.lpszText = const_cast<wchar_t*>(kNoTarget.data());
  (void)::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  // Long titles wrap instead of running off the screen.
  (void)::SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 480);
}

void ProcessPanel::SetTooltipText(const std::wstring& text) {
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = panel_;
  tool.uId = kToolNowImproveProcess;
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  (void)::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

bool ProcessPanel::OnCommand(WORD id, WORD code) {
  if (!settings_) return false;
  if (code == BN_CLICKED && id == kIdCheckNowImproveProcess) {
    const int value = shell::NextCheckState(settings_->improveProcess);
    checkNowImproveProcess_.SetValue(value);
    // Off means the raised process goes back to its own class now, not at some tick.
    if (value == shell::kUnchecked) GiveBack();
    if (changes.improveProcess) changes.improveProcess(value);
    return true;
  }
  if (code == BN_CLICKED && id == kIdCheckCalmBackground) {
    const int value = shell::NextCheckState(settings_->calmBackground);
    checkCalmBackground_.SetValue(value);
    // Off gives every calmed process back now.
    if (value == shell::kUnchecked) SwitchCalmOff();
    if (changes.calmBackground) changes.calmBackground(value);
    return true;
  }
  if (code == CBN_SELCHANGE && id == kIdComboSpeed) {
    if (changes.improveSpeed) changes.improveSpeed(comboSpeed_.Text());
    return true;
  }
  return id == kIdCheckNowImproveProcess || id == kIdCheckCalmBackground || id == kIdComboSpeed;
}

std::optional<Boost> ProcessPanel::TimerProcessTick() {
  // Any non-zero state of the box, greyed included, keeps the booster on.
  auto boost = booster_.Tick(settings_ && settings_->improveProcess != shell::kUnchecked,
                             settings_ ? settings_->improveSpeed : std::wstring());
  if (!boost) return boost;

  labelNowImproveProcess_.SetText(boost->title);
  SetTooltipText(boost->title);
  // A calmed process given back on its way to the front shows before its boost.
  AddCalmRows();
  AddLogRow(boost->time, boost->title, boost->priority);
  labelImprovedCount_.SetText(std::to_wstring(boost->count));
  return boost;
}

void ProcessPanel::AddLogRow(const std::wstring& time, const std::wstring& target,
                             const std::wstring& priority, const std::wstring& why) {
  // Numbered by the rows before it, boosts and the calm's alike.
  const int row = listViewHistory_.AddRow(L" " + std::to_wstring(listViewHistory_.Count() + 1));
  if (row < 0) return;
  listViewHistory_.SetText(row, kColumnTime, time);
  listViewHistory_.SetText(row, kColumnTarget, target);
  listViewHistory_.EnsureVisible(row);
  listViewHistory_.SetText(row, kColumnPriority, priority);
  if (!why.empty()) listViewHistory_.SetText(row, kColumnWhy, why);
}

void ProcessPanel::AddCalmRows() {
  for (const CalmRow& row : calm_.Calm().TakeRows()) {
    AddLogRow(row.time, row.process, PriorityClassName(row.priorityClass), row.why);
  }
}

void ProcessPanel::TimerCalmTick() {
  calm_.Tick();
  AddCalmRows();
}

void ProcessPanel::SwitchCalmOff() {
  calm_.Calm().SwitchOff();
  AddCalmRows();
}

}  // namespace quorvant::win32
