#include "engine/win32/ini_rule_store.h"

#include <windows.h>

#include <vector>

namespace quorvant::win32 {

namespace {
// A section of 256 rules with long paths fits well within the largest read.
constexpr DWORD kFirstReadChars = 16 * 1024;
constexpr DWORD kLargestReadChars = 16 * 1024 * 1024;
}  // namespace

std::vector<engine::StoredEntry> IniRuleStore::ReadSection() {
  const std::wstring section(engine::kRulesSection);
  std::vector<wchar_t> buffer;
  DWORD length = 0;
  for (DWORD size = kFirstReadChars; size <= kLargestReadChars; size *= 2) {
    buffer.assign(size, L'\0');
    length = ::GetPrivateProfileSectionW(section.c_str(), buffer.data(), size, path_.c_str());
    // A full buffer comes back as its size less two: read again with more room.
    if (length + 2 < size) break;
  }
  std::vector<engine::StoredEntry> entries;
  const wchar_t* line = buffer.data();
  const wchar_t* end = buffer.data() + length;
  while (line < end && *line) {
    const std::wstring_view text(line);
    const size_t equals = text.find(L'=');
    if (equals == std::wstring_view::npos) {
      entries.push_back({std::wstring(text), L""});
    } else {
      entries.push_back(
          {std::wstring(text.substr(0, equals)), std::wstring(text.substr(equals + 1))});
    }
    line += text.size() + 1;
  }
  return entries;
}

bool IniRuleStore::Write(std::wstring_view key, std::wstring_view value) {
  const std::wstring section(engine::kRulesSection), name(key), text(value);
  return ::WritePrivateProfileStringW(section.c_str(), name.c_str(), text.c_str(), path_.c_str()) !=
         FALSE;
}

bool IniRuleStore::Remove(std::wstring_view key) {
  const std::wstring section(engine::kRulesSection), name(key);
  return ::WritePrivateProfileStringW(section.c_str(), name.c_str(), nullptr, path_.c_str()) !=
         FALSE;
}

}  // namespace quorvant::win32
