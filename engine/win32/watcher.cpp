#include "engine/win32/watcher.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/core/watch_arguments.h"
#include "engine/win32/limit_handles.h"
#include "engine/win32/module_process.h"

namespace quorvant::win32 {

namespace {

// Per logon session, like the program's single-instance rule.
constexpr wchar_t kLedgerMutexName[] = L"Local\\Quorvant.Ledger";
// A watcher holds the lock only while it gives a few effects back.
constexpr DWORD kLedgerLockWaitMs = 10000;

// What a job handle of the watcher may do: switch the cap off, nothing more.
constexpr DWORD kWatcherJobAccess = JOB_OBJECT_SET_ATTRIBUTES | JOB_OBJECT_QUERY;

HANDLE AsHandle(std::uint64_t value) {
  return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

}  // namespace

LedgerLock::LedgerLock() : mutex_(::CreateMutexW(nullptr, FALSE, kLedgerMutexName)) {
  if (!mutex_) return;
  // Abandoned: its holder died while giving back; what it left is still on disk.
  const DWORD wait = ::WaitForSingleObject(mutex_.get(), kLedgerLockWaitMs);
  held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

LedgerLock::~LedgerLock() {
  if (held_) (void)::ReleaseMutex(mutex_.get());
}

void SystemEffectUndo::RestorePriority(const ProcessIdentity& process, int priorityClass,
                                       int raisedClass) {
  RestorePriorityClass(process, priorityClass, raisedClass);
}

void SystemEffectUndo::Uncap(const ProcessIdentity& process) {
  const auto job = std::find_if(jobs_.begin(), jobs_.end(),
                                [&](const StoredJob& j) { return j.process == process; });
  if (job != jobs_.end()) (void)limit_handles::SwitchCapOff(AsHandle(job->handle));
}

void SystemEffectUndo::Resume(const ProcessIdentity& process) {
  // Once, whether or not it is in the suspended part of its period: a process that runs has
  // no suspension of the cycle's to take back, and a resume leaves it as it is.
  const unique_handle handle = OpenIdentified(process, PROCESS_SUSPEND_RESUME);
  (void)limit_handles::ResumeOnce(handle.get());
}

LeftBehind RepairLeftBehind(const std::wstring& ledgerPath) {
  const LedgerLock lock;
  if (!lock.Held()) return LeftBehind::Busy;
  const auto text = ReadLedgerFile(ledgerPath);
  if (!text) return LeftBehind::None;
  const auto stored = ParseLedger(*text);
  if (stored && IdentityOfId(stored->owner.id) == stored->owner) return LeftBehind::OwnerRunning;
  if (stored) {
    // The job handles named there were the dead watcher's: none of them is ours.
    SystemEffectUndo undo;
    GiveBackStored(*stored, undo);
  }
  RemoveLedgerFile(ledgerPath);
  return stored ? LeftBehind::Repaired : LeftBehind::Refused;
}

int RunWatcher(const ProcessIdentity& program, const std::wstring& ledgerPath) {
  const unique_handle parent(
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, program.id));
  if (IdentityOf(parent.get()) != program) return kWatcherRefused;
  // The handle held keeps the id from naming another process while the path is read.
  const std::wstring own = ProcessImagePath(::GetCurrentProcessId());
  if (own.empty() || LowerFileName(ProcessImagePath(program.id)) != LowerFileName(own)) {
    return kWatcherRefused;
  }

  // Nothing of it is needed until the program ends: the system may have its pages back.
  (void)MiniUseMemory(::GetCurrentProcessId());
  (void)::WaitForSingleObject(parent.get(), INFINITE);

  const LedgerLock lock;
  if (!lock.Held()) return 0;
  const auto text = ReadLedgerFile(ledgerPath);
  // No file: the program gave everything back itself. Another owner: a later start's.
  const auto stored = text ? ParseLedger(*text) : std::nullopt;
  if (!stored || stored->owner != program) return 0;
  SystemEffectUndo undo(stored->jobs);
  GiveBackStored(*stored, undo);
  RemoveLedgerFile(ledgerPath);
  return 0;
}

std::optional<int> RunWatcherIfAsked(const std::vector<std::wstring>& arguments,
                                     const std::wstring& ledgerPath) {
  if (arguments.empty() || arguments.front() != kWatchSwitch) return std::nullopt;
  const auto program = ParseWatchArguments(arguments);
  return program ? RunWatcher(*program, ledgerPath) : kWatcherRefused;
}

LedgerKeeper::~LedgerKeeper() = default;

void LedgerKeeper::KeepAt(const std::wstring& ledgerPath) {
  path_ = ledgerPath;
  owner_ = IdentityOf(::GetCurrentProcess()).value_or(ProcessIdentity{});
}

bool LedgerKeeper::StartWatcher(const std::wstring& exe) {
  if (path_.empty() || !owner_.Known()) return false;

  std::wstring commandLine = L"\"" + exe + L"\" " + FormatWatchArguments(owner_);
  // In the system folder, so the watcher holds no folder of the user's open.
  wchar_t system[MAX_PATH]{};
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  const wchar_t* folder = length > 0 && length < MAX_PATH ? system : nullptr;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  // No busy cursor: the watcher never shows a window that would end it.
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION info{};
  // Out of the program's job where it may leave it, so a job that ends the program does not
  // take the watcher with it.
  constexpr DWORD kFlags = CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE;
  BOOL started =
      ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                       kFlags | CREATE_BREAKAWAY_FROM_JOB, nullptr, folder, &startup, &info);
  if (!started) {
    started = ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, kFlags,
                               nullptr, folder, &startup, &info);
  }
  if (!started) return false;
  (void)::CloseHandle(info.hThread);
  Adopt(unique_handle(info.hProcess));
  return true;
}

void LedgerKeeper::Write(const std::vector<Effect>& effects) {
  effects_ = effects;
  WriteNow();
}

void LedgerKeeper::WriteNow() {
  if (path_.empty()) return;
  if (effects_.empty() && jobs_.empty()) {
    RemoveLedgerFile(path_);
    return;
  }
  // A file that cannot be written leaves the effect to the program's own paths; nothing
  // the user could do about it here.
  (void)WriteLedgerFile(path_, FormatLedger({owner_, effects_, jobs_}));
}

bool LedgerKeeper::ShareJob(const ProcessIdentity& process, HANDLE job) {
  // Without a watcher there is no one to hand it to; the program's own paths still uncap.
  if (!watcher_) return true;
  UnshareJob(process);
  HANDLE remote = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), job, watcher_.get(), &remote, kWatcherJobAccess,
                         FALSE, 0)) {
    return false;
  }
  jobs_.push_back({process, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(remote))});
  WriteNow();
  return true;
}

void LedgerKeeper::UnshareJob(const ProcessIdentity& process) {
  const auto job = std::find_if(jobs_.begin(), jobs_.end(),
                                [&](const StoredJob& j) { return j.process == process; });
  if (job == jobs_.end()) return;
  // Closed in the watcher by taking it over here: Wine does not close a source handle for
  // a null target.
  HANDLE taken = nullptr;
  (void)::DuplicateHandle(watcher_.get(), AsHandle(job->handle), ::GetCurrentProcess(), &taken, 0,
                          FALSE, DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS);
  const unique_handle closing(taken);
  jobs_.erase(job);
  WriteNow();
}

}  // namespace quorvant::win32
