#include "shell/win32/main_window_panels.h"

#include <commctrl.h>

#include "button/core/button_properties.h"
#include "common/win32/dialog_keys.h"
#include "common/win32/display_scale.h"
#include "common/win32/pixel_rect.h"
#include "shell/core/fixed_texts.h"
#include "shell/core/main_window_layout.h"
#include "skin/resource.h"

namespace quorvant::win32 {

namespace {

using shell::TwipsToPixels;

// The settings panel's two boxes, in twips.
constexpr TwipsRect kCheckAutoRunAt{1320, 600, 4335, 255};
constexpr TwipsRect kCheckAutoMinAt{1320, 960, 4335, 255};
// Below the two check boxes, moving neither.
constexpr TwipsRect kProgramRulesAt{1320, 1440, 1815, 375};

FontDesc WindowFont() { return FontDesc{}; }

}  // namespace

MainWindowPanels::MainWindowPanels(FontCache& fonts, shell::Settings& settings,
                                   ProgramEffects& effects, engine::MemoryReading& memoryReading,
                                   std::wstring rulesPath, Hooks hooks)
    : fonts_(fonts),
      settings_(settings),
      effects_(effects),
      memoryReading_(memoryReading),
      rulesPath_(std::move(rulesPath)),
      hooks_(std::move(hooks)) {}

MainWindowPanels::~MainWindowPanels() = default;

void MainWindowPanels::CreateWindows(HWND window) {
  window_ = window;
  for (const auto& entry : shell::kEntries) {
    Panel& panel = PanelOf(entry.entry);
    if (!panel.Hwnd() && panel.Create(window, 0, 0, 0, 0)) {
      // A screen reader names the panel after the entry that shows it.
      panel.SetName(std::wstring(entry.labelText));
    }
  }
  linkCursor_.reset(
      static_cast<HCURSOR>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINK),
                                        IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE)));
}

void MainWindowPanels::CreateStatus() {
  // The status panel is the one shown at start; the graph samples on its own timer, once
  // the window shows.
  statusPanel_ = std::make_unique<StatusPanel>(PanelOf(shell::Entry::State), fonts_);
  if (statusPanel_->Monitor()) statusPanel_->Monitor()->Pause();
}

void MainWindowPanels::Show(const shell::Navigation& navigation) {
  for (const auto& layout : shell::kEntries) {
    const HWND panel = PanelOf(layout.entry).Hwnd();
    (void)::ShowWindow(panel, navigation.PanelVisible(layout.entry) ? SW_SHOW : SW_HIDE);
  }
}

void MainWindowPanels::LayOut() {
  for (const auto& entry : shell::kEntries) {
    MoveWindowTo(PanelOf(entry.entry).Hwnd(),
                 PixelRect({shell::kPanelLeftTwips, shell::kPanelTopTwips, entry.panelWidthTwips,
                            entry.panelHeightTwips}));
  }

  auto addTexts = [this](Panel& panel, const auto& texts) {
    for (const auto& text : texts) {
      panel.AddLabel(std::wstring(text.text), TwipsToPixels(text.leftTwips),
                     TwipsToPixels(text.topTwips), fonts_.Get(text.Font()), text.color.value_or(0));
    }
  };
  Panel& about = PanelOf(shell::Entry::About);
  about.ClearContent();
  addTexts(about, shell::kAboutPanelTexts);
  const auto& link = shell::kHomePageLabel;
  about.AddLink(std::wstring(link.text), TwipsToPixels(link.leftTwips),
                TwipsToPixels(link.topTwips), fonts_.Get(link.Font()), link.color.value_or(0),
                linkCursor_.get(), [this] {
                  if (hooks_.openHomePage) hooks_.openHomePage();
                });
  aboutPicture_ = LoadSkinBitmap(IDB_ABOUT_PICTURE);
  about.AddPicture(aboutPicture_.get(), TwipsToPixels(3840), TwipsToPixels(720));

  Panel& setting = PanelOf(shell::Entry::Setting);
  setting.ClearContent();
  addTexts(setting, shell::kSettingPanelTexts);
  settingPicture_ = LoadSkinBitmap(IDB_SETTING_PICTURE);
  setting.AddPicture(settingPicture_.get(), TwipsToPixels(120), TwipsToPixels(240));
  PlaceControl(checkAutoRun_.Hwnd(), PixelRect(kCheckAutoRunAt), fonts_.Get(WindowFont()));
  PlaceControl(checkAutoMin_.Hwnd(), PixelRect(kCheckAutoMinAt), fonts_.Get(WindowFont()));
  if (programRules_.Hwnd()) {
    programRules_.SetDpi(DisplayDpi());
    PlaceControl(programRules_.Hwnd(), PixelRect(kProgramRulesAt), nullptr);
  }
}

void MainWindowPanels::LayOutAtNewScale() {
  LayOut();
  // Before the start-up's second half, the status panel is the only one with controls.
  if (processPanel_) processPanel_->LayOut();
  if (cpuPanel_) cpuPanel_->LayOut();
  if (memoryPanel_) memoryPanel_->LayOut();
  if (statusPanel_) statusPanel_->LayOut();
}

void MainWindowPanels::ArrangeTabOrder() {
  // The panels' controllers add their controls in their own order.
  for (const Panel& panel : panels_) win32::ArrangeTabOrder(panel.Hwnd());
}

void MainWindowPanels::CreateControls(UINT limitEnded) {
  // A process the user limited, or a program rule holds, is theirs to govern; so is the
  // watcher.
  CalmHooks calm;
  calm.held = [this](const ProcessIdentity& p) {
    return effects_.Limits().FindLive(p).has_value() ||
           (rules_ && rules_->Engine().HoldsProcess(p));
  };
  calm.watcher = [this] { return effects_.Keeper().Watcher(); };
  processPanel_ =
      std::make_unique<ProcessPanel>(effects_.Ledger(), nullptr, ProgramRandom, std::move(calm));
  (void)processPanel_->Create(PanelOf(shell::Entry::Process), settings_.State(), fonts_);
  processPanel_->changes = {
      [this](int value) {
        settings_.ChangeImproveProcess(value);
        // The booster's timer runs only while it is on.
        if (hooks_.timersChanged) hooks_.timersChanged();
      },
      [this](std::wstring_view text) { settings_.ChangeImproveSpeed(text); },
      [this](int value) {
        settings_.ChangeCalmBackground(value);
        if (hooks_.timersChanged) hooks_.timersChanged();
        // While the calm walks the system every second, its walk serves the rules too.
        if (rules_) rules_->ShareWalks(processPanel_->CalmOn());
      },
  };

  memoryPanel_ = std::make_unique<MemoryPanel>(memoryReading_);
  (void)memoryPanel_->Create(PanelOf(shell::Entry::Memory), window_, fonts_, settings_.State());
  memoryPanel_->changes = {
      [this](int value) {
        settings_.ChangeAutoFreeMemory(value);
        if (hooks_.timersChanged) hooks_.timersChanged();
      },
      [this](std::wstring_view text) {
        settings_.ChangeFreeMemoryInterval(text);
        if (hooks_.intervalChanged) hooks_.intervalChanged();
      },
  };

  HWND setting = PanelOf(shell::Entry::Setting).Hwnd();
  constexpr DWORD kCheck = BS_3STATE;  // each click's new state follows the settings
  checkAutoRun_ =
      CheckBox(CreateControl(setting, WC_BUTTONW, L"Start with windows", kCheck, kIdCheckAutoRun));
  checkAutoMin_ = CheckBox(
      CreateControl(setting, WC_BUTTONW, L"Auto minimize on start up", kCheck, kIdCheckAutoMin));
  checkAutoRun_.SetValue(settings_.State().autorun);
  checkAutoMin_.SetValue(settings_.State().automin);

  cpuPanel_ = std::make_unique<CpuPanel>(PanelOf(shell::Entry::CPU), fonts_, effects_.Limits(),
                                         effects_.Ledger(), effects_.Keeper());
  (void)cpuPanel_->Create();
  cpuPanel_->NotifyEndedLimits(window_, limitEnded);

  rules_ = std::make_unique<RuleKeeper>(rulesPath_, effects_.Ledger(), cpuPanel_->Throttle(),
                                        effects_.Limits(), &effects_.Keeper());
  cpuPanel_->SetRules(rules_.get());
  // A row's "CPU Usage limited" follows a rule applied or lifted by a walk, hidden or shown.
  rules_->limitsChanged = [this](const std::vector<ProcessIdentity>& processes) {
    if (cpuPanel_) cpuPanel_->ShowRuleMarks(processes);
  };
  processPanel_->SetRules(&rules_->Engine());
  memoryPanel_->SetRules(&rules_->Engine());

  const RECT r = PixelRect(kProgramRulesAt);
  programRules_.SetDpi(DisplayDpi());
  (void)programRules_.Create(
      setting, kIdProgramRules,
      button::ProgramButtonBag(L"Program rules", r.right - r.left, r.bottom - r.top), r.left, r.top,
      r.right - r.left, r.bottom - r.top);
  programRules_.Events().click = [this] {
    if (hooks_.openProgramRules) hooks_.openProgramRules();
  };
}

bool MainWindowPanels::OnCommand(WORD id, WORD code) {
  if (processPanel_ && processPanel_->OnCommand(id, code)) return true;
  if (memoryPanel_ && memoryPanel_->OnCommand(id, code)) return true;
  if (code != BN_CLICKED || (id != kIdCheckAutoRun && id != kIdCheckAutoMin)) return false;
  if (id == kIdCheckAutoRun) {
    const int value = shell::NextCheckState(settings_.State().autorun);
    checkAutoRun_.SetValue(value);
    settings_.ChangeAutorun(value);
  } else {
    const int value = shell::NextCheckState(settings_.State().automin);
    checkAutoMin_.SetValue(value);
    settings_.ChangeAutomin(value);
  }
  return true;
}

bool MainWindowPanels::OnNotify(const NMHDR& header) {
  return cpuPanel_ && cpuPanel_->OnNotify(header);
}

std::vector<Command*> MainWindowPanels::Buttons() {
  if (!cpuPanel_ || !memoryPanel_) return {};
  return {&cpuPanel_->RefreshButton(), &cpuPanel_->LimitButton(),
          &memoryPanel_->CommandFreeMemory(), &programRules_};
}

}  // namespace quorvant::win32
