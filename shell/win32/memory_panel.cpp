#include "shell/win32/memory_panel.h"

#include <commctrl.h>

#include <string_view>

#include "button/core/button_properties.h"
#include "common/core/twips.h"
#include "common/win32/accessible.h"
#include "common/win32/pixel_rect.h"
#include "engine/win32/time_of_day.h"
#include "skin/product.h"

namespace quorvant::win32 {

namespace {

constexpr std::wstring_view kHeading =
    L"The third way - Automatically release memory - Speed up memory";
constexpr std::wstring_view kDescription =
    L"This function will release system memory intelligently. This make the system have "
    L"sufficient memory available to the active program so that the program can run faster.";
constexpr wchar_t kMessageTitle[] = QUORVANT_PRODUCT_NAME_W;

constexpr COLORREF kOrange = RGB(255, 128, 0);
constexpr COLORREF kDarkGrey = RGB(64, 64, 64);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 128, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

FontDesc WindowFont() { return FontDesc{}; }

// Positions on the panel, in twips.
struct TwipsPoint {
  int left;
  int top;
};
constexpr TwipsPoint kHeadingAt{360, 120};
constexpr TwipsPoint kDescriptionAt{360, 480};
constexpr int kDescriptionWidth = 6645, kDescriptionHeight = 570;
constexpr TwipsPoint kStatusHeadingAt{360, 1200};
constexpr int kStatusRowTop = 1560;
constexpr int kValueHeight = 255;
constexpr TwipsPoint kCommandAt{1560, 2040};
constexpr int kCommandWidth = 3495, kCommandHeight = 495;
constexpr TwipsPoint kLogHeadingAt{360, 3840};
// The settings-bound box and interval list, and the list's caption.
constexpr TwipsRect kAutoReleaseAt{1200, 2880, 3735, 255};
constexpr TwipsRect kIntervalAt{2400, 3240, 1815, ComboBox::kDropDownListTwips};
constexpr TwipsPoint kIntervalCaptionAt{1560, 3240};
constexpr TwipsPoint kListAt{375, 4215};
constexpr int kListWidth = 6495, kListHeight = 1215;

// The four values of the status block: caption at captionLeft, value from valueLeft up to
// the next caption (the panel's edge for the last).
struct StatusValue {
  std::wstring_view caption;
  int captionLeft;
  int valueLeft;
  int valueRight;
  std::wstring_view designText;
  COLORREF color;
};
// In the order of MemoryPanel::StatusLabels: all, used, left, used rate.
constexpr StatusValue kStatusValues[] = {
    {L"All:", 600, 960, 2040, L"0 MB", kDarkGrey},
    {L"Used:", 2040, 2640, 3720, L"0 MB", kRed},
    {L"Left:", 3720, 4200, 5160, L"0 MB", kGreen},
    {L"Used rate:", 5160, 6240, 7335, L"30%", kRed},
};

struct LogColumn {
  std::wstring_view title;
  int widthTwips;
};
constexpr LogColumn kLogColumns[] = {{L"NO.", 600}, {L"Time", 1440}, {L"Event", 3600}};

}  // namespace

MemoryPanel::MemoryPanel() : MemoryPanel(systemReading_, systemWalk_) {}

MemoryPanel::MemoryPanel(engine::MemoryReading& reading) : MemoryPanel(reading, systemWalk_) {}

MemoryPanel::MemoryPanel(engine::MemoryReading& reading, engine::TrimmingWalk& walk)
    : reading_(reading), release_(reading, walk, *this) {}

MemoryPanel::~MemoryPanel() = default;

bool MemoryPanel::Create(Panel& panel, HWND owner, FontCache& fonts,
                         const shell::SettingsState& settings) {
  owner_ = owner;
  panel_ = &panel;
  fonts_ = &fonts;
  settings_ = &settings;
  const HFONT window = fonts.Get(WindowFont());

  // Created anywhere; LayOut places them.
  // Each click's new state follows the settings.
  checkEnableAutoFreeMemory_ =
      CheckBox(CreateControl(panel.Hwnd(), WC_BUTTONW, L"Automatically release memory", BS_3STATE,
                             kIdCheckEnableAutoFreeMemory));
  comboInterval_ = ComboBox(CreateControl(panel.Hwnd(), WC_COMBOBOXW, L"",
                                          CBS_DROPDOWNLIST | WS_VSCROLL, kIdComboInterval));
  (void)NameForScreenReaders(comboInterval_.Hwnd(), L"Interval");
  for (const auto item : shell::kIntervalItems) (void)comboInterval_.AddString(std::wstring(item));
  checkEnableAutoFreeMemory_.SetValue(settings.autoFreeMemory);
  (void)comboInterval_.SelectText(settings.freeMemoryInterval);

  // The description wraps within its box, which a static control does for us.
  bool ok = checkEnableAutoFreeMemory_.Hwnd() && comboInterval_.Hwnd();
  ok = panel.AddLiveLabel(labelDescription_, kDescription, {}, window, kBlack, false) && ok;
  for (size_t i = 0; i < std::size(kStatusValues); ++i) {
    const StatusValue& value = kStatusValues[i];
    ok = panel.AddLiveLabel(*StatusLabels()[i], value.designText, {}, window, value.color) && ok;
  }

  ok = commandFreeMemory_.Create(
           panel.Hwnd(), kIdCommandFreeMemory,
           button::ProgramButtonBag(L"Release memory now", TwipsToPixels(kCommandWidth),
                                    TwipsToPixels(kCommandHeight)),
           0, 0) &&
       ok;
  commandFreeMemory_.Events().click = [this] { CommandFreeMemoryClick(); };

  // Named after its painted caption, for screen readers.
  listViewMemoryLog_ = CreateReportList(panel.Hwnd(), kIdListViewMemoryLog, L"Log", kLogColumns);
  LayOut();
  return ok && listViewMemoryLog_.Hwnd();
}

void MemoryPanel::LayOut() {
  if (!panel_) return;
  Panel& panel = *panel_;
  const HFONT heading = fonts_->Get(HeadingFont());
  const HFONT window = fonts_->Get(WindowFont());
  auto addText = [&](std::wstring_view text, TwipsPoint at, HFONT font, COLORREF color) {
    panel.AddLabel(std::wstring(text), TwipsToPixels(at.left), TwipsToPixels(at.top), font, color);
  };

  panel.ClearContent();
  addText(L"Interval:", kIntervalCaptionAt, window, kBlack);
  addText(kHeading, kHeadingAt, heading, kOrange);
  PlaceControl(
      labelDescription_.Hwnd(),
      PixelRect({kDescriptionAt.left, kDescriptionAt.top, kDescriptionWidth, kDescriptionHeight}),
      window);
  addText(L"Memory status", kStatusHeadingAt, heading, kOrange);
  for (size_t i = 0; i < std::size(kStatusValues); ++i) {
    const StatusValue& value = kStatusValues[i];
    addText(value.caption, {value.captionLeft, kStatusRowTop}, window, kBlack);
    PlaceControl(StatusLabels()[i]->Hwnd(),
                 PixelRect({value.valueLeft, kStatusRowTop, value.valueRight - value.valueLeft,
                            kValueHeight}),
                 window);
  }
  PlaceControl(checkEnableAutoFreeMemory_.Hwnd(), PixelRect(kAutoReleaseAt), window);
  PlaceControl(comboInterval_.Hwnd(), PixelRect(kIntervalAt), window);

  commandFreeMemory_.SetDpi(DisplayDpi());
  PlaceControl(commandFreeMemory_.Hwnd(),
               PixelRect({kCommandAt.left, kCommandAt.top, kCommandWidth, kCommandHeight}),
               nullptr);

  addText(L"Log", kLogHeadingAt, heading, kOrange);
  PlaceControl(listViewMemoryLog_.Hwnd(),
               PixelRect({kListAt.left, kListAt.top, kListWidth, kListHeight}), window);
  int index = 0;
  for (const auto& column : kLogColumns) {
    listViewMemoryLog_.SetColumnWidth(index++, TwipsToPixels(column.widthTwips));
  }
}

engine::MemoryFigures MemoryPanel::ShowMemoryState() {
  const engine::MemoryFigures figures = engine::FiguresOf(reading_.Read());
  const engine::MemoryStateTexts texts = engine::TextsOf(figures);
  // A label repaints only when its text changes: an idle machine costs nothing here.
  labelMemoryAll_.SetText(texts.all);
  labelMemoryUsed_.SetText(texts.used);
  labelMemoryLeft_.SetText(texts.left);
  labelMemoryUsedPercent_.SetText(texts.usedRate);
  return figures;
}

bool MemoryPanel::OnCommand(WORD id, WORD code) {
  if (!settings_) return false;
  if (code == BN_CLICKED && id == kIdCheckEnableAutoFreeMemory) {
    const int value = shell::NextCheckState(settings_->autoFreeMemory);
    checkEnableAutoFreeMemory_.SetValue(value);
    if (changes.autoFreeMemory) changes.autoFreeMemory(value);
    return true;
  }
  if (code == CBN_SELCHANGE && id == kIdComboInterval) {
    if (changes.freeMemoryInterval) changes.freeMemoryInterval(comboInterval_.Text());
    return true;
  }
  return id == kIdCheckEnableAutoFreeMemory || id == kIdComboInterval;
}

void MemoryPanel::TimerMemoryTick() {
  if (!settings_) return;
  (void)release_.TimerMemoryTick(settings_->freeMemoryInterval, settings_->autoFreeMemory);
}

std::int64_t MemoryPanel::TicksUntilAutoRelease() const {
  return release_.Counter().TicksUntilDue(settings_ ? settings_->freeMemoryInterval
                                                    : std::wstring());
}

bool MemoryPanel::AutoReleaseOn() const {
  return settings_ && settings_->autoFreeMemory == engine::kAutoReleaseTicked;
}

void MemoryPanel::CommandFreeMemoryClick() { (void)release_.ReleaseOnDemand(); }

void MemoryPanel::ShowSuccess(const std::wstring& message) {
  // The program may have been told to exit during the walk; a message then has no window
  // to belong to.
  if (!::IsWindow(owner_)) return;
  (void)::MessageBoxW(owner_, message.c_str(), kMessageTitle, MB_OK | MB_ICONINFORMATION);
}

int MemoryPanel::LogRowCount() const { return listViewMemoryLog_.Count(); }

void MemoryPanel::AppendLogRow(const engine::MemoryLogRow& row) {
  const int index = listViewMemoryLog_.AddRow(row.number);
  if (index < 0) return;
  listViewMemoryLog_.SetText(index, 1, row.time);
  listViewMemoryLog_.SetText(index, 2, row.event);
  listViewMemoryLog_.EnsureVisible(index);
}

std::wstring MemoryPanel::TimeOfDay() const { return TimeOfDayText(); }

}  // namespace quorvant::win32
