// Runs the background calm in a process of its own, with its ledger on disk beside it and a
// watcher, so a test can kill it while a process is calmed. Writes "calmed <id>" on its
// output once it has calmed process id, then goes on calming until it is ended. Its figures
// are those of the Win32 tests, which share the machine with whatever else runs on it.
// Usage: calm_probe.exe <id>; calm_probe.exe --start|--watch <id> <created> "<ledger>" is
// its watcher, as quorvant_watcher.exe is the program's.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/win32/background_calm_system.h"
#include "engine/win32/program_effects.h"
#include "engine/win32/watcher.h"

int wmain() {
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 20;
  const std::wstring exe(path, length);
  const std::wstring ledger = exe.substr(0, exe.find_last_of(L'\\')) + L"\\calm_probe_effects.txt";

  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  const std::vector<std::wstring> arguments(argv + 1, argv + argc);
  (void)::LocalFree(argv);
  if (arguments.size() != 1) return quorvant::win32::RunWatcherAsked(arguments, exe);
  const std::uint32_t wanted = std::wcstoul(arguments[0].c_str(), nullptr, 10);

  quorvant::win32::ProgramEffects effects;
  effects.KeepOnDisk(ledger);
  if (!effects.StartWatcher(exe)) return 23;
  quorvant::CalmRules rules;
  rules.hogPercent = 5;
  rules.quietPercent = 1;
  quorvant::win32::SystemBackgroundCalm calm(
      effects.Ledger(), {}, [&] { return effects.Keeper().Watcher(); },
      quorvant::win32::SampleMachineCpu, rules);
  bool told = false;
  for (;;) {
    calm.Tick();
    const auto calmed = calm.Calm().Calmed();
    const bool found =
        std::any_of(calmed.begin(), calmed.end(),
                    [&](const quorvant::ProcessIdentity& p) { return p.id == wanted; });
    if (!told && found) {
      std::printf("calmed %lu\n", static_cast<unsigned long>(wanted));
      std::fflush(stdout);
      told = true;
    }
    ::Sleep(quorvant::kCalmSampleMs);
  }
}
