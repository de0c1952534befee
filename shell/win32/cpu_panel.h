#pragma once

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "button/win32/command.h"
#include "common/win32/controls.h"
#include "common/win32/font_cache.h"
#include "common/win32/live_label.h"
#include "common/win32/panel.h"
#include "common/win32/unique_handle.h"
#include "engine/core/cpu_limits.h"
#include "engine/core/effect_ledger.h"
#include "engine/core/limit_slots.h"
#include "engine/core/path_icons.h"
#include "engine/core/process_list.h"
#include "engine/win32/file_icon.h"
#include "engine/win32/job_sharing.h"
#include "engine/win32/rule_keeper.h"
#include "engine/win32/toolhelp_process_source.h"
#include "shell/win32/limit_dialog.h"

namespace quorvant::win32 {

class ProcessThrottle;

// The "Speed up CPU" panel: the process list with its icons, "Refresh" and "Limit", the
// limited count, the limit dialog it opens and the limits it applies. The form creates it
// on the panel window and hands it the CPU timer's ticks, the start-up refresh, the list's
// notifications and the program's end.
class CpuPanel {
 public:
  static constexpr int kIdList = 2001;
  static constexpr int kIdRefresh = 2002;
  static constexpr int kIdLimit = 2003;
  static constexpr int kIdLimitedCount = 2004;

  // Without a throttle, limits are applied to the system's processes; without a source,
  // the list comes from the system's snapshots.
  // table and ledger are the program's limits and live effects; sharing receives the job of
  // each cap the system's throttle sets.
  CpuPanel(Panel& panel, FontCache& fonts, LimitSlotTable& table, EffectLedger& ledger,
           JobSharing& sharing, engine::ProcessSource* source = nullptr,
           engine::CpuThrottle* throttle = nullptr);
  ~CpuPanel();
  CpuPanel(const CpuPanel&) = delete;
  CpuPanel& operator=(const CpuPanel&) = delete;

  // Texts, the list, the image list and the two buttons, laid out.
  bool Create();
  // Places the panel's texts and controls from their twips rectangles at the display's
  // scale, in fonts of that scale. The limit dialog, a window of its own, follows its own
  // monitor's scale.
  void LayOut();

  // "Refresh": rebuilds the list, then marks the limited rows and frees the slots of the
  // processes that are gone. The start-up runs it once.
  void CommandRefreshProcessClick();
  // The same for the start-up, without the icons: the shell's first icon lookup is slow, and
  // the window should show first. FillPendingIcons then puts them in, with the same image
  // keys and images a full rebuild gives; a rebuild before that drops them.
  void RefreshWithoutIcons();
  void FillPendingIcons();
  bool IconsPending() const { return !pendingIcons_.empty(); }
  // "Limit" (and a double click on the list): the dialog for the selected row.
  void CommandLimitProcessCpuClick();
  // The CPU timer's tick: lets go of limited processes that have ended, counts the limits
  // held, shows the count on this panel and returns it for the status panel.
  int TimerCpuTick();
  // The same count for a window about to show: no events are let through, so nothing
  // paints before every figure is current.
  int ShowLimitedCount();
  // The program rules: a freed slot's process returns to its rule's limit, rows show a
  // rule's limit ("20% rule"), and the limit dialog offers to keep a limit as a rule.
  void SetRules(RuleKeeper* rules);
  // The rows of processes whose rule limit was just applied, changed or lifted show it (or
  // lose it) at once; a row a table limit holds keeps the table's mark.
  void ShowRuleMarks(const std::vector<ProcessIdentity>& processes);
  // The throttle the limits go through: the rules must limit through the same one.
  engine::CpuThrottle& Throttle() { return throttle_; }

  // Lifts every limit and clears every mark: the program or the session is ending.
  void ReleaseAllLimits();
  // When a limited process ends, message is posted to window (from another thread), which
  // then calls ForgetEndedLimits: a limit is forgotten when its process ends, shown or
  // hidden. Only for the system's own limits.
  void NotifyEndedLimits(HWND window, UINT message);
  void ForgetEndedLimits() { limits_.ForgetEnded(); }
  // A notification of the panel's controls; true when it was the process list's.
  bool OnNotify(const NMHDR& header);

  // The limit dialog while it is open, else null.
  HWND LimitDialog() const;

  ListView List() const { return ListView(list_); }
  HIMAGELIST Images() const { return images_.get(); }
  // The process a row shows, as it runs now: empty when it has ended, or when its id now
  // names a program the row does not show.
  ProcessIdentity RowProcess(int row) const;
  // The image-list index of a row's icon key, -1 when the key has no image.
  int ImageIndex(const std::wstring& key) const;
  Command& RefreshButton() { return refresh_; }
  Command& LimitButton() { return limit_; }
  const LiveLabel& LimitedCountLabel() const { return limitedCount_; }

  // Whether a rebuild finds paths by the module rule and looks up every distinct path's icon
  // again, as the list was built before it came from one system walk with its icons kept
  // between rebuilds; kept so the old way's cost can be measured beside the new.
  void SetFormerMethod(bool former);
  // Shell icon lookups made for the list so far, and whether an icon is kept for path.
  std::size_t IconLookups() const { return icons_.Lookups() + formerLookups_; }
  bool HoldsIconFor(const std::wstring& path) const { return icons_.Holds(path); }

  // Where the refusal of a fourth limit, or of a limit by the system, goes; a warning
  // message box unless replaced.
  std::function<void(std::wstring_view text)> showWarning;
  // Runs once the dialog is created and before it is shown modally, with the dialog.
  std::function<void(FormSetProcessCpuPercent&)> dialogOpening;

 private:
  void RefreshProcessList(bool withIcons);
  // A rebuild's rows all have their icons: the places of paths no row shows are freed.
  void EndIconRound();
  void AddRowIcon(int row, const std::wstring& path, const std::wstring& imageKey,
                  std::map<std::wstring, IconPicture>& formerIcons);
  void MarkLimitedRows();
  // The row that shows process, -1 when none does (a rebuild has dropped it).
  int RowOf(const ProcessIdentity& process) const;
  // What a row of the last rebuild lists, found by the row's item data; null for no row.
  struct ListedRow {
    // Its creation time is 0 where the walk did not give it.
    ProcessIdentity process;
    std::wstring name;  // the "Process" column
  };
  const ListedRow* Listed(int row) const;
  std::uint32_t RowId(int row) const;

  Panel& panel_;
  FontCache& fonts_;
  LimitSlotTable& table_;
  std::unique_ptr<engine::ProcessSource> ownSource_;
  engine::ProcessSource* source_;
  // Declared before the limits, which lift everything through it as they go.
  std::unique_ptr<engine::CpuThrottle> ownThrottle_;
  ProcessThrottle* systemThrottle_ = nullptr;  // ownThrottle_, as what it is
  engine::CpuThrottle& throttle_;
  engine::CpuLimits limits_;
  RuleKeeper* rules_ = nullptr;
  HWND list_ = nullptr;
  // The rows of the last rebuild; each row's item data is its index here.
  std::vector<ListedRow> rows_;
  unique_himagelist images_;
  std::map<std::wstring, int> imageIndex_;  // icon key -> image-list index
  struct PendingIcon {
    int row;
    std::wstring path;
    std::wstring imageKey;
  };
  std::vector<PendingIcon> pendingIcons_;
  // Each path's icon has one place in the image list, kept while a row shows the path; the
  // places of paths gone are reused for the next new ones.
  int AddPathImage(const std::wstring& path);
  engine::PathIcons<int> icons_{[this](const std::wstring& path) { return AddPathImage(path); }};
  std::vector<int> freeImages_;
  // The row selected last: a click on the list's empty strip clears the selection just
  // before the double click that should act on it.
  int lastSelected_ = -1;
  Command refresh_;
  Command limit_;
  LiveLabel description1_;
  LiveLabel description2_;
  LiveLabel limitedCount_;
  FormSetProcessCpuPercent* dialog_ = nullptr;
  bool limitRunning_ = false;
  bool formerMethod_ = false;
  std::size_t formerLookups_ = 0;
};

}  // namespace quorvant::win32
