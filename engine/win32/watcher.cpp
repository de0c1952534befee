#include "engine/win32/watcher.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>

#include "engine/core/watch_arguments.h"
#include "engine/win32/limit_handles.h"
#include "engine/win32/processes.h"
#include "engine/win32/program_log.h"

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

bool SystemEffectUndo::RestorePriority(const ProcessIdentity& process, int priorityClass,
                                       int raisedClass) {
  return RestorePriorityClass(process, priorityClass, raisedClass);
}

bool SystemEffectUndo::Uncap(const ProcessIdentity& process) {
  const auto job = std::find_if(jobs_.begin(), jobs_.end(),
                                [&](const StoredJob& j) { return j.process == process; });
  // Without a handle to its job, a cap stays for the life of its process.
  if (job == jobs_.end()) return !StillRuns(process);
  return limit_handles::SwitchCapOff(AsHandle(job->handle)) || !StillRuns(process);
}

bool SystemEffectUndo::Resume(const ProcessIdentity& process) {
  // Running when its program died: a suspension it has now is someone else's.
  if (suspensions_ && !limit_handles::HeldSuspended(suspensions_, process.id)) return true;
  // Otherwise once, whether or not it is in the suspended part of its period: a process that
  // runs has no suspension of the cycle's to take back, and a resume leaves it as it is.
  const unique_handle handle = OpenIdentified(process, PROCESS_SUSPEND_RESUME);
  if (!handle) return !StillRuns(process);
  return limit_handles::ResumeOnce(handle.get());
}

std::wstring SuspensionsName(const ProcessIdentity& program) {
  return L"Local\\Quorvant.Suspensions." + std::to_wstring(program.id) + L"." +
         std::to_wstring(program.started);
}

std::wstring LeftoverFilePath(const std::wstring& ledgerPath) {
  const size_t dot = ledgerPath.find_last_of(L'.');
  return ledgerPath.substr(0, dot) + L".left" + ledgerPath.substr(dot);
}

namespace {

std::string Describe(const Effect& effect) {
  const std::string process = "process " + std::to_string(effect.process.id) + " (started " +
                              std::to_string(effect.process.started) + ")";
  switch (effect.kind) {
    case EffectKind::Priority:
      return "the priority class of " + process;
    case EffectKind::CpuCap:
      return "the CPU cap of " + process;
    case EffectKind::DutyCycle:
      return "the suspension of " + process;
  }
  return process;
}

// Keeps what could not be given back for the next start, beside what is kept already, and
// tells the log.
void KeepLeftover(const std::wstring& ledgerPath, const ProcessIdentity& owner,
                  const std::vector<Effect>& left, std::string_view who) {
  const std::wstring path = LeftoverFilePath(ledgerPath);
  EffectLedger kept;
  if (const auto text = ReadLedgerFile(path)) {
    if (const auto stored = ParseLedger(*text)) {
      for (const Effect& effect : stored->effects) kept.Record(effect);
    }
  }
  for (const Effect& effect : left) {
    kept.Record(effect);
    WriteProgramLog(ledgerPath, std::string(who) + ": could not give back " + Describe(effect) +
                                    "; kept to try again at the next start");
  }
  if (!WriteLedgerFile(path, FormatLedger({owner, kept.Effects(), {}}))) {
    WriteProgramLog(ledgerPath, std::string(who) + ": could not keep them in " +
                                    std::string(path.begin(), path.end()));
  }
}

// Gives back what one copy holds; what stays live is added to left.
bool GiveBackCopy(const std::wstring& path, std::vector<Effect>& left, ProcessIdentity& owner) {
  const auto text = ReadLedgerFile(path);
  if (!text) return false;
  const auto stored = ParseLedger(*text);
  if (stored) {
    owner = stored->owner;
    // The job handles named there were the dead watcher's: none of them is ours.
    SystemEffectUndo undo;
    for (const Effect& effect : GiveBackStored(*stored, undo)) left.push_back(effect);
  }
  (void)RemoveLedgerFile(path);
  return static_cast<bool>(stored);
}

}  // namespace

LeftBehind RepairLeftBehind(const std::wstring& ledgerPath) {
  const LedgerLock lock;
  if (!lock.Held()) return LeftBehind::Busy;
  const auto text = ReadLedgerFile(ledgerPath);
  const auto stored = text ? ParseLedger(*text) : std::nullopt;
  if (stored && StillRuns(stored->owner)) return LeftBehind::OwnerRunning;

  std::vector<Effect> left;
  ProcessIdentity owner;
  const std::wstring leftover = LeftoverFilePath(ledgerPath);
  (void)GiveBackCopy(leftover, left, owner);
  const bool hadFile = text.has_value();
  const bool read = GiveBackCopy(ledgerPath, left, owner);
  if (!left.empty()) {
    // Kept in its own file, which this run's ledger does not overwrite.
    KeepLeftover(ledgerPath, owner, left, "at start");
    return LeftBehind::Kept;
  }
  if (!hadFile) return LeftBehind::None;
  return read ? LeftBehind::Repaired : LeftBehind::Refused;
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

  // Opened while the program lives, so the memory outlives it: what its cycle held
  // suspended when it died.
  const unique_handle suspensions(
      ::OpenFileMappingW(FILE_MAP_READ, FALSE, SuspensionsName(program).c_str()));
  const void* view =
      suspensions ? ::MapViewOfFile(suspensions.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;

  // Nothing of it is needed until the program ends: the system may have its pages back.
  (void)MiniUseMemory(::GetCurrentProcessId());
  (void)::WaitForSingleObject(parent.get(), INFINITE);

  const LedgerLock lock;
  if (!lock.Held()) return 0;
  const auto text = ReadLedgerFile(ledgerPath);
  // No file: the program gave everything back itself. Another owner: a later start's.
  const auto stored = text ? ParseLedger(*text) : std::nullopt;
  if (!stored || stored->owner != program) return 0;
  SystemEffectUndo undo(stored->jobs, static_cast<const limit_handles::SharedSuspension*>(view));
  const std::vector<Effect> left = GiveBackStored(*stored, undo);
  (void)RemoveLedgerFile(ledgerPath);
  if (!left.empty()) KeepLeftover(ledgerPath, program, left, "watcher");
  return 0;
}

std::optional<int> RunWatcherIfAsked(const std::vector<std::wstring>& arguments,
                                     const std::wstring& ledgerPath) {
  if (arguments.empty() || arguments.front() != kWatchSwitch) return std::nullopt;
  const auto program = ParseWatchArguments(arguments);
  return program ? RunWatcher(*program, ledgerPath) : kWatcherRefused;
}

LedgerKeeper::~LedgerKeeper() {
  if (!suspensionsView_) return;
  limit_handles::ShareSuspensions(nullptr);
  (void)::UnmapViewOfFile(suspensionsView_);
}

void LedgerKeeper::KeepAt(const std::wstring& ledgerPath) {
  path_ = ledgerPath;
  owner_ = IdentityOf(::GetCurrentProcess()).value_or(ProcessIdentity{});
  if (!owner_.Known() || suspensionsView_) return;
  constexpr DWORD kBytes = sizeof(limit_handles::SharedSuspension) * limit_handles::kSharedSlots;
  suspensions_.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBytes,
                                          SuspensionsName(owner_).c_str()));
  // One made before this run under its name is not this program's.
  if (!suspensions_ || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    suspensions_.reset();
    return;
  }
  suspensionsView_ = ::MapViewOfFile(suspensions_.get(), FILE_MAP_WRITE, 0, 0, kBytes);
  if (suspensionsView_) {
    limit_handles::ShareSuspensions(
        new (suspensionsView_) limit_handles::SharedSuspension[limit_handles::kSharedSlots]);
  }
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

bool LedgerKeeper::Write(const std::vector<Effect>& effects) {
  effects_ = effects;
  return WriteNow();
}

bool LedgerKeeper::WriteNow() {
  if (path_.empty()) return true;
  const StoredLedger stored{owner_, effects_, jobs_};
  // A file that cannot be deleted is emptied instead: lines left in it would be given back
  // later to processes that no longer carry the effect.
  const bool empty = effects_.empty() && jobs_.empty();
  if (empty && RemoveLedgerFile(path_)) return true;
  if (WriteLedgerFile(path_, FormatLedger(stored))) return true;
  // Held open by someone who lets it be written but not replaced: a ledger with nothing
  // live is written in place, where even a torn copy names nothing to give back.
  return empty && OverwriteLedgerFile(path_, FormatLedger(stored));
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
  // The watcher can switch the cap off only with the handle's value from the file.
  if (WriteNow()) return true;
  UnshareJob(process);
  return false;
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
