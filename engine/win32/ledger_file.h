#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/win32/unique_handle.h"

namespace quorvant::win32 {

// The ledger of live effects as a file in the user's local application data: its text read and
// replaced whole. What the text means is the ledger's (engine/core/effect_ledger.h); who writes it
// and who gives it back is the watcher's (engine/win32/watcher.h).

inline constexpr wchar_t kLedgerFileName[] = L"Effects.txt";
// The ledger's name for one logon session: "Effects.<session>.txt".
std::wstring LedgerFileName(unsigned long session);

// The ledger file's text, at most one byte past kMaxLedgerBytes (enough to know it is too
// large); empty when there is no file, it cannot be read, or the current user does not own
// it (a file someone else put there is never acted on).
std::optional<std::string> ReadLedgerFile(const std::wstring& path);
// Replaces the file with text in one step, so a reader never sees half of it. False when
// it could not be written.
bool WriteLedgerFile(const std::wstring& path, std::string_view text);
// Writes text over the file where it is, not in one step: only for a text whose every torn
// copy is harmless. False when it could not be written.
bool OverwriteLedgerFile(const std::wstring& path, std::string_view text);
// True when the file is gone (or never was).
bool RemoveLedgerFile(const std::wstring& path);

// The ledger held open by its program while anything is live: anyone may read it, nobody
// else may change, replace or delete it, so what a watcher reads is what the program wrote.
// Each write goes over the copy before in one write, padded to cover all of it.
class HeldLedgerFile {
 public:
  HeldLedgerFile() = default;
  HeldLedgerFile(const HeldLedgerFile&) = delete;
  HeldLedgerFile& operator=(const HeldLedgerFile&) = delete;

  // Opens path (made anew) on first use. False when it could not be opened or written.
  bool Write(const std::wstring& path, std::string_view formatted);
  // Deletes the file and lets go of it; false when the system refused (still held).
  bool Remove();
  bool Held() const { return static_cast<bool>(file_); }

 private:
  unique_hfile file_;
  std::size_t size_ = 0;
};

}  // namespace quorvant::win32
