#pragma once

#include <string>
#include <string_view>

namespace quorvant::win32 {

// The program's log: what it could not do on its own and the user may want to know, such as
// an effect on another process that could not be given back. One dated line per event, in
// "Quorvant.log" beside the ledger of live effects.
std::wstring ProgramLogPath(const std::wstring& ledgerPath);
// Appends line; a log that cannot be written is passed over.
void WriteProgramLog(const std::wstring& ledgerPath, std::string_view line);

}  // namespace quorvant::win32
