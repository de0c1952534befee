#include "shell/win32/limit_dialog.h"

#include <commctrl.h>

#include "button/core/button_properties.h"
#include "common/win32/display_scale.h"
#include "common/win32/panel.h"
#include "common/win32/pixel_rect.h"
#include "engine/core/cpu_layout.h"
#include "shell/core/main_window_layout.h"
#include "skin/resource.h"

namespace quorvant::win32 {

namespace {

namespace layout = engine::limit_dialog;

constexpr COLORREF kFace = ModalDialog::kFace;
constexpr COLORREF kText = ModalDialog::kText;

FontDesc DialogFont() { return FontDesc{}; }

}  // namespace

FormSetProcessCpuPercent::FormSetProcessCpuPercent(engine::CpuLimits& limits, FontCache& fonts,
                                                   Finished finished)
    : limits_(limits),
      fonts_(fonts),
      finished_(std::move(finished)),
      modal_(layout::kClientWidthTwips, layout::kClientHeightTwips) {}

FormSetProcessCpuPercent::~FormSetProcessCpuPercent() { modal_.End(hwnd_); }

bool FormSetProcessCpuPercent::Create(HWND owner, Setup setup) {
  // Centred on the screen, so on the primary monitor, and drawn at that monitor's scale
  // whatever the main window's scale.
  dpi_ = PrimaryMonitorDpi();
  // No WS_CLIPCHILDREN: the labels over the banner draw on what the dialog painted.
  RegisterClassOnce(kClassName, 0, nullptr);
  const SIZE size = modal_.FrameSize(dpi_);
  const shell::Point at = shell::CentredWindowPosition(
      ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), {size.cx, size.cy});
  if (!modal_.Create(kClassName, layout::kCaption, {at.x, at.y}, dpi_, owner, this)) return false;
  icon_ = std::move(setup.icon);
  target_ = std::move(setup.target);

  // Created anywhere; LayOut places them.
  const HFONT font = fonts_.Get(DialogFont(), dpi_);
  StaticColors& colors = modal_.Colors();
  (void)pid_.Create(hwnd_, colors, setup.pidText, {}, font, kText, std::nullopt);
  (void)path_.Create(hwnd_, colors, target_.path, {}, font, kText, std::nullopt, false);
  (void)percent_.Create(hwnd_, colors, L"99", {}, font, kText, kFace);

  // Its text is its name for screen readers; a trackbar does not show it.
  slider_ = ::CreateWindowExW(0, TRACKBAR_CLASSW, L"CPU usage limit",
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_HORZ | TBS_AUTOTICKS, 0, 0,
                              0, 0, hwnd_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  Slider().SetRange(engine::kMinLimitPercent, engine::kMaxLimitPercent);
  (void)::SendMessageW(slider_, TBM_SETPAGESIZE, 0, 10);
  (void)::SendMessageW(slider_, TBM_SETTICFREQ, 10, 0);
  Slider().SetPosition(setup.sliderValue);
  ShowPercent();
  if (keepRule && !target_.path.empty()) {
    const std::wstring text(layout::kKeepRuleCaption);
    keepRule_ = ::CreateWindowExW(0, WC_BUTTONW, text.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0,
                                  hwnd_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }

  const bool existing = setup.mode == Mode::ExistingLimit;
  auto make = [&](Command& button, ButtonId id, const wchar_t* caption, const TwipsRect& at,
                  bool shown, std::function<void()> onClick) {
    const RECT r = PixelRectAt(at, dpi_);
    button.SetDpi(dpi_);
    (void)button.Create(hwnd_, id,
                        button::ProgramButtonBag(caption, r.right - r.left, r.bottom - r.top),
                        r.left, r.top, r.right - r.left, r.bottom - r.top);
    button.Events().click = std::move(onClick);
    (void)::ShowWindow(button.Hwnd(), shown ? SW_SHOWNA : SW_HIDE);
  };
  make(modify_, kIdModify, L"Adjustment", layout::kAdjustmentAt, existing,
       [this] { FinishLimit(limits_.Adjustment(target_, Slider().Position())); });
  make(free_, kIdFree, L"Release", layout::kReleaseAt, existing,
       [this] { Finish(limits_.Release(target_)); });
  make(ok_, kIdOk, L"OK", layout::kOkAt, !existing,
       [this] { FinishLimit(limits_.Ok(target_, Slider().Position())); });
  make(cancel_, kIdCancel, L"Cancel", layout::kCancelAt, !existing, [this] { Close(); });
  LayOut();

  router_.emplace(hwnd_);
  for (Command* button : {&modify_, &free_, &ok_, &cancel_}) router_->Add(*button);
  router_->SetDefault(existing ? &modify_ : &ok_);
  // Existing-limit mode has no cancel button; Esc still closes (OnKeyPreview).
  router_->SetCancel(existing ? nullptr : &cancel_);
  return true;
}

void FormSetProcessCpuPercent::LayOut() {
  banner_ = LoadSkinBitmap(IDB_LIMIT_BANNER, dpi_);
  const HFONT font = fonts_.Get(DialogFont(), dpi_);
  PlaceControl(pid_.Hwnd(), PixelRectAt(layout::kPidAt, dpi_), font);
  PlaceControl(path_.Hwnd(), PixelRectAt(layout::kPathAt, dpi_), font);
  PlaceControl(percent_.Hwnd(), PixelRectAt(layout::kPercentAt, dpi_), font);
  PlaceControl(slider_, PixelRectAt(layout::kSliderAt, dpi_), nullptr);
  if (keepRule_) PlaceControl(keepRule_, PixelRectAt(layout::kKeepRuleAt, dpi_), font);
  const std::pair<Command*, TwipsRect> buttons[] = {{&modify_, layout::kAdjustmentAt},
                                                    {&free_, layout::kReleaseAt},
                                                    {&ok_, layout::kOkAt},
                                                    {&cancel_, layout::kCancelAt}};
  for (const auto& [button, at] : buttons) {
    button->SetDpi(dpi_);
    PlaceControl(button->Hwnd(), PixelRectAt(at, dpi_), nullptr);
  }
  (void)::InvalidateRect(hwnd_, nullptr, FALSE);
}

void FormSetProcessCpuPercent::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi;
  LayOut();
  modal_.FollowDpiChange(hwnd_, suggested, dpi_);
}

Command& FormSetProcessCpuPercent::Button(ButtonId id) {
  switch (id) {
    case kIdModify:
      return modify_;
    case kIdFree:
      return free_;
    case kIdOk:
      return ok_;
    case kIdCancel:
    default:
      return cancel_;
  }
}

void FormSetProcessCpuPercent::ShowModal() {
  // Arrow keys move the slider straight away.
  modal_.Run(hwnd_, slider_);
}

bool FormSetProcessCpuPercent::OnKeyPreview(const MSG& msg) {
  if (router_ && router_->PreTranslateMessage(msg)) return true;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && !FocusedControlWants(msg)) {
    Close();
    return true;
  }
  return false;
}

void FormSetProcessCpuPercent::ShowPercent() {
  percent_.SetText(std::to_wstring(Slider().Position()));
}

void FormSetProcessCpuPercent::Finish(const engine::LimitOutcome& outcome) {
  if (finished_) finished_(target_, outcome);
  Close();
}

void FormSetProcessCpuPercent::FinishLimit(engine::LimitOutcome outcome) {
  if (keepRule_ && KeepRuleBox().Value() == BST_CHECKED && keepRule) {
    // Kept even when the system refused this one process: the rule is for the program.
    if (auto refusal = keepRule(target_, Slider().Position())) {
      outcome.refusal = outcome.refusal ? *outcome.refusal + L"\n" + *refusal : *refusal;
    }
  }
  Finish(outcome);
}

void FormSetProcessCpuPercent::Close() { modal_.Close(hwnd_); }

void FormSetProcessCpuPercent::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  ModalDialog::PaintFace(hwnd_, dc, banner_.get());
  if (icon_) {
    const RECT r = PixelRectAt(layout::kIconAt, dpi_);
    (void)::DrawIconEx(dc, r.left, r.top, icon_.get(), 0, 0, 0, nullptr, DI_NORMAL);
  }
  ModalDialog::DrawFixedTexts(dc, layout::kFixedTexts, fonts_.Get(DialogFont(), dpi_), dpi_);
  (void)::EndPaint(hwnd_, &ps);
}

LRESULT FormSetProcessCpuPercent::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == slider_) ShowPercent();
      return 0;
    case WM_DPICHANGED:
      // Dragged onto a monitor of another scale: this window follows its own monitor.
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    default:
      if (message == KeyPreviewMessage()) {
        const MSG* key = PreviewedKey(lParam);
        return key && OnKeyPreview(*key) ? 1 : 0;
      }
      if (const auto answer = modal_.HandleMessage(hwnd_, message, wParam, lParam)) return *answer;
      return DefaultProc(message, wParam, lParam);
  }
}

}  // namespace quorvant::win32
