#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvant::win32 {

// The ledger of live effects as a file beside Config.ini: its text read and replaced whole.
// What the text means is the ledger's (engine/core/effect_ledger.h); who writes it and who
// gives it back is the watcher's (engine/win32/watcher.h).

inline constexpr wchar_t kLedgerFileName[] = L"Effects.txt";

// The ledger file's text, at most one byte past kMaxLedgerBytes (enough to know it is too
// large); empty when there is no file or it cannot be read.
std::optional<std::string> ReadLedgerFile(const std::wstring& path);
// Replaces the file with text in one step, so a reader never sees half of it. False when
// it could not be written.
bool WriteLedgerFile(const std::wstring& path, std::string_view text);
void RemoveLedgerFile(const std::wstring& path);

}  // namespace quorvant::win32
