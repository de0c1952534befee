#pragma once

#include <string>
#include <string_view>

#include "skin/product.h"

namespace quorvant::shell {

inline constexpr std::wstring_view kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Named after the product, which is the name the installer removes on uninstall.
inline constexpr std::wstring_view kRunValueName = QUORVANT_PRODUCT_NAME_W;

// The Run value's data for the program at exePath: its folder, "\", its name without
// extension and ".exe". Quoted when it holds a space, because the system splits an unquoted
// command line at the first space and could start another program in its place.
std::wstring AutorunCommand(std::wstring_view exePath);

}  // namespace quorvant::shell

namespace quorvant::shell {

// Where a Run value can live: the machine's Run key, or the user's when the machine's
// cannot be written (no administrative rights).
enum class RunScope { Machine, User };

class RunKeyAccess {
 public:
  virtual ~RunKeyAccess() = default;
  // Opens (creating it when missing) the Run key of scope and sets the value; false when
  // that was refused.
  virtual bool SetValue(RunScope scope, std::wstring_view data) = 0;
  virtual void DeleteValue(RunScope scope) = 0;
};

// Registers the program at exePath to start with Windows: machine-wide when allowed, else
// for the user. Only one of the two values remains, so the program never starts twice.
void AddAutorun(RunKeyAccess& runKeys, std::wstring_view exePath);
// Removes the value from both places.
void RemoveAutorun(RunKeyAccess& runKeys);

}  // namespace quorvant::shell
