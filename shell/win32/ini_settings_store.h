#pragma once

#include <string>

#include "shell/core/settings.h"

namespace quorvant::win32 {

// Config.ini through the system's private-profile calls, one key per call.
class IniSettingsStore final : public shell::SettingsStore {
 public:
  explicit IniSettingsStore(std::wstring path) : path_(std::move(path)) {}

  std::wstring Read(shell::SettingKey key) override;
  bool Write(shell::SettingKey key, std::wstring_view value) override;

  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// Config.ini beside the executable when the program may write it there (a portable copy);
// otherwise Config.ini in the user's application-data folder under "Quorvant", which is
// created, and which starts as a copy of the file beside the executable when there is one.
std::wstring ConfigFilePath();

// The copy of the live effects on disk: the user's local application data under "Quorvant",
// one file per logon session. Empty when that folder is unknown.
std::wstring LedgerFilePath();

// Whether the program may write path: the file when it exists, else a new file in its folder.
bool CanWrite(const std::wstring& path);

}  // namespace quorvant::win32
