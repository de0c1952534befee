#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/win32/unique_handle.h"
#include "engine/core/effect_ledger.h"
#include "engine/win32/limit_handles.h"

namespace quorvant::win32 {

// The live effects kept on disk beside Config.ini, and the watcher process that gives them
// back when the program ends without saying goodbye: nothing the program does to another
// process outlives it, whatever ends it.

inline constexpr wchar_t kLedgerFileName[] = L"Effects.txt";
// The ledger's name for one logon session: "Effects.<session>.txt".
std::wstring LedgerFileName(unsigned long session);

// The ledger file's text, at most one byte past kMaxLedgerBytes (enough to know it is too
// large); empty when there is no file, it cannot be read, or the current user does not own
// it (a file someone else put there is never acted on).
std::optional<std::string> ReadLedgerFile(const std::wstring& path);
// Replaces the file with text in one step, so a reader never sees half of it. False when
// it could not be written.
bool WriteLedgerFile(const std::wstring& path, std::string_view text);
// Writes text over the file where it is, not in one step: only for a text whose every torn
// copy is harmless. False when it could not be written.
bool OverwriteLedgerFile(const std::wstring& path, std::string_view text);
// True when the file is gone (or never was).
bool RemoveLedgerFile(const std::wstring& path);

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
  // With suspensions (the dead program's, as its watcher sees them), a duty-cycled process
  // is resumed only when the cycle held it suspended; without, once whatever its phase.
  explicit SystemEffectUndo(std::vector<StoredJob> jobs = {},
                            const limit_handles::SharedSuspension* suspensions = nullptr)
      : jobs_(std::move(jobs)), suspensions_(suspensions) {}
  bool RestorePriority(const ProcessIdentity& process, int priorityClass, int raisedClass) override;
  bool Uncap(const ProcessIdentity& process) override;
  bool Resume(const ProcessIdentity& process) override;

 private:
  std::vector<StoredJob> jobs_;
  const limit_handles::SharedSuspension* suspensions_;
};

// The name of the memory where program's duty cycle shows its suspensions to its watcher.
std::wstring SuspensionsName(const ProcessIdentity& program);

// What the start found of a ledger left behind.
enum class LeftBehind {
  None,          // no file
  Repaired,      // its effects were given back and the file removed
  Kept,          // some could not be given back: kept for the next start, and logged
  Refused,       // it could not be read as a ledger: nothing done, the file removed
  OwnerRunning,  // its program still runs (another session's copy): left to it
  Busy,          // a watcher is giving it back at this moment
};

// At start, before any effect is applied: gives back what a program killed together with
// its watcher (or a power cut) left live. What the system refuses to take back is kept in a
// file of its own beside the ledger (LeftoverFilePath), tried again at each start, and told
// in the program's log.
LeftBehind RepairLeftBehind(const std::wstring& ledgerPath);
std::wstring LeftoverFilePath(const std::wstring& ledgerPath);

// The watcher's whole life: verifies that program is running this very executable, waits
// without waking until it ends, then gives back what its ledger still holds. Returns
// kWatcherRefused at once, having done nothing, for a program it cannot verify.
inline constexpr int kWatcherRefused = 2;
int RunWatcher(const ProcessIdentity& program, const std::wstring& ledgerPath);

// The program's side: the file written whenever the ledger changes (before an effect is
// applied, since effects are recorded first), the watcher started and handed the job
// handles it needs.
class LedgerKeeper {
 public:
  LedgerKeeper() = default;
  LedgerKeeper(const LedgerKeeper&) = delete;
  LedgerKeeper& operator=(const LedgerKeeper&) = delete;
  ~LedgerKeeper();

  // Keeps the file at ledgerPath, named for this process, from now on.
  void KeepAt(const std::wstring& ledgerPath);
  // Starts the watcher (exe with the watch switch) for the file kept. False when no watcher
  // could be started; the file is kept all the same.
  bool StartWatcher(const std::wstring& exe);
  // Hands job handles to watcher (a process handle that allows duplicating into it) from
  // now on.
  void Adopt(unique_handle watcher) { watcher_ = std::move(watcher); }
  // False when the file could not be brought up to date: the effects are not protected.
  bool Write(const std::vector<Effect>& effects);
  // Gives the watcher its own handle to a capped process's job before the process joins
  // it. False when a watcher runs but could not be given the handle, or the file that names
  // it could not be written.
  bool ShareJob(const ProcessIdentity& process, HANDLE job);
  void UnshareJob(const ProcessIdentity& process);

  HANDLE Watcher() const { return watcher_.get(); }
  const ProcessIdentity& Owner() const { return owner_; }

 private:
  bool WriteNow();

  std::wstring path_;
  ProcessIdentity owner_;
  unique_handle watcher_;
  std::vector<Effect> effects_;
  std::vector<StoredJob> jobs_;
  unique_handle suspensions_;  // the memory shared with the watcher
  void* suspensionsView_ = nullptr;
};

// The program's keeper, for the whole run; idle (writing nothing) until started.
LedgerKeeper& ProgramLedgerKeeper();

// Ties the program's keeper to the program's ledger: from now on every effect is on disk
// before it is applied.
void KeepLiveEffectsOnDisk(const std::wstring& ledgerPath);
// Starts the program's watcher. It is not needed for the first frame, which it would
// delay: until it runs, a program killed from outside leaves its effects to the next
// start's repair.
bool WatchLiveEffects(const std::wstring& exe);

}  // namespace quorvant::win32
