#include "engine/win32/program_log.h"

#include <windows.h>

#include <cstdio>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

std::wstring ProgramLogPath(const std::wstring& ledgerPath) {
  return ledgerPath.substr(0, ledgerPath.find_last_of(L'\\') + 1) + L"Quorvant.log";
}

void WriteProgramLog(const std::wstring& ledgerPath, std::string_view line) {
  if (ledgerPath.empty()) return;
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  char stamp[32]{};
  (void)std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth,
                      now.wDay, now.wHour, now.wMinute, now.wSecond);
  const std::string text = std::string(stamp) + std::string(line) + "\r\n";
  // Appended in one write, so the watcher and the program never interleave half lines.
  const unique_hfile file(::CreateFileW(ProgramLogPath(ledgerPath).c_str(), FILE_APPEND_DATA,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  (void)::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace quorvant::win32
