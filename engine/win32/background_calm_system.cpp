#include "engine/win32/background_calm_system.h"

#include "common/win32/unique_handle.h"
#include "engine/win32/processes.h"
#include "engine/win32/time_of_day.h"
#include "engine/win32/system_process_walk.h"

namespace quorvant::win32 {

namespace {

// The process's TOKEN_USER; empty when its token cannot be read.
std::vector<BYTE> TokenUserOf(HANDLE process) {
  HANDLE token = nullptr;
  if (!process || !::OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
  const unique_handle owned(token);
  DWORD size = 0;
  (void)::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return {};
  std::vector<BYTE> user(size);
  if (!::GetTokenInformation(token, TokenUser, user.data(), size, &size)) return {};
  return user;
}

PSID SidOf(std::vector<BYTE>& user) { return reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid; }

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

WindowsCalmSystem::WindowsCalmSystem(std::function<HANDLE()> watcher)
    : watcher_(std::move(watcher)),
      self_(IdentityOf(::GetCurrentProcess())),
      user_(TokenUserOf(::GetCurrentProcess())) {
  DWORD session = 0;
  if (::ProcessIdToSessionId(::GetCurrentProcessId(), &session)) session_ = session;
}

std::optional<ProcessIdentity> WindowsCalmSystem::FrontProcess() {
  const HWND front = ::GetForegroundWindow();
  DWORD owner = 0;
  if (!front || !::GetWindowThreadProcessId(front, &owner)) return std::nullopt;
  return IdentityOfId(owner);
}

std::vector<ProcessIdentity> WindowsCalmSystem::OwnProcesses() {
  std::vector<ProcessIdentity> own;
  if (self_) own.push_back(*self_);
  if (watcher_) {
    if (const auto watcher = IdentityOf(watcher_())) own.push_back(*watcher);
  }
  return own;
}

bool WindowsCalmSystem::SameUser(const ProcessIdentity& process) {
  if (user_.empty()) return false;
  const unique_handle handle = OpenIdentified(process, PROCESS_QUERY_LIMITED_INFORMATION);
  std::vector<BYTE> user = TokenUserOf(handle.get());
  // A process whose user cannot be read is not taken for the user's own.
  return !user.empty() && ::EqualSid(SidOf(user_), SidOf(user)) != FALSE;
}

int WindowsCalmSystem::PriorityClassOf(const ProcessIdentity& process) {
  return win32::PriorityClassOf(process);
}

bool WindowsCalmSystem::SetPriorityClassOf(const ProcessIdentity& process, int priorityClass) {
  return win32::SetPriorityClassOf(process, priorityClass);
}

void WindowsCalmSystem::RestorePriority(const ProcessIdentity& process, int priorityClass,
                                        int calmedClass) {
  RestorePriorityClass(process, priorityClass, calmedClass);
}

std::wstring WindowsCalmSystem::TimeOfDay() { return TimeOfDayText(); }

namespace {

// The machine's times into sample, read just before a walk; false when they cannot be read.
bool ReadMachineTimes(CpuSample& sample) {
  FILETIME idle{}, kernel{}, user{};
  // Read before the walk, whose call takes a moment of its own.
  sample.atMs = ::GetTickCount64();
  if (!::GetSystemTimes(&idle, &kernel, &user)) return false;
  // The kernel's time includes the idle time.
  sample.machineTime = Ticks(kernel) + Ticks(user);
  sample.machineIdle = Ticks(idle);
  return true;
}

void FillProcesses(const std::vector<engine::SystemProcess>& walked, CpuSample& sample) {
  std::size_t count = 0;
  for (const engine::SystemProcess& p : walked) {
    if (count == sample.processes.size()) sample.processes.emplace_back();
    ProcessCpu& into = sample.processes[count++];
    into.process = p.Identity();
    into.session = p.sessionId;
    into.cpuTime = p.cpuTime;
    into.name.assign(p.imageName);
  }
  sample.processes.resize(count);
}

}  // namespace

std::optional<CpuSample> SampleMachineCpu() {
  CpuSample sample;
  if (!ReadMachineTimes(sample)) return std::nullopt;
  const auto processes = WalkSystemProcesses();
  if (!processes) return std::nullopt;
  FillProcesses(*processes, sample);
  return sample;
}

bool SystemBackgroundCalm::SampleInPlace() {
  if (!ReadMachineTimes(sample_)) return false;
  lastWalk_ = walker_.Walk();
  if (!lastWalk_) return false;
  FillProcesses(*lastWalk_, sample_);
  return true;
}

void SystemBackgroundCalm::Tick() {
  lastWalk_ = nullptr;
  if (!sampler_) {
    if (SampleInPlace()) {
      calm_.Step(sample_);
    } else {
      calm_.StepWithoutSample();
    }
    return;
  }
  if (auto sample = sampler_()) {
    calm_.Step(*sample);
  } else {
    calm_.StepWithoutSample();
  }
}

}  // namespace quorvant::win32
