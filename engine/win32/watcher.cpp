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

// How long the program waits for a watcher to say it watches, and a start's repair for a
// watcher to finish giving back.
constexpr DWORD kWatcherStartMs = 10000;
constexpr DWORD kWatcherFinishMs = 10000;
// A watcher that ends again and again is not started for ever.
constexpr int kWatcherStarts = 5;

// PROC_THREAD_ATTRIBUTE_JOB_LIST, which the headers name only when built for Windows 10;
// older systems refuse it, and the process is then started without.
constexpr DWORD_PTR kJobListAttribute = 0x0002000D;

// A job that ends every process in it when its last handle is closed, and lets them leave.
unique_handle KillOnCloseJob() {
  unique_handle job(::CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  if (job && !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                        sizeof(limits))) {
    job.reset();
  }
  return job;
}

// Its processes outlive the job's last handle.
bool LetOutlive(HANDLE job) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
  return ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                   sizeof(limits)) != FALSE;
}

// The attribute list naming the job a new process is born into; no list where the system
// has no such attribute.
class JobListAttribute {
 public:
  explicit JobListAttribute(HANDLE job) : job_(job) {
    if (!job_) return;
    SIZE_T size = 0;
    (void)::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    if (size == 0) return;
    buffer_.resize(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    if (!::UpdateProcThreadAttribute(list, 0, kJobListAttribute, &job_, sizeof(job_), nullptr,
                                     nullptr)) {
      ::DeleteProcThreadAttributeList(list);
      return;
    }
    list_ = list;
  }
  JobListAttribute(const JobListAttribute&) = delete;
  JobListAttribute& operator=(const JobListAttribute&) = delete;
  ~JobListAttribute() {
    if (list_) ::DeleteProcThreadAttributeList(list_);
  }
  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

 private:
  std::vector<std::byte> buffer_;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
  // Read by CreateProcess through the list: it lives as long as the list.
  HANDLE job_ = nullptr;
};

// A process started for the watcher, with the job that ends it while the guard is on.
struct Started {
  unique_handle process;
  DWORD id = 0;
  unique_handle guard;  // kill-on-close until LetOutlive
};

// Starts exe with arguments, hidden, with no handle of the caller's, in the system folder
// (so it holds no folder of the user's open), out of the caller's job where it may leave it
// (so a job that ends the caller does not take it along). The system lets a new process's
// first thread run only at the end of CreateProcess; a caller killed in between would leave
// a process that never runs and never ends. So it is born into a job that ends it with the
// caller's handle, until the caller lets it outlive that job.
std::optional<Started> StartGuarded(const std::wstring& exe, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  wchar_t system[MAX_PATH]{};
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  const wchar_t* folder = length > 0 && length < MAX_PATH ? system : nullptr;

  Started started;
  started.guard = KillOnCloseJob();
  const JobListAttribute attribute(started.guard.get());
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof(startup);
  // No busy cursor, no window. No standard handles: the system would otherwise hand it the
  // caller's, and a process that outlives the caller must not keep whatever reads the
  // caller's output (a console, a test runner's pipe) waiting for its end.
  startup.StartupInfo.dwFlags =
      STARTF_USESHOWWINDOW | STARTF_FORCEOFFFEEDBACK | STARTF_USESTDHANDLES;
  startup.StartupInfo.wShowWindow = SW_HIDE;
  startup.lpAttributeList = attribute.List();
  const DWORD extended = attribute.List() ? EXTENDED_STARTUPINFO_PRESENT : 0;
  constexpr DWORD kFlags = CREATE_NO_WINDOW | CREATE_DEFAULT_ERROR_MODE;
  PROCESS_INFORMATION info{};
  auto start = [&](DWORD flags, STARTUPINFOW* info0) {
    return ::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                            nullptr, folder, info0, &info) != FALSE;
  };
  // Out of every job first; then only in the caller's, which may forbid leaving it.
  bool ok = start(kFlags | extended | CREATE_BREAKAWAY_FROM_JOB, &startup.StartupInfo) ||
            start(kFlags | extended, &startup.StartupInfo);
  if (!ok && extended) {
    // A system that takes the list but will not put the process in a second job: unguarded.
    started.guard.reset();
    STARTUPINFOW plain = startup.StartupInfo;
    plain.cb = sizeof(plain);
    ok = start(kFlags | CREATE_BREAKAWAY_FROM_JOB, &plain) || start(kFlags, &plain);
  }
  if (!ok) return std::nullopt;
  if (!extended) started.guard.reset();
  (void)::CloseHandle(info.hThread);
  started.process.reset(info.hProcess);
  started.id = info.dwProcessId;
  return started;
}

std::wstring ObjectName(const wchar_t* kind, const ProcessIdentity& program) {
  return std::wstring(L"Local\\Quorvant.") + kind + L"." + std::to_wstring(program.id) + L"." +
         std::to_wstring(program.started);
}

}  // namespace

std::wstring WatcherBeside(const std::wstring& programExe) {
  return programExe.substr(0, programExe.find_last_of(L'\\') + 1) + kWatcherFileName;
}

std::wstring WatcherAliveName(const ProcessIdentity& program) {
  return ObjectName(L"Watcher", program);
}

std::wstring WatchingName(const ProcessIdentity& program) {
  return ObjectName(L"Watching", program);
}

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
  return ObjectName(L"Suspensions", program);
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

namespace {

// Waits (a bounded while) until no watcher of owner lives any more: false when one still
// does. What it is giving back is the watcher's to finish.
bool AwaitWatcherEnd(const ProcessIdentity& owner) {
  const unique_handle alive(::OpenMutexW(SYNCHRONIZE, FALSE, WatcherAliveName(owner).c_str()));
  if (!alive) return true;
  const DWORD wait = ::WaitForSingleObject(alive.get(), kWatcherFinishMs);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
  (void)::ReleaseMutex(alive.get());
  return true;
}

}  // namespace

LeftBehind RepairLeftBehind(const std::wstring& ledgerPath) {
  // A watcher that still gives back holds its job handles: a cap only it can switch off
  // must not be taken for one nobody can, and its file must not be removed under it.
  if (const auto text = ReadLedgerFile(ledgerPath)) {
    if (const auto stored = ParseLedger(*text);
        stored && !StillRuns(stored->owner) && !AwaitWatcherEnd(stored->owner)) {
      return LeftBehind::Busy;
    }
  }
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

namespace {

bool HeldAnySuspended(const limit_handles::SharedSuspension* view) {
  if (!view) return false;
  for (int slot = 0; slot < limit_handles::kSharedSlots; ++slot) {
    if (view[slot].process.load() != 0 && view[slot].suspended.load() != 0) return true;
  }
  return false;
}

// The ledger is there but cannot be read (or is gone while the cycle still held a process
// suspended): what it named may still be live, and the user is told so. The file stays for
// the next start. A process the cycle held suspended is known from the shared memory alone
// and is let run: the program held its handle until it died, so its id names it still.
void ReportUnreadLedger(const std::wstring& ledgerPath,
                        const limit_handles::SharedSuspension* view) {
  WriteProgramLog(ledgerPath,
                  "watcher: the ledger of live effects could not be read after Quorvant ended; "
                  "a priority it raised or a CPU limit it set may still be in effect");
  for (int slot = 0; view && slot < limit_handles::kSharedSlots; ++slot) {
    const std::uint32_t id = view[slot].process.load();
    if (id == 0 || view[slot].suspended.load() == 0) continue;
    const unique_handle process(::OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, id));
    const bool resumed = process && limit_handles::ResumeOnce(process.get());
    WriteProgramLog(ledgerPath,
                    (resumed ? "watcher: let process " : "watcher: could not let process ") +
                        std::to_string(id) + " run, which the CPU limit held suspended");
  }
}

}  // namespace

int RunWatcher(const ProcessIdentity& program, const std::wstring& ledgerPath,
               const std::wstring& programImage) {
  const unique_handle parent(
      ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, program.id));
  if (IdentityOf(parent.get()) != program) return kWatcherRefused;
  // The handle held keeps the id from naming another process while the path is read.
  const std::wstring image = ProcessImagePath(program.id);
  if (image.empty() || LowerFileName(image) != LowerFileName(programImage)) {
    return kWatcherRefused;
  }
  // One watcher per program, held for its whole life: a start's repair waits for it.
  const unique_handle alive(::CreateMutexW(nullptr, TRUE, WatcherAliveName(program).c_str()));
  if (!alive || ::GetLastError() == ERROR_ALREADY_EXISTS) return kWatcherRefused;

  // Opened while the program lives, so the memory outlives it: what its cycle held
  // suspended when it died.
  const unique_handle suspensions(
      ::OpenFileMappingW(FILE_MAP_READ, FALSE, SuspensionsName(program).c_str()));
  const void* view =
      suspensions ? ::MapViewOfFile(suspensions.get(), FILE_MAP_READ, 0, 0, 0) : nullptr;

  // From here on the program may apply effects: it is watched.
  if (const unique_handle watching(
          ::OpenEventW(EVENT_MODIFY_STATE, FALSE, WatchingName(program).c_str()));
      watching) {
    (void)::SetEvent(watching.get());
  }

  // Nothing of it is needed until the program ends: the system may have its pages back.
  (void)MiniUseMemory(::GetCurrentProcessId());
  (void)::WaitForSingleObject(parent.get(), INFINITE);

  int result = 0;
  {
    const LedgerLock lock;
    if (lock.Held()) {
      const auto text = ReadLedgerFile(ledgerPath);
      // No file: the program gave everything back itself. Another owner: a later start's.
      const auto stored = text ? ParseLedger(*text) : std::nullopt;
      const auto* held = static_cast<const limit_handles::SharedSuspension*>(view);
      if (stored && stored->owner == program) {
        SystemEffectUndo undo(stored->jobs, held);
        const std::vector<Effect> left = GiveBackStored(*stored, undo);
        (void)RemoveLedgerFile(ledgerPath);
        if (!left.empty()) KeepLeftover(ledgerPath, program, left, "watcher");
      } else if (!stored && (::GetFileAttributesW(ledgerPath.c_str()) != INVALID_FILE_ATTRIBUTES ||
                             HeldAnySuspended(held))) {
        ReportUnreadLedger(ledgerPath, held);
      }
    }
  }
  (void)::ReleaseMutex(alive.get());
  return result;
}

int RunWatcherAsked(const std::vector<std::wstring>& arguments, const std::wstring& programImage) {
  auto request = ParseWatchArguments(arguments);
  if (!request) return kWatcherRefused;
  if (!request->startOnly) return RunWatcher(request->program, request->ledgerPath, programImage);

  // Started by the program, this copy only starts the watcher and ends: the watcher's
  // parent is then a process that is gone, so ending the program's process tree does not
  // reach it.
  wchar_t own[MAX_PATH]{};
  const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return kWatcherRefused;
  request->startOnly = false;
  auto watcher = StartGuarded(std::wstring(own, length), FormatWatchArguments(*request));
  if (!watcher) return kWatcherRefused;
  // It runs: it must outlive this copy now. One that would still end with it is none.
  if (watcher->guard && !LetOutlive(watcher->guard.get())) {
    (void)::TerminateProcess(watcher->process.get(), kWatcherRefused);
    return kWatcherRefused;
  }
  return static_cast<int>(watcher->id);
}

// Shared by the program's thread and the one that starts its watchers.
class LedgerKeeper::Lock {
 public:
  explicit Lock(SRWLOCK& lock) : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock() { ::ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK& lock_;
};

LedgerKeeper::~LedgerKeeper() {
  if (watchOver_) {
    (void)::SetEvent(stop_.get());
    (void)::WaitForSingleObject(watchOver_.get(), INFINITE);
  }
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
  if (path_.empty() || !owner_.Known() || watchOver_) return false;
  watcherExe_ = exe;
  wanted_ = true;
  stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  settled_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  // Made here, before any watcher could set it; one made before this run under its name
  // is not this program's and would say it is watched when it is not.
  watchingEvent_.reset(::CreateEventW(nullptr, TRUE, FALSE, WatchingName(owner_).c_str()));
  if (watchingEvent_ && ::GetLastError() == ERROR_ALREADY_EXISTS) watchingEvent_.reset();
  if (!stop_ || !settled_ || !watchingEvent_) {
    if (settled_) (void)::SetEvent(settled_.get());
    return false;
  }
  watchOver_.reset(::CreateThread(nullptr, 0, &LedgerKeeper::WatchOverThread, this, 0, nullptr));
  if (!watchOver_) {
    (void)::SetEvent(settled_.get());
    return false;
  }
  return true;
}

DWORD WINAPI LedgerKeeper::WatchOverThread(void* keeper) {
  static_cast<LedgerKeeper*>(keeper)->WatchOver();
  return 0;
}

void LedgerKeeper::WatchOver() {
  for (int start = 0; start < kWatcherStarts; ++start) {
    unique_handle watcher = LaunchWatcher();
    if (!watcher) break;
    const HANDLE ended = watcher.get();
    Adopted(std::move(watcher));
    const HANDLE waits[] = {stop_.get(), ended};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    // Ended before the program: what is live waits for a new one; so does what comes.
    {
      const Lock lock(lock_);
      watching_ = false;
      (void)::ResetEvent(settled_.get());
      (void)::ResetEvent(watchingEvent_.get());
    }
    WriteProgramLog(path_, "the watcher ended before the program; starting a new one");
  }
  if (::WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) return;
  WriteProgramLog(path_,
                  "no watcher could be started: no process is raised, limited or calmed "
                  "until Quorvant is started again");
  const Lock lock(lock_);
  (void)::SetEvent(settled_.get());
}

unique_handle LedgerKeeper::LaunchWatcher() {
  const auto starter = StartGuarded(watcherExe_, FormatWatchArguments({true, owner_, path_}));
  if (!starter) return {};
  // The starter ends at once, telling the watcher's id.
  const HANDLE started[] = {stop_.get(), starter->process.get()};
  if (::WaitForMultipleObjects(2, started, FALSE, kWatcherStartMs) != WAIT_OBJECT_0 + 1) return {};
  DWORD id = 0;
  if (!::GetExitCodeProcess(starter->process.get(), &id) || id == kWatcherRefused || id == 0) {
    return {};
  }
  unique_handle watcher(::OpenProcess(
      PROCESS_DUP_HANDLE | SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  // Running the watcher's file, not a process that took a dead watcher's id.
  if (!watcher || LowerFileName(ProcessImagePath(id)) != LowerFileName(watcherExe_)) return {};
  const HANDLE ready[] = {stop_.get(), watchingEvent_.get(), watcher.get()};
  if (::WaitForMultipleObjects(3, ready, FALSE, kWatcherStartMs) != WAIT_OBJECT_0 + 1) return {};
  // Watching: from now on it must outlive the program, even if it is in the guard's job.
  if (starter->guard && !LetOutlive(starter->guard.get())) {
    (void)::TerminateProcess(watcher.get(), kWatcherRefused);
    return {};
  }
  return watcher;
}

void LedgerKeeper::Adopt(unique_handle watcher) {
  const Lock lock(lock_);
  watcher_ = std::move(watcher);
}

void LedgerKeeper::Adopted(unique_handle watcher) {
  const Lock lock(lock_);
  watcher_ = std::move(watcher);
  // The jobs again, now the new watcher's own: the handles the old one held are gone.
  jobs_.clear();
  for (const HeldJob& held : heldJobs_) {
    HANDLE remote = nullptr;
    if (::DuplicateHandle(::GetCurrentProcess(), held.job.get(), watcher_.get(), &remote,
                          kWatcherJobAccess, FALSE, 0)) {
      jobs_.push_back(
          {held.process, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(remote))});
    }
  }
  (void)WriteNow();
  watching_ = true;
  (void)::SetEvent(settled_.get());
}

bool LedgerKeeper::Watching() const {
  const Lock lock(lock_);
  return watching_;
}

HANDLE LedgerKeeper::Watcher() const {
  const Lock lock(lock_);
  return watcher_.get();
}

DWORD LedgerKeeper::WatcherId() const {
  const Lock lock(lock_);
  return watcher_ ? ::GetProcessId(watcher_.get()) : 0;
}

bool LedgerKeeper::AwaitWatcher() {
  if (!wanted_) return true;
  // The program's start does not wait for its watcher; the first effect does, a moment.
  (void)::WaitForSingleObject(settled_.get(), kWatcherStartMs);
  return Watching();
}

bool LedgerKeeper::Write(const std::vector<Effect>& effects) {
  // Nothing live needs no watcher; anything live waits for one.
  const bool watched = effects.empty() || AwaitWatcher();
  const Lock lock(lock_);
  if (!watched) {
    // Not applied, so not recorded either: the file keeps what is live.
    return false;
  }
  effects_ = effects;
  return WriteNow();
}

bool LedgerKeeper::WriteNow() {
  if (path_.empty()) return true;
  const StoredLedger stored{owner_, effects_, jobs_};
  const std::string text = FormatLedger(stored);
  if (!effects_.empty() || !jobs_.empty()) {
    // Held while anything is live, so nobody can change or delete what the watcher reads.
    // A file someone else holds open is replaced whole instead, where they let it be.
    return held_.Write(path_, text) || (!held_.Held() && WriteLedgerFile(path_, text));
  }
  if (held_.Held()) {
    if (held_.Remove()) return true;
    // A file that cannot be deleted is emptied instead: lines left in it would be given
    // back later to processes that no longer carry the effect.
    return held_.Write(path_, text);
  }
  if (RemoveLedgerFile(path_)) return true;
  if (WriteLedgerFile(path_, text)) return true;
  // Held open by someone who lets it be written but not replaced: a ledger with nothing
  // live is written in place, where even a torn copy names nothing to give back.
  return OverwriteLedgerFile(path_, text);
}

bool LedgerKeeper::ShareJob(const ProcessIdentity& process, HANDLE job) {
  UnshareJob(process);
  const Lock lock(lock_);
  // Without a watcher there is no one to hand it to: the program's own paths still uncap,
  // unless a watcher was asked for, without which no cap is set.
  if (!watcher_) return !wanted_;
  HANDLE own = nullptr;
  HANDLE remote = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), job, ::GetCurrentProcess(), &own, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
    return false;
  }
  unique_handle held(own);
  if (!::DuplicateHandle(::GetCurrentProcess(), job, watcher_.get(), &remote, kWatcherJobAccess,
                         FALSE, 0)) {
    return false;
  }
  jobs_.push_back({process, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(remote))});
  heldJobs_.push_back({process, std::move(held)});
  // The watcher can switch the cap off only with the handle's value from the file.
  if (WriteNow()) return true;
  ForgetJob(process);
  return false;
}

void LedgerKeeper::UnshareJob(const ProcessIdentity& process) {
  const Lock lock(lock_);
  if (ForgetJob(process)) (void)WriteNow();
}

bool LedgerKeeper::ForgetJob(const ProcessIdentity& process) {
  heldJobs_.erase(std::remove_if(heldJobs_.begin(), heldJobs_.end(),
                                 [&](const HeldJob& h) { return h.process == process; }),
                  heldJobs_.end());
  const auto job = std::find_if(jobs_.begin(), jobs_.end(),
                                [&](const StoredJob& j) { return j.process == process; });
  if (job == jobs_.end()) return false;
  // Closed in the watcher by taking it over here: Wine does not close a source handle for
  // a null target.
  HANDLE taken = nullptr;
  if (watcher_) {
    (void)::DuplicateHandle(watcher_.get(), AsHandle(job->handle), ::GetCurrentProcess(), &taken, 0,
                            FALSE, DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS);
  }
  const unique_handle closing(taken);
  jobs_.erase(job);
  return true;
}

}  // namespace quorvant::win32
