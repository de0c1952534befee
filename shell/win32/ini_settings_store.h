#pragma once

#include <string>

#include "shell/core/settings.h"

namespace quorvant::win32 {

// Config.ini through the system's private-profile calls, one key per call.
class IniSettingsStore final : public shell::SettingsStore {
 public:
  explicit IniSettingsStore(std::wstring path) : path_(std::move(path)) {}

  std::wstring Read(shell::SettingKey key) override;
  void Write(shell::SettingKey key, std::wstring_view value) override;

  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
};

// Config.ini beside the executable.
std::wstring ConfigFilePath();

}  // namespace quorvant::win32
