#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "button/win32/command.h"
#include "button/win32/command_keys.h"
#include "common/win32/controls.h"
#include "common/win32/dialog_keys.h"
#include "common/win32/font_cache.h"
#include "common/win32/live_label.h"
#include "common/win32/modal_dialog.h"
#include "common/win32/unique_handle.h"
#include "common/win32/window.h"
#include "engine/core/cpu_limits.h"
#include "engine/core/limit_slots.h"
#include "engine/win32/file_icon.h"

namespace quorvant::win32 {

// The dialog for one CPU limit, "Limit process CPU usage": a new limit ("OK", "Cancel") or
// an existing one ("Adjustment", "Release"). It is created for each opening, runs modal
// to its owner and is discarded when it closes. It belongs to the process it was opened
// for: its buttons act on that process's limit and hand what follows to finished. Keys: Tab
// goes from the slider through the visible buttons, Enter is "OK" (new limit) or
// "Adjustment" (existing limit), Esc closes it changing nothing, as its frame's close does.
class FormSetProcessCpuPercent final : public Window<FormSetProcessCpuPercent> {
 public:
  static constexpr wchar_t kClassName[] = L"FormSetProcessCpuPercent";

  enum class Mode { NewLimit, ExistingLimit };
  struct Setup {
    Mode mode = Mode::NewLimit;
    int sliderValue = engine::kMaxLimitPercent;
    std::wstring pidText;
    engine::LimitTarget target;  // its path is the dialog's path line
    IconPicture icon;            // the process's large icon, may be empty
  };
  using Finished = std::function<void(const engine::LimitTarget&, const engine::LimitOutcome&)>;
  // Keeps a limit as the program's rule; returns the message when that is refused.
  using KeepRule =
      std::function<std::optional<std::wstring>(const engine::LimitTarget&, int percent)>;
  enum ButtonId : int { kIdModify = 1, kIdFree, kIdOk, kIdCancel };

  FormSetProcessCpuPercent(engine::CpuLimits& limits, FontCache& fonts, Finished finished);
  ~FormSetProcessCpuPercent() override;

  // Offers "Keep this limit as a rule for the program" below the slider, unticked, when
  // set before Create and the target's program is known: "OK" and "Adjustment" then also
  // keep their limit as the program's rule.
  KeepRule keepRule;

  // Creates the dialog hidden, centred on the screen and owned by owner.
  bool Create(HWND owner, Setup setup);
  // Shows the dialog with its owner disabled and returns when it has closed; the owner's
  // timers keep ticking meanwhile. Also returns when the program quits.
  void ShowModal();

  Command& Button(ButtonId id);
  Trackbar Slider() const { return Trackbar(slider_); }
  // The rule's check box; null when it is not offered.
  CheckBox KeepRuleBox() const { return CheckBox(keepRule_); }
  const LiveLabel& PidLabel() const { return pid_; }
  const LiveLabel& PathLabel() const { return path_; }
  const LiveLabel& PercentLabel() const { return percent_; }
  HICON Icon() const { return icon_.get(); }
  // The scale the dialog is drawn at: its monitor's.
  int Dpi() const { return dpi_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  // Places the texts, the slider and the buttons from their twips rectangles at the dialog's
  // scale, in its fonts and artwork.
  void LayOut();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnPaint();
  bool OnKeyPreview(const MSG& msg);
  void ShowPercent();
  void Finish(const engine::LimitOutcome& outcome);
  // "OK" and "Adjustment": the limit, and the rule when the box asks for one.
  void FinishLimit(engine::LimitOutcome outcome);
  void Close();

  engine::CpuLimits& limits_;
  FontCache& fonts_;
  Finished finished_;
  engine::LimitTarget target_;
  int dpi_ = kDesignDpi;
  unique_hbitmap banner_;
  IconPicture icon_;
  ModalDialog modal_;
  LiveLabel pid_;
  LiveLabel path_;
  LiveLabel percent_;
  HWND slider_ = nullptr;
  HWND keepRule_ = nullptr;
  Command modify_;
  Command free_;
  Command ok_;
  Command cancel_;
  std::optional<CommandKeyRouter> router_;
};

}  // namespace quorvant::win32
