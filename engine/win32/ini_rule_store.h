#pragma once

#include <string>

#include "engine/core/program_rules.h"

namespace quorvant::win32 {

// The [Rules] section of Config.ini through the system's private-profile calls: read whole,
// written one key at a time, so every other key of the file stays as it is.
class IniRuleStore final : public engine::RuleStore {
 public:
  explicit IniRuleStore(std::wstring path) : path_(std::move(path)) {}

  std::vector<engine::StoredEntry> ReadSection() override;
  bool Write(std::wstring_view key, std::wstring_view value) override;
  bool Remove(std::wstring_view key) override;

 private:
  std::wstring path_;
};

}  // namespace quorvant::win32
