// Runs the background calm in a process of its own, with its ledger on disk beside it and a
// watcher, so a test can kill it while a process is calmed. Writes "calmed <id>" on its
// output once it has calmed a process, then goes on calming until it is ended.
// Usage: calm_probe.exe; calm_probe.exe --watch <id> <created> is its watcher.
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/effect_ledger.h"
#include "engine/win32/background_calm_system.h"
#include "engine/win32/effect_file.h"

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
  if (!arguments.empty()) {
    const auto program = quorvant::ParseWatchArguments(arguments);
    return program ? quorvant::win32::RunWatcher(*program, ledger) : 21;
  }

  quorvant::win32::KeepLiveEffectsOnDisk(ledger);
  if (!quorvant::win32::WatchLiveEffects(exe)) return 23;

  quorvant::win32::SystemBackgroundCalm calm(
      quorvant::LiveEffects(), {}, [] { return quorvant::win32::ProgramLedgerKeeper().Watcher(); });
  bool told = false;
  for (;;) {
    calm.Tick();
    const auto calmed = calm.Calm().Calmed();
    if (!told && !calmed.empty()) {
      std::printf("calmed %lu\n", static_cast<unsigned long>(calmed.front().id));
      std::fflush(stdout);
      told = true;
    }
    ::Sleep(quorvant::kCalmSampleMs);
  }
}
