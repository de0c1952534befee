#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/win32/unique_handle.h"
#include "engine/core/effect_ledger.h"
#include "engine/win32/job_sharing.h"
#include "engine/win32/ledger_file.h"

namespace quorvant::win32 {

// The watcher: a second copy of the program that waits for the first to end and gives back
// what its ledger of live effects still holds, so nothing the program does to another
// process outlives it, whatever ends it. Here are its whole life (started, run, handed job
// handles), the lock it shares with the start-up, and the start-up's repair of a ledger that
// a program killed together with its watcher left behind.

// Held while a stored ledger is given back, so a watcher and a start never both resume one
// process: a second resume could let go of a suspension that is not the program's.
class LedgerLock {
 public:
  LedgerLock();
  ~LedgerLock();
  LedgerLock(const LedgerLock&) = delete;
  LedgerLock& operator=(const LedgerLock&) = delete;
  bool Held() const { return held_; }

 private:
  unique_handle mutex_;
  bool held_ = false;
};

// Gives back through the system: a class restored while the process still runs at the
// raised class, a process resumed once, a cap switched off through a job handle of this
// process (a cap whose job no handle reaches any more cannot be switched off).
class SystemEffectUndo final : public EffectUndo {
 public:
  explicit SystemEffectUndo(std::vector<StoredJob> jobs = {}) : jobs_(std::move(jobs)) {}
  void RestorePriority(const ProcessIdentity& process, int priorityClass, int raisedClass) override;
  void Uncap(const ProcessIdentity& process) override;
  void Resume(const ProcessIdentity& process) override;

 private:
  std::vector<StoredJob> jobs_;
};

// What the start found of a ledger left behind.
enum class LeftBehind {
  None,          // no file
  Repaired,      // its effects were given back and the file removed
  Refused,       // it could not be read as a ledger: nothing done, the file removed
  OwnerRunning,  // its program still runs (another session's copy): left to it
  Busy,          // a watcher is giving it back at this moment
};

// At start, before any effect is applied: gives back what a program killed together with
// its watcher (or a power cut) left live.
LeftBehind RepairLeftBehind(const std::wstring& ledgerPath);

// The watcher's whole life: verifies that program is running this very executable, waits
// without waking until it ends, then gives back what its ledger still holds. Returns
// kWatcherRefused at once, having done nothing, for a program it cannot verify.
inline constexpr int kWatcherRefused = 2;
int RunWatcher(const ProcessIdentity& program, const std::wstring& ledgerPath);
// The program started as its own watcher (the watch switch first among arguments, the
// words after the program's name): the watcher's exit code once it is done. Nothing when
// the program was started for the user.
std::optional<int> RunWatcherIfAsked(const std::vector<std::wstring>& arguments,
                                     const std::wstring& ledgerPath);

// The program's side: the file written whenever the ledger changes (before an effect is
// applied, since effects are recorded first), the watcher started and handed the job
// handles it needs.
class LedgerKeeper final : public JobSharing {
 public:
  LedgerKeeper() = default;
  LedgerKeeper(const LedgerKeeper&) = delete;
  LedgerKeeper& operator=(const LedgerKeeper&) = delete;
  ~LedgerKeeper() override;

  // Keeps the file at ledgerPath, named for this process, from now on.
  void KeepAt(const std::wstring& ledgerPath);
  // Starts the watcher (exe with the watch switch) for the file kept. False when no watcher
  // could be started; the file is kept all the same.
  bool StartWatcher(const std::wstring& exe);
  // Hands job handles to watcher (a process handle that allows duplicating into it) from
  // now on.
  void Adopt(unique_handle watcher) { watcher_ = std::move(watcher); }
  void Write(const std::vector<Effect>& effects);
  // Gives the watcher its own handle to a capped process's job before the process joins
  // it. False when a watcher runs but could not be given the handle.
  bool ShareJob(const ProcessIdentity& process, HANDLE job) override;
  void UnshareJob(const ProcessIdentity& process) override;

  HANDLE Watcher() const { return watcher_.get(); }
  const ProcessIdentity& Owner() const { return owner_; }

 private:
  void WriteNow();

  std::wstring path_;
  ProcessIdentity owner_;
  unique_handle watcher_;
  std::vector<Effect> effects_;
  std::vector<StoredJob> jobs_;
};

}  // namespace quorvant::win32
