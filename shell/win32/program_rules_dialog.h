#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "button/win32/command.h"
#include "button/win32/command_keys.h"
#include "common/win32/controls.h"
#include "common/win32/dialog_keys.h"
#include "common/win32/font_cache.h"
#include "common/win32/live_label.h"
#include "common/win32/modal_dialog.h"
#include "common/win32/unique_handle.h"
#include "common/win32/window.h"
#include "engine/core/rules_dialog.h"
#include "engine/win32/rule_keeper.h"

namespace quorvant::win32 {

// "Program rules": the rules in a list (program, CPU limit, priority, memory, and the
// entries of Config.ini that were passed over, with why), an editor below it and "Add",
// "Change", "Remove" and "Close". A program is typed, picked from the running programs (by
// path, with their icons) or chosen with "Browse...". It runs modal to its owner in the
// limit dialog's frame, banner and font. Keys: Tab goes through every control in reading
// order; Enter is "Add", or "Change" while a rule is selected; Esc closes, as the frame's
// close does. A change applies to the running processes at once.
class FormProgramRules final : public Window<FormProgramRules> {
 public:
  static constexpr wchar_t kClassName[] = L"FormProgramRules";
  enum ButtonId : int { kIdAdd = 1, kIdChange, kIdRemove, kIdClose, kIdBrowse };
  enum ControlId : int {
    kIdList = 100,
    kIdProgram,
    kIdRunning,
    kIdCpuCheck,
    kIdCpu,
    kIdPriority,
    kIdNeverTrim,
  };

  FormProgramRules(RuleKeeper& keeper, FontCache& fonts);
  ~FormProgramRules() override;

  // Creates the dialog hidden, centred on the screen and owned by owner.
  bool Create(HWND owner);
  // Shows it with its owner disabled and returns when it has closed.
  void ShowModal();

  // The file chooser: the system's open dialog unless replaced (tests). Empty when the user
  // chose nothing.
  std::function<std::optional<std::wstring>(HWND owner)> chooseFile;

  Command& Button(ButtonId id);
  ListView List() const { return ListView(list_); }
  HWND ProgramEdit() const { return program_; }
  HWND Running() const { return running_; }
  CheckBox CpuCheck() const { return CheckBox(cpuCheck_); }
  HWND CpuEdit() const { return cpu_; }
  ComboBox Priority() const { return ComboBox(priority_); }
  CheckBox NeverTrim() const { return CheckBox(neverTrim_); }
  const LiveLabel& Status() const { return status_; }
  const std::vector<std::wstring>& RunningPaths() const { return runningPaths_; }
  int Dpi() const { return dpi_; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void LayOut();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnPaint();
  bool OnKeyPreview(const MSG& msg);
  void OnCommand(WORD id, WORD code);

  void FillList();
  void FillRunning();
  void RowSelected();
  void RunningChosen();
  engine::RuleFields Fields() const;
  void SetFields(const engine::RuleFields& fields);
  // The selected row's rule key; empty for none or a skipped entry.
  std::wstring SelectedKey() const;
  void Add();
  void Change();
  void Remove();
  void Browse();
  void ShowStatus(const std::wstring& text);
  void UpdateButtons();
  void Close();

  RuleKeeper& keeper_;
  FontCache& fonts_;
  int dpi_ = kDesignDpi;
  unique_hbitmap banner_;
  ModalDialog modal_;
  HWND list_ = nullptr;
  HWND program_ = nullptr;
  HWND running_ = nullptr;
  HWND cpuCheck_ = nullptr;
  HWND cpu_ = nullptr;
  HWND priority_ = nullptr;
  HWND neverTrim_ = nullptr;
  LiveLabel status_;
  Command add_;
  Command change_;
  Command remove_;
  Command close_;
  Command browse_;
  unique_himagelist runningIcons_;
  std::vector<std::wstring> runningPaths_;
  // The rule key of each row of the list; empty for a skipped entry.
  std::vector<std::wstring> rowKeys_;
  std::optional<CommandKeyRouter> router_;
};

}  // namespace quorvant::win32
