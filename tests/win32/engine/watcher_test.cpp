// The live effects on disk: written on each change and gone when nothing is live, and the
// start-up repair of a copy a killed program left behind, on real processes.

#include "engine/win32/watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "engine/core/priority_class.h"
#include "engine/win32/limit_handles.h"
#include "engine/win32/processes.h"
#include "engine/win32/program_log.h"
#include "tests/support/burner.h"
#include "tests/support/child_process.h"
#include "tests/support/wine.h"

namespace quorvant::win32 {
namespace {

using namespace std::chrono_literals;
using testing_support::Burner;
using testing_support::ChildProcess;

// A folder of its own for one test's ledger file.
class LedgerFolder {
 public:
  LedgerFolder() {
    wchar_t temp[MAX_PATH]{};
    (void)::GetTempPathW(MAX_PATH, temp);
    folder_ = std::wstring(temp) + L"quorvant-ledger-" + std::to_wstring(::GetCurrentProcessId()) +
              L"-" + std::to_wstring(++made_);
    (void)::CreateDirectoryW(folder_.c_str(), nullptr);
  }
  ~LedgerFolder() {
    for (const std::wstring& file : {Path(), LeftoverFilePath(Path()), ProgramLogPath(Path())}) {
      (void)::DeleteFileW(file.c_str());
    }
    (void)::RemoveDirectoryW(folder_.c_str());
  }
  std::wstring Path() const { return folder_ + L"\\" + kLedgerFileName; }
  bool Exists() const { return ::GetFileAttributesW(Path().c_str()) != INVALID_FILE_ATTRIBUTES; }
  // Every file in the folder: the ledger, or nothing, never a temporary one left behind.
  int FileCount() const {
    WIN32_FIND_DATAW found{};
    const HANDLE find = ::FindFirstFileW((folder_ + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int files = 0;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (::FindNextFileW(find, &found));
    (void)::FindClose(find);
    return files;
  }

 private:
  static inline int made_ = 0;
  std::wstring folder_;
};

ProcessIdentity Own() { return *IdentityOfId(::GetCurrentProcessId()); }

// This process's id with another creation time: a program that died, whose id is reused.
ProcessIdentity DeadProgram() { return {Own().id, Own().started - 1}; }

bool SuspendProcess(HANDLE process) {
  using Call = LONG(NTAPI*)(HANDLE);
  const auto suspend = reinterpret_cast<Call>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtSuspendProcess")));
  return suspend && suspend(process) >= 0;
}

TEST(WatcherPartsTest, KeeperWritesEachChangeAndRemovesTheFileWhenNothingIsLive) {
  LedgerFolder folder;
  LedgerKeeper keeper;
  keeper.KeepAt(folder.Path());
  EffectLedger ledger;
  ledger.changed = [&](const EffectLedger& l) { return keeper.Write(l.Effects()); };
  const ProcessIdentity other{Own().id + 4, 133000000000000001};
  const Effect raise{other, EffectKind::Priority, kNormalPriorityClass, kHighPriorityClass};
  const Effect duty{other, EffectKind::DutyCycle, 0, 30};

  ledger.Record(raise);
  ledger.Record(duty);
  const auto text = ReadLedgerFile(folder.Path());
  ASSERT_TRUE(text);
  const auto stored = ParseLedger(*text);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->owner, Own());
  EXPECT_EQ(stored->effects, (std::vector<Effect>{raise, duty}));
  EXPECT_EQ(folder.FileCount(), 1);

  ledger.Forget(other, EffectKind::DutyCycle);
  EXPECT_EQ(ParseLedger(*ReadLedgerFile(folder.Path()))->effects, std::vector<Effect>{raise});
  ledger.Forget(other, EffectKind::Priority);
  EXPECT_FALSE(folder.Exists());
  EXPECT_EQ(folder.FileCount(), 0);
}

// A ledger that cannot be written says so and leaves no temporary file behind; one that
// cannot be deleted is emptied, so no stale line is given back later.
TEST(WatcherPartsTest, AFileThatCannotBeWrittenOrDeletedLeavesNothingToGiveBack) {
  const ProcessIdentity other{Own().id + 4, 133000000000000001};
  const Effect raise{other, EffectKind::Priority, kNormalPriorityClass, kHighPriorityClass};
  {
    // A folder where the file should be: nothing can be renamed over it.
    LedgerFolder folder;
    ASSERT_TRUE(::CreateDirectoryW(folder.Path().c_str(), nullptr)) << ::GetLastError();
    LedgerKeeper keeper;
    keeper.KeepAt(folder.Path());
    EXPECT_FALSE(keeper.Write({raise}));
    EXPECT_EQ(folder.FileCount(), 0);
    (void)::RemoveDirectoryW(folder.Path().c_str());
  }
  {
    LedgerFolder folder;
    ASSERT_TRUE(WriteLedgerFile(folder.Path(), "stale\n"));
    // Someone holds it open before the program needs it, without letting it be deleted or
    // replaced: no effect can be protected there, and nothing is left to give back.
    const unique_hfile held(::CreateFileW(folder.Path().c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held) << ::GetLastError();
    LedgerKeeper keeper;
    keeper.KeepAt(folder.Path());
    EXPECT_FALSE(keeper.Write({raise}));
    EXPECT_TRUE(keeper.Write({}));
    const auto text = ReadLedgerFile(folder.Path());
    ASSERT_TRUE(text);
    const auto stored = ParseLedger(*text);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->effects.empty());
    EXPECT_EQ(folder.FileCount(), 1);
  }
}

// While anything is live the program holds its ledger: anyone may read it, nobody else may
// write, replace or delete it. A shorter copy written over a longer one reads as itself.
TEST(WatcherPartsTest, TheLedgerIsHeldWhileAnythingIsLive) {
  LedgerFolder folder;
  LedgerKeeper keeper;
  keeper.KeepAt(folder.Path());
  const ProcessIdentity other{Own().id + 4, 133000000000000001};
  const Effect raise{other, EffectKind::Priority, kNormalPriorityClass, kHighPriorityClass};
  const Effect duty{other, EffectKind::DutyCycle, 0, 30};
  ASSERT_TRUE(keeper.Write({raise, duty}));
  ASSERT_TRUE(keeper.Write({raise}));

  const unique_hfile writer(::CreateFileW(folder.Path().c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(writer) << "opened for writing";
  EXPECT_FALSE(::DeleteFileW(folder.Path().c_str())) << "deleted";
  const std::wstring planted = folder.Path() + L".planted";
  ASSERT_TRUE(WriteLedgerFile(planted, "planted\n"));
  EXPECT_FALSE(::MoveFileExW(planted.c_str(), folder.Path().c_str(), MOVEFILE_REPLACE_EXISTING))
      << "replaced";
  (void)::DeleteFileW(planted.c_str());

  const auto text = ReadLedgerFile(folder.Path());
  ASSERT_TRUE(text);
  const auto stored = ParseLedger(*text);
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->effects, std::vector<Effect>{raise});
  EXPECT_TRUE(keeper.Write({}));
  EXPECT_FALSE(folder.Exists());
  EXPECT_EQ(folder.FileCount(), 0);
}

// Killed together with its watcher, a program left a process raised and one suspended: the
// next start gives both back, touches no process whose id was reused, and removes the file.
TEST(WatcherPartsTest, RepairGivesBackWhatADeadProgramLeftLive) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  LedgerFolder folder;
  ChildProcess raised;
  ChildProcess reused;
  Burner frozen;
  ASSERT_TRUE(raised.Handle() && reused.Handle() && frozen.Handle());
  ASSERT_TRUE(::SetPriorityClass(raised.Handle(), HIGH_PRIORITY_CLASS))
      << "SetPriorityClass: " << ::GetLastError();
  ASSERT_TRUE(::SetPriorityClass(reused.Handle(), HIGH_PRIORITY_CLASS))
      << "SetPriorityClass: " << ::GetLastError();
  ASSERT_TRUE(SuspendProcess(frozen.Handle()));
  ASSERT_LT(frozen.Share(1s), 5.0);

  const ProcessIdentity reusedThen{reused.Id(), IdentityOfId(reused.Id())->started - 1};
  const StoredLedger left{
      DeadProgram(),
      {{*IdentityOfId(raised.Id()), EffectKind::Priority, kBelowNormalPriorityClass,
        kHighPriorityClass},
       {reusedThen, EffectKind::Priority, kIdlePriorityClass, kHighPriorityClass},
       {*IdentityOfId(frozen.Id()), EffectKind::DutyCycle, 0, 10}},
      {}};
  ASSERT_TRUE(WriteLedgerFile(folder.Path(), FormatLedger(left)));

  EXPECT_EQ(RepairLeftBehind(folder.Path()), LeftBehind::Repaired);
  EXPECT_EQ(::GetPriorityClass(raised.Handle()), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(::GetPriorityClass(reused.Handle()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
  EXPECT_GT(frozen.Share(1s), 20.0);
  EXPECT_FALSE(folder.Exists());
  EXPECT_EQ(RepairLeftBehind(folder.Path()), LeftBehind::None);
}

// What the repair cannot give back (here a cap whose job no handle reaches any more) stays
// on disk for the next start, and the log says so; once its process has ended, nothing is
// left.
TEST(WatcherPartsTest, RepairKeepsAndLogsWhatItCouldNotGiveBack) {
  LedgerFolder folder;
  auto capped = std::make_unique<ChildProcess>();
  ASSERT_TRUE(capped->Handle());
  ChildProcess raised;
  ASSERT_TRUE(::SetPriorityClass(raised.Handle(), HIGH_PRIORITY_CLASS))
      << "SetPriorityClass: " << ::GetLastError();
  const Effect cap{*IdentityOfId(capped->Id()), EffectKind::CpuCap, 0, 30};
  const StoredLedger left{DeadProgram(),
                          {cap,
                           {*IdentityOfId(raised.Id()), EffectKind::Priority, kNormalPriorityClass,
                            kHighPriorityClass}},
                          {}};
  ASSERT_TRUE(WriteLedgerFile(folder.Path(), FormatLedger(left)));

  EXPECT_EQ(RepairLeftBehind(folder.Path()), LeftBehind::Kept);
  EXPECT_EQ(::GetPriorityClass(raised.Handle()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
  EXPECT_FALSE(folder.Exists()) << "this run's own ledger starts empty";
  const auto kept = ReadLedgerFile(LeftoverFilePath(folder.Path()));
  ASSERT_TRUE(kept);
  ASSERT_TRUE(ParseLedger(*kept));
  EXPECT_EQ(ParseLedger(*kept)->effects, std::vector<Effect>{cap});
  const auto log = ReadLedgerFile(ProgramLogPath(folder.Path()));
  ASSERT_TRUE(log);
  EXPECT_NE(log->find("could not give back the CPU cap of process " + std::to_string(capped->Id())),
            std::string::npos)
      << *log;

  // Tried again at the next start: still live, still kept, told again.
  EXPECT_EQ(RepairLeftBehind(folder.Path()), LeftBehind::Kept);
  capped.reset();
  EXPECT_EQ(RepairLeftBehind(folder.Path()), LeftBehind::None);
  EXPECT_EQ(folder.FileCount(), 1) << "only the log";
}

// A start racing the watcher of a program that was just killed leaves the ledger to that
// watcher (which alone holds the handles that switch its caps off) while it lives, waits
// for it to finish, and gives up, touching nothing, when it does not finish in time.
TEST(WatcherPartsTest, TheRepairWaitsForALiveWatcherToFinish) {
  ChildProcess raised;
  ASSERT_TRUE(raised.Handle());
  const ProcessIdentity dead = DeadProgram();
  const StoredLedger left{dead,
                          {{*IdentityOfId(raised.Id()), EffectKind::Priority,
                            kBelowNormalPriorityClass, kHighPriorityClass}},
                          {}};
  struct Case {
    const char* what;
    DWORD watcherGivesBackMs;  // how long the dead program's watcher takes
    LeftBehind outcome;
    bool fileStays;
  };
  const Case cases[] = {
      {"the watcher finishes", 1500, LeftBehind::None, false},
      {"the watcher does not finish in time", 15000, LeftBehind::Busy, true},
  };
  for (const Case& c : cases) {
    LedgerFolder folder;
    ASSERT_TRUE(::SetPriorityClass(raised.Handle(), HIGH_PRIORITY_CLASS));
    ASSERT_TRUE(WriteLedgerFile(folder.Path(), FormatLedger(left)));
    const unique_handle holding(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const unique_handle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // The watcher: holds its mutex from its start and gives back (here: removes the file,
    // leaving the class, so that only a repair that did not wait would lower it).
    std::thread watcher([&] {
      const unique_handle alive(::CreateMutexW(nullptr, TRUE, WatcherAliveName(dead).c_str()));
      (void)::SetEvent(holding.get());
      (void)::WaitForSingleObject(done.get(), c.watcherGivesBackMs);
      (void)::DeleteFileW(folder.Path().c_str());
      (void)::ReleaseMutex(alive.get());
    });
    ASSERT_EQ(::WaitForSingleObject(holding.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(RepairLeftBehind(folder.Path()), c.outcome) << c.what;
    EXPECT_EQ(::GetPriorityClass(raised.Handle()), static_cast<DWORD>(HIGH_PRIORITY_CLASS))
        << c.what << ": the repair acted on a ledger its watcher was giving back";
    EXPECT_EQ(folder.Exists(), c.fileStays) << c.what;
    (void)::SetEvent(done.get());
    watcher.join();
  }
}

// The cycle shows the watcher what it holds suspended, and the watcher resumes a process
// only when the cycle held it: one that ran when its program died, and that someone else (a
// debugger) has suspended since, stays as they left it.
TEST(WatcherPartsTest, TheWatcherResumesOnlyWhatTheCycleHeldSuspended) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << testing_support::kNeedsLinuxProc;
  Burner burner;
  ASSERT_NE(burner.UnixPid(), 0u);
  const ProcessIdentity identity = *IdentityOfId(burner.Id());
  limit_handles::SharedSuspension view[limit_handles::kSharedSlots];
  limit_handles::ShareSuspensions(view);
  const int slot = limit_handles::HoldProcess(::OpenProcess(
      PROCESS_SUSPEND_RESUME | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, burner.Id()));
  ASSERT_GE(slot, 0);
  EXPECT_FALSE(limit_handles::HeldSuspended(view, burner.Id()));
  ASSERT_TRUE(limit_handles::Suspend(slot));
  EXPECT_TRUE(limit_handles::HeldSuspended(view, burner.Id()));
  limit_handles::Resume(slot);
  EXPECT_FALSE(limit_handles::HeldSuspended(view, burner.Id()));

  // Running when the program died; suspended since by someone else.
  ASSERT_TRUE(SuspendProcess(burner.Handle()));
  SystemEffectUndo undo({}, view);
  EXPECT_TRUE(undo.Resume(identity));
  EXPECT_LT(burner.Share(1s), 5.0) << "someone else's suspension was undone";
  // Held suspended by the cycle when the program died.
  view[slot].suspended.store(1);
  EXPECT_TRUE(undo.Resume(identity));
  EXPECT_GT(burner.Share(1s), 20.0);

  limit_handles::DropProcess(slot);
  limit_handles::ShareSuspensions(nullptr);
}

// A copy that is not a ledger is removed and nothing is done to the process its lines name;
// a copy whose program still runs (another session's) is left to that program.
TEST(WatcherPartsTest, ACopyThatIsNotADeadProgramsLedgerChangesNoProcess) {
  ChildProcess child;
  ASSERT_TRUE(child.Handle());
  ASSERT_TRUE(::SetPriorityClass(child.Handle(), HIGH_PRIORITY_CLASS))
      << "SetPriorityClass: " << ::GetLastError();
  const ProcessIdentity id = *IdentityOfId(child.Id());
  const std::string line = "priority " + std::to_string(id.id) + " " + std::to_string(id.started) +
                           " " + std::to_string(kIdlePriorityClass) + " " +
                           std::to_string(kHighPriorityClass) + "\n";
  auto owner = [](const ProcessIdentity& p) {
    return "owner " + std::to_string(p.id) + " " + std::to_string(p.started) + "\n";
  };
  const std::string head = "Quorvant live effects 2\n";
  struct Case {
    const char* what;
    std::string text;
    LeftBehind outcome;
    bool fileStays;
  };
  const Case cases[] = {
      {"cut short", head + owner(DeadProgram()) + line, LeftBehind::Refused, false},
      {"oversized",
       head + owner(DeadProgram()) + line + std::string(kMaxLedgerBytes, '#') + "\nend\n",
       LeftBehind::Refused, false},
      {"foreign", "[Process]\nEnableImproveProcess=1\n", LeftBehind::Refused, false},
      {"the format before owners", "Quorvant live effects 1\n" + line + "end\n",
       LeftBehind::Refused, false},
      {"binary", std::string("\0\xff\xfe\n", 4), LeftBehind::Refused, false},
      {"empty", "", LeftBehind::Refused, false},
      {"its program still runs", head + owner(Own()) + line + "end\n", LeftBehind::OwnerRunning,
       true},
  };
  for (const Case& c : cases) {
    LedgerFolder folder;
    ASSERT_TRUE(WriteLedgerFile(folder.Path(), c.text)) << c.what;
    EXPECT_EQ(RepairLeftBehind(folder.Path()), c.outcome) << c.what;
    EXPECT_EQ(::GetPriorityClass(child.Handle()), static_cast<DWORD>(HIGH_PRIORITY_CLASS))
        << c.what;
    EXPECT_EQ(folder.Exists(), c.fileStays) << c.what;
  }
}

// A cap's job handle is the watcher's own before the process joins the job, named in the
// file, and closed in the watcher once the cap is lifted. (Wine refuses the cap itself, so
// the whole cap is not tried here.)
TEST(WatcherPartsTest, TheWatcherHoldsItsOwnHandleToEachCappedJob) {
  LedgerFolder folder;
  ChildProcess watcher;
  ASSERT_TRUE(watcher.Handle());
  LedgerKeeper keeper;
  keeper.KeepAt(folder.Path());
  keeper.Adopt(unique_handle(::OpenProcess(PROCESS_DUP_HANDLE, FALSE, watcher.Id())));
  const unique_handle job(::CreateJobObjectW(nullptr, nullptr));
  ASSERT_TRUE(job) << "CreateJobObjectW: " << ::GetLastError();
  const ProcessIdentity capped{Own().id + 4, 133000000000000001};
  const Effect cap{capped, EffectKind::CpuCap, 0, 30};
  keeper.Write({cap});
  ASSERT_TRUE(keeper.ShareJob(capped, job.get()));

  const auto stored = ParseLedger(*ReadLedgerFile(folder.Path()));
  ASSERT_TRUE(stored);
  ASSERT_EQ(stored->jobs.size(), 1u);
  EXPECT_EQ(stored->jobs[0].process, capped);
  // The value names a job in the watcher: brought back here, it is that job.
  auto inWatcher = [&] {
    HANDLE back = nullptr;
    const bool ok =
        ::DuplicateHandle(
            watcher.Handle(),
            reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(stored->jobs[0].handle)),
            ::GetCurrentProcess(), &back, 0, FALSE, DUPLICATE_SAME_ACCESS) != FALSE;
    const unique_handle held(back);
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    return ok && ::QueryInformationJobObject(held.get(), JobObjectBasicAccountingInformation, &info,
                                             sizeof(info), nullptr) != FALSE;
  };
  EXPECT_TRUE(inWatcher());

  keeper.UnshareJob(capped);
  EXPECT_FALSE(inWatcher());
  EXPECT_TRUE(ParseLedger(*ReadLedgerFile(folder.Path()))->jobs.empty());
  keeper.Write({});
  EXPECT_FALSE(folder.Exists());
}

}  // namespace
}  // namespace quorvant::win32
