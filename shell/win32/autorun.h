#pragma once

#include <windows.h>

#include <string>

#include "shell/core/autorun_value.h"
#include "shell/core/settings.h"

namespace quorvant::win32 {

// The Run keys in the real registry. The roots are parameters so tests can point them at a
// scratch key.
class RegistryRunKeys final : public shell::RunKeyAccess {
 public:
  RegistryRunKeys(HKEY machineRoot = HKEY_LOCAL_MACHINE, HKEY userRoot = HKEY_CURRENT_USER,
                  std::wstring subkey = std::wstring(shell::kRunKey))
      : machineRoot_(machineRoot), userRoot_(userRoot), subkey_(std::move(subkey)) {}

  bool SetValue(shell::RunScope scope, std::wstring_view data) override;
  void DeleteValue(shell::RunScope scope) override;

 private:
  HKEY Root(shell::RunScope scope) const {
    return scope == shell::RunScope::Machine ? machineRoot_ : userRoot_;
  }

  HKEY machineRoot_;
  HKEY userRoot_;
  std::wstring subkey_;
};

// The start-with-Windows entry of the running executable.
class ModuleAutorun final : public shell::AutorunEntry {
 public:
  void Add() override;
  void Remove() override;

 private:
  RegistryRunKeys keys_;
};

}  // namespace quorvant::win32
