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
#include "engine/win32/limit_handles.h"

namespace quorvant::win32 {

// The watcher: a small program of its own beside quorvant.exe (engine/watcher/) that waits
// for the program to end and gives back what its ledger of live effects still holds, so
// nothing the program does to another process outlives it, whatever ends it. Here are its
// whole life (started out of the program's process tree, run, handed job handles), the lock
// it shares with the start-up, and the start-up's repair of a ledger that a program killed
// together with its watcher left behind.

// The watcher's file name, beside the program's.
inline constexpr wchar_t kWatcherFileName[] = L"quorvant_watcher.exe";
std::wstring WatcherBeside(const std::wstring& programExe);

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

// The names of the watcher's own objects, per program: a mutex it holds for its whole life
// (so a start's repair knows a ledger is still being watched, and waits for it), and the
// event it sets once it holds its program's handle (before which the program applies no
// effect).
std::wstring WatcherAliveName(const ProcessIdentity& program);
std::wstring WatchingName(const ProcessIdentity& program);

// The watcher's whole life: verifies that program is running programImage, tells the
// program it watches, waits without waking until the program ends, then gives back what
// its ledger still holds. Returns kWatcherRefused at once, having done nothing, for a
// program it cannot verify.
inline constexpr int kWatcherRefused = 2;
int RunWatcher(const ProcessIdentity& program, const std::wstring& ledgerPath,
               const std::wstring& programImage);
// The watcher's command line (the words after its name) carried out: as the watcher, its
// exit code once it is done; with the start switch, the watcher started out of the caller's
// process tree, and its process id as the exit code. kWatcherRefused for any other words.
int RunWatcherAsked(const std::vector<std::wstring>& arguments, const std::wstring& programImage);

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
  // Starts the watcher (exe, with the start switch) for the file kept, on a thread of its
  // own, and starts a new one whenever the one running ends before the program. From now
  // on no effect is kept (Write answers false) until a watcher has said it watches: a
  // change that would make one live waits a moment for it. False when the thread could
  // not be started.
  bool StartWatcher(const std::wstring& exe);
  // Hands job handles to watcher (a process handle that allows duplicating into it) from
  // now on.
  void Adopt(unique_handle watcher);
  // False when the file could not be brought up to date, or no watcher watches it: the
  // effects are not protected.
  bool Write(const std::vector<Effect>& effects);
  // Whether a watcher has said it watches (and has not been seen to end since).
  bool Watching() const;
  // Gives the watcher its own handle to a capped process's job before the process joins
  // it. False when a watcher runs but could not be given the handle, or the file that names
  // it could not be written.
  bool ShareJob(const ProcessIdentity& process, HANDLE job) override;
  void UnshareJob(const ProcessIdentity& process) override;

  // The watcher's process while it runs; only to be compared, never kept.
  HANDLE Watcher() const;
  DWORD WatcherId() const override;
  const ProcessIdentity& Owner() const { return owner_; }

 private:
  // A job handed to the watcher: the watcher's handle value (in jobs_) and this process's
  // own, to hand it again to a watcher started later.
  struct HeldJob {
    ProcessIdentity process;
    unique_handle job;
  };
  class Lock;

  bool WriteNow();
  // Forgets the job handed on for process (closing the watcher's handle); false when none.
  bool ForgetJob(const ProcessIdentity& process);
  bool AwaitWatcher();
  static DWORD WINAPI WatchOverThread(void* keeper);
  void WatchOver();
  // Starts a watcher and waits until it says it watches; its process, or none.
  unique_handle LaunchWatcher();
  void Adopted(unique_handle watcher);

  std::wstring path_;
  HeldLedgerFile held_;
  ProcessIdentity owner_;
  std::wstring watcherExe_;
  unique_handle watcher_;
  std::vector<Effect> effects_;
  std::vector<StoredJob> jobs_;
  std::vector<HeldJob> heldJobs_;
  // Guards the members above the thread that starts watchers touches.
  mutable SRWLOCK lock_ = SRWLOCK_INIT;
  unique_handle watchOver_;  // the thread that starts watchers
  unique_handle stop_;       // set when the keeper goes
  unique_handle settled_;    // set while a watcher watches, or once none can be started
  unique_handle watchingEvent_;
  bool watching_ = false;
  bool wanted_ = false;        // a watcher was asked for: no effect is kept without one
  unique_handle suspensions_;  // the memory shared with the watcher
  void* suspensionsView_ = nullptr;
};

}  // namespace quorvant::win32
