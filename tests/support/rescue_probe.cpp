// Holds another process in a duty cycle, then dies of a fault in its own code, the way a
// bug in the program would: "terminate" ends through std::terminate, "fault" through an
// access violation. The rescue must let the process run again before this one dies.
// Usage: rescue_probe.exe <process id> terminate|fault
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <stdexcept>

#include "engine/win32/limit_handles.h"
#include "engine/win32/processes.h"
#include "engine/win32/process_throttle.h"
#include "engine/win32/watcher.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 20;
  // Dies at once after the rescue, with the fault's code, instead of calling up a debugger
  // that would keep it alive: the rescue chains to the filter installed before it.
  (void)::SetUnhandledExceptionFilter([](EXCEPTION_POINTERS* pointers) -> LONG {
    (void)::TerminateProcess(::GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
  });
  quorvant::win32::limit_handles::InstallRescue();
  const auto process = quorvant::win32::IdentityOfId(std::wcstoul(argv[1], nullptr, 10));
  if (!process) return 21;
  // Leaked on purpose: the program dies with its limit live.
  auto* throttle = new quorvant::win32::ProcessThrottle(*new quorvant::win32::LedgerKeeper());
  if (throttle->StartDutyCycle(*process, 5) != quorvant::engine::ThrottleAnswer::Done) return 22;
  // Well into the cycle, where the process spends most of its time suspended.
  ::Sleep(550);
  if (std::wcscmp(argv[2], L"fault") == 0) {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
  throw std::runtime_error("a fault in the program's own code");
}
